; The tiers of the spire: the floor being climbed counted through the spire, each tier's
; card and music. The floors themselves are in
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

.export tier_floor, tier_card_list

.segment "RODATA"

;; a line of text centred on the screen at row ROW (for draw_texts)
.macro line row, text
    .byte >($2000 + (row) * 32 + (32 - .strlen(text)) / 2)
    .byte <($2000 + (row) * 32 + (32 - .strlen(text)) / 2)
    .byte text, TXT_END
.endmacro

;; the tiers' cards: number, name, motto
card_lines_lo: .lobytes card1, card2, card3, card4
card_lines_hi: .hibytes card1, card2, card3, card4
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
card4:  line 11, "TIER 4"
        line 14, "THE CROWN"
        line 17, "WHERE THE STORM BREAKS"
        .byte 0

;; the music of each floor, four to a tier
floor_music:
    .byte MUS_MARCH, MUS_MARCH, MUS_MARCH, MUS_BOSS         ; the Cellars
    .byte MUS_HEROIC, MUS_HEROIC, MUS_HEROIC, MUS_BOSS      ; the Library
    .byte MUS_DREAMY, MUS_DREAMY, MUS_DREAMY, MUS_BOSS      ; the Gardens
    .byte MUS_SPOOKY, MUS_SPOOKY, MUS_SPOOKY, MUS_EVIL      ; the Crown
.assert * - floor_music = NUM_TIERS * TIER_FLOORS, error, "a piece per floor"
.assert card_lines_hi - card_lines_lo = NUM_TIERS, error, "a card per tier"
.export floor_music
