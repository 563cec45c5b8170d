; The tiers of the spire: the floor being climbed counted through the spire, each tier's
; card and music, and the card after the last tier's boss. The floors themselves are in
; floor.s's tables and their colours in game.s's, four to a tier.

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

;; A (low), Y (high) := the texts of the tier's card (for draw_texts): number, name, motto.
.proc tier_card_list
    ldx tier
    lda card_lines_lo,x
    ldy card_lines_hi,x
    rts
.endproc

;; A (low), Y (high) := the lines of the card after the last tier's boss.
.proc end_card_list
    ldx tier
    lda end_lines_lo,x
    ldy end_lines_hi,x
    rts
.endproc

.export tier_floor, tier_card_list, end_card_list

.segment "RODATA"

;; a line of text centred on the screen at row ROW (for draw_texts)
.macro line row, text
    .byte >($2000 + (row) * 32 + (32 - .strlen(text)) / 2)
    .byte <($2000 + (row) * 32 + (32 - .strlen(text)) / 2)
    .byte text, TXT_END
.endmacro

;; the tiers' cards: number, name, motto
card_lines_lo: .lobytes card1, card2, card3
card_lines_hi: .hibytes card1, card2, card3
card1:  line 11, "TIER 1"
        line 14, "THE CELLARS"
        line 17, "TAKE BACK THE EMBERS"
        .byte 0
card2:  line 11, "TIER 2"
        line 14, "THE LIBRARY"
        line 17, "WHERE THE CANDLES BURN"
        .byte 0
card3:  line 11, "TIER 3"
        line 14, "THE GARDENS"
        line 17, "UNDER THE SLEEPING MOON"
        .byte 0

;; the card after each tier's boss, for the tier the cartridge ends with
end_lines_lo: .lobytes end1, end2, end3
end_lines_hi: .hibytes end1, end2, end3
end1:   line 10, "THE CINDER TROLL FALLS"
        line 13, "THE FIRST EMBER GLOWS"
        line 18, "TO BE CONTINUED"
        .byte 0
end2:   line 10, "THE INK GOAT FALLS"
        line 13, "TWO EMBERS GLOW AGAIN"
        line 18, "TO BE CONTINUED"
        .byte 0
end3:   line 10, "THE THORN SERPENT FALLS"
        line 13, "THREE EMBERS GLOW AGAIN"
        line 18, "TO BE CONTINUED"
        .byte 0

;; the music of each floor, four to a tier
floor_music:
    .byte MUS_MARCH, MUS_MARCH, MUS_MARCH, MUS_BOSS         ; the Cellars
    .byte MUS_HEROIC, MUS_HEROIC, MUS_HEROIC, MUS_BOSS      ; the Library
    .byte MUS_DREAMY, MUS_DREAMY, MUS_DREAMY, MUS_BOSS      ; the Gardens
.export floor_music
