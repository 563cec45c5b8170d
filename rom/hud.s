; The status display, all sprites, in two rows at the top of the screen, where the view
; keeps the mages away (the highest stands at least 96 pixels lower) and items never rise:
;   row 1: player 1's hearts, the team's emeralds, player 2's hearts
;   row 2: player 3's hearts, the boss's strength, the wishing star, player 4's hearts
; A player with no hearts left shows a ghost. Each row holds 8 sprites at most, the
; console's limit for one line, so the display alone never loses a sprite.

.include "ember.inc"

.importzp gems, star_timer, boss_hp
.import pl_state, pl_hearts

DIGIT0   = '0'              ; the font's digits (the charmap gives their tiles), also in the sprite patterns
HUD_ROW1 = 8                ; screen y of the rows, pixels
HUD_ROW2 = 16
GEMS_X   = 104              ; the emerald and three digits, pixels
BOSS_X   = 108              ; three hearts, two points of strength each
STAR_X   = 140

.segment "CODE"

;; Draws the status display.
.proc hud_draw
    ldx #NUM_PLAYERS - 1
each:
    lda pl_state,x
    beq next
    lda hud_x,x
    sta t0
    lda hud_y,x
    sta t1
    stx t3                  ; the player's palette
    lda pl_state,x
    cmp #PS_GHOST
    bne hearts
    lda #TILE_HUD_GHOST
    jsr draw_sprite
    jmp next
hearts:
    lda #TILE_HEART
    jsr draw_sprite
    lda t0
    clc
    adc #9
    sta t0
    lda pl_hearts,x
    clc
    adc #DIGIT0
    jsr draw_sprite
next:
    dex
    bpl each

    ; emeralds: an emerald and three digits
    lda #2
    sta t3
    lda #HUD_ROW1
    sta t1
    lda #GEMS_X
    sta t0
    lda #TILE_GEM
    jsr draw_sprite
    ldx #2
:   lda t0
    clc
    adc #8
    sta t0
    lda gems,x
    clc
    adc #DIGIT0
    jsr draw_sprite
    dex
    bpl :-

    lda #HUD_ROW2
    sta t1
    lda star_timer
    beq :+
    and #8
    beq :+
    lda #3
    sta t3
    lda #STAR_X
    sta t0
    lda #TILE_WISHSTAR
    jsr draw_sprite
:
    ; the boss's strength: full, half and empty hearts
    lda boss_hp
    beq done
    clc
    adc #1
    lsr a
    sta t4                  ; half hearts left
    lda #0
    sta t3
    lda #BOSS_X
    sta t0
    ldx #3
:   ldy t4                  ; this heart: 2 (full), 1 (half) or 0 (empty) of what is left
    cpy #2
    bcc :+
    ldy #2
:   lda t4
    sty t4
    sec
    sbc t4
    sta t4
    lda boss_heart,y
    jsr draw_sprite
    lda t0
    clc
    adc #8
    sta t0
    dex
    bne :--
done:
    rts
.endproc

;; Writes the text at ptr0 (ended by TXT_END) in sprites from screen x t0, y t1, palette t3.
;; Spaces take no sprite.
.proc draw_sprite_text
    ldy #0
each:
    lda (ptr0),y
    cmp #TXT_END
    beq done
    sty t4
    cmp #0
    beq :+
    jsr draw_sprite
:   ldy t4
    lda t0
    clc
    adc #8
    sta t0
    iny
    bne each
done:
    rts
.endproc

.export hud_draw, draw_sprite_text

.segment "RODATA"
hud_x: .byte 16, 224, 16, 224       ; players 1-4: row 1 left and right, row 2 left and right
hud_y: .byte HUD_ROW1, HUD_ROW1, HUD_ROW2, HUD_ROW2
boss_heart: .byte TILE_HEART_EMPTY, TILE_HEART_HALF, TILE_HEART
