; The tiers of the spire: which floors, palette, music and card each tier has, and the card
; after the last tier's boss. The floors themselves are in floor.s's tables, four to a tier.

.include "ember.inc"

.importzp floor_num

.segment "ZEROPAGE"
tier: .res 1                ; the tier being climbed, 0 (the Cellars) to NUM_TIERS - 1
.exportzp tier

.segment "CODE2"

;; X := the floor being climbed, counted through the spire (tier * 4 + floor_num). Keeps Y.
.proc tier_floor
    lda tier
    asl a
    asl a
    ora floor_num
    tax
    rts
.endproc

;; ptr0 := the tier's palette (for load_palette).
.proc tier_palette_ptr
    ldx tier
    lda tier_pal_lo,x
    sta ptr0
    lda tier_pal_hi,x
    sta ptr0+1
    rts
.endproc

;; Writes the tier's card (its number, name and motto) into the nametable (picture off).
.proc tier_card_text
    ldx tier
    lda card_lines_lo,x
    ldy card_lines_hi,x
    jmp draw_lines
.endproc

;; Writes the card after the last tier's boss (picture off).
.proc end_card_text
    ldx tier
    lda end_lines_lo,x
    ldy end_lines_hi,x
    ; fall into draw_lines
.endproc

;; Draws the lines of text listed at A (low), Y (high): row, column, then the text up to
;; TXT_END, for each line; a row of $FF ends the list.
.proc draw_lines
    sta ptr0
    sty ptr0+1
each:
    ldy #0
    lda (ptr0),y            ; $2000 + row * 32 + column
    cmp #$FF
    beq done
    sta t0
    lda #0
    ldx #5
:   asl t0
    rol a
    dex
    bne :-
    ora #$20
    pha
    iny
    lda (ptr0),y
    ora t0
    tax
    lda ptr0                ; the text follows
    clc
    adc #2
    sta ptr0
    bcc :+
    inc ptr0+1
:   pla
    jsr draw_text           ; leaves Y at its TXT_END
    iny
    tya
    clc
    adc ptr0
    sta ptr0
    bcc each
    inc ptr0+1
    bne each
done:
    rts
.endproc
.export tier_floor, tier_palette_ptr, tier_card_text, end_card_text

.segment "RODATA"

;; a line of text centred on the screen at row ROW
.macro line row, text
    .byte row, (32 - .strlen(text)) / 2, text, TXT_END
.endmacro

;; the tiers' cards: number, name, motto
card_lines_lo: .lobytes card1, card2
card_lines_hi: .hibytes card1, card2
card1:  line 11, "TIER 1"
        line 14, "THE CELLARS"
        line 17, "TAKE BACK THE EMBERS"
        .byte $FF
card2:  line 11, "TIER 2"
        line 14, "THE LIBRARY"
        line 17, "WHERE THE CANDLES BURN"
        .byte $FF

;; the card after each tier's boss, for the tier the cartridge ends with
end_lines_lo: .lobytes end1, end2
end_lines_hi: .hibytes end1, end2
end1:   line 10, "THE CINDER TROLL FALLS"
        line 13, "THE FIRST EMBER GLOWS"
        line 18, "TO BE CONTINUED"
        .byte $FF
end2:   line 10, "THE INK GOAT FALLS"
        line 13, "TWO EMBERS GLOW AGAIN"
        line 18, "TO BE CONTINUED"
        .byte $FF

;; the music of each floor, four to a tier
floor_music:
    .byte MUS_MARCH, MUS_MARCH, MUS_MARCH, MUS_BOSS         ; the Cellars
    .byte MUS_HEROIC, MUS_HEROIC, MUS_HEROIC, MUS_BOSS      ; the Library
.export floor_music

tier_pal_lo: .lobytes cellar_palette, library_palette
tier_pal_hi: .hibytes cellar_palette, library_palette
.assert * - tier_pal_hi = NUM_TIERS, error, "a tier has no palette"

;; The sprite palettes are the same in every tier (the four mages' colours). Colour 1 of the
;; background palettes is the wall's dark colour in all four.
;; the Cellars: the wall, stone, wood and webs, treasure
cellar_palette:
    .byte $0F, $0C, $1B, $17    ; wall: bricks, moss, roots
    .byte $0F, $0C, $00, $1A    ; stone: shadow, stone, moss
    .byte $0F, $0C, $17, $37    ; wood: dark, wood, light (webs, metal)
    .byte $0F, $0C, $2A, $30    ; treasure: dark, green, shine
    .byte $0F, $16, $0F, $30    ; player 1 red (also hearts, spiders, the troll)
    .byte $0F, $12, $0F, $30    ; player 2 blue
    .byte $0F, $1A, $0F, $30    ; player 3 green (also emeralds)
    .byte $0F, $27, $0F, $30    ; player 4 orange (also ducks, stars, embers, flames)

;; the Library: panelled walls, shelves of red and gold books, candles; grey stone
library_palette:
    .byte $0F, $07, $16, $28    ; wall: panels, red books, gold (books, candles)
    .byte $0F, $07, $00, $10    ; stone: shadow, stone, worn top
    .byte $0F, $07, $17, $37    ; wood: dark, wood, light (webs, metal)
    .byte $0F, $07, $2A, $30    ; treasure: dark, green, shine
    .byte $0F, $16, $0F, $30
    .byte $0F, $12, $0F, $30
    .byte $0F, $1A, $0F, $30
    .byte $0F, $27, $0F, $30
