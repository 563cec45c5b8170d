; The ending: on top of the spire the last ember rises into the cold brazier and the flame
; burns again, under the mysterious music; then the credits and the team's emeralds, and
; a joined player's A goes back to the title.

.include "ember.inc"

.importzp state_timer, gems
.import show_card, caption, joined_pressed_a, pl_state, brick_row

BATTLEMENT_ROW = 11         ; the battlement's top tile row
BRAZIER_COL = 15            ; the brazier's left tile column; it stands on the battlement
BRAZIER_AT  = $2000 + (BATTLEMENT_ROW - 1) * 32 + BRAZIER_COL
MAGE_Y      = BATTLEMENT_ROW * 8 - 16   ; screen y of the mages standing on it, pixels
EMBER_FROM  = 200           ; screen y the ember rises from, pixels
LIT_AT      = 132           ; the frame it reaches the bowl and the flame catches
PRESS_AT    = 220           ; the frame "PRESS A" shows
GEMS_ROW    = 21            ; "EMERALDS 000": the number's first tile
GEMS_COL    = 19
CAP_PRESS_A_END = 3         ; game.s's caption "PRESS A" low on the screen

.segment "CODE2"

;; After the Hollow Wisp: the top of the spire under the stars, with the texts still dark.
.proc end_init
    lda #<end_texts
    ldy #>end_texts
    ldx #STATE_END
    jsr show_card
    jsr screen_off
    ; the battlement: two rows of bricks
    ldy #1
:   lda #(BRICK_TO - BRICK_FROM) / 2
    sta t6
    ldx brick_lo,y
    lda #>($2000 + BATTLEMENT_ROW * 32)
    jsr brick_row
    dey
    bpl :-
    ; the cold brazier on it, against the sky
    lda #<bg_end_brazier
    sta ptr0
    lda #>bg_end_brazier
    sta ptr0+1
    lda #>BRAZIER_AT
    ldx #<BRAZIER_AT
    jsr draw_block
    ; stars
    ldy #NUM_STARS - 1
:   lda #$20
    ldx star_at,y
    jsr ppu_addr_ax
    lda #TILE_STAR
    sta PPUDATA
    dey
    bpl :-
    ; the team's emeralds
    lda #>($2000 + GEMS_ROW * 32 + GEMS_COL)
    ldx #<($2000 + GEMS_ROW * 32 + GEMS_COL)
    jsr ppu_addr_ax
    ldx #2
:   lda gems,x
    clc
    adc #'0'
    sta PPUDATA
    dex
    bpl :-
    lda #<end_attributes
    sta ptr0
    lda #>end_attributes
    sta ptr0+1
    lda #$20
    jsr fill_attributes
    lda #<end_dark
    sta ptr0
    lda #>end_dark
    sta ptr0+1
    jsr load_palette
    jmp screen_on
.endproc

;; The ember rises to the brazier and the flame catches: the texts light up with it. The
;; mages stand around the brazier; after a while a joined player's A goes to the title.
.proc end_update
    lda state_timer
    cmp #$FF
    beq :+
    inc state_timer
:   jsr mages
    lda state_timer
    cmp #LIT_AT
    bcs lit
    lda #EMBER_FROM         ; the ember, a pixel higher each frame
    sec
    sbc state_timer
    sta t1
    lda #BRAZIER_COL * 8
    sta t0
    lda #<ms_ember
    ldy #>ms_ember
    jmp sprite
lit:
    bne burning
    play_sfx SFX_CHECKPOINT
    lda #<end_lit
    sta ptr0
    lda #>end_lit
    sta ptr0+1
    jsr load_palette
burning:
    ldx #2                  ; three rows of flame, flickering against each other
flame:
    stx t7
    lda #BRAZIER_COL * 8
    sta t0
    lda flame_y,x
    sta t1
    txa
    eor frame_count
    and #4
    beq :+
    lda #<ms_flame1
    ldy #>ms_flame1
    bne :++
:   lda #<ms_flame2
    ldy #>ms_flame2
:   jsr sprite
    ldx t7
    dex
    bpl flame
    lda state_timer
    cmp #PRESS_AT
    bcc done
    ldx #CAP_PRESS_A_END
    jsr caption
    jsr joined_pressed_a
    bcc done
    jmp title_init
done:
    rts

;; metasprite A (low), Y (high) at t0, t1 in the fire's palette
sprite:
    sta ptr0
    sty ptr0+1
    lda #0
    sta t2
    lda #3
    sta t3
    jmp draw_metasprite

;; every mage in the game stands on the battlement, in its colours
mages:
    ldx #NUM_PLAYERS - 1
:   lda pl_state,x
    beq :+
    stx t7
    lda mage_x,x
    sta t0
    lda #MAGE_Y
    sta t1
    lda #0
    sta t2
    txa
    ora mage_face,x
    sta t3
    lda #<ms_mage_stand
    sta ptr0
    lda #>ms_mage_stand
    sta ptr0+1
    jsr draw_metasprite
    ldx t7
:   dex
    bpl :--
    rts
.endproc
.export end_init, end_update

.segment "RODATA"
BRICK_FROM = 6              ; the battlement's tile columns
BRICK_TO   = 26
brick_lo:  .byte <($2000 + BATTLEMENT_ROW * 32 + BRICK_FROM), <($2000 + (BATTLEMENT_ROW + 2) * 32 + BRICK_FROM)
.assert >($2000 + (BATTLEMENT_ROW + 2) * 32 + BRICK_TO) = >($2000 + BATTLEMENT_ROW * 32), error, "the battlement's rows share a high byte"

;; stars over the spire (video address low bytes in the first page of the nametable)
NUM_STARS = 10
star_at: .byte 2 * 32 + 3, 1 * 32 + 12, 4 * 32 + 27, 6 * 32 + 6, 3 * 32 + 20
         .byte 7 * 32 + 24, 0 * 32 + 29, 5 * 32 + 1, 2 * 32 + 16, 7 * 32 + 10
.assert * - star_at = NUM_STARS, error, "star count"

flame_y:   .byte 72, 64, 56     ; the rows of flame over the bowl, screen y
mage_x:    .byte 96, 144, 72, 168
mage_face: .byte 0, $40, 0, $40 ; each faces the flame

;; the texts, dark until the flame catches (palette 3 below the battlement)
.macro line row, text
    .byte >($2000 + (row) * 32 + (32 - .strlen(text)) / 2)
    .byte <($2000 + (row) * 32 + (32 - .strlen(text)) / 2)
    .byte text, TXT_END
.endmacro
end_texts:
    line 16, "THE FLAME BURNS AGAIN"
    line 18, "THE VALLEY SLEEPS IN ITS LIGHT"
    line GEMS_ROW, "EMERALDS 000"
    line 23, "GAME, ART AND MUSIC BY"
    line 24, "THE EMBER SPIRE TEAM"
    .byte 0
.assert (32 - .strlen("EMERALDS 000")) / 2 + 9 = GEMS_COL, error, "the number's place"

;; palettes per 16 x 16 pixels: the sky (0), the battlement and the brazier (1), the
;; texts (3)
end_attributes:
    .res 16, $00
    .res 16, $55
    .res 32, $FF

end_dark:                   ; the battlement a step darker than in the firelight
    .byte $0F, $0F, $00, $10, $0F, $0F, $00, $10, $0F, $0F, $00, $10, $0F, $0F, $0F, $0F
    .byte $0F, $16, $0F, $30, $0F, $12, $0F, $30, $0F, $1A, $0F, $30, $0F, $27, $0F, $30
end_lit:
    .byte $0F, $0F, $17, $37, $0F, $00, $10, $30, $0F, $0F, $00, $10, $0F, $00, $10, $30
    .byte $0F, $16, $0F, $30, $0F, $12, $0F, $30, $0F, $1A, $0F, $30, $0F, $27, $0F, $30
