; The status display, all sprites: each player's hearts in a corner of the screen (a ghost
; when it has none), the team's emeralds at the top, the wishing star while it shines.

.include "ember.inc"

.importzp gems, star_timer, boss_hp
.import pl_state, pl_hearts

DIGIT0 = '0'                ; the font's digits (the charmap gives their tiles), also in the sprite patterns

.segment "CODE"

;; Draws the status display (first, so that it always gets its sprites).
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
    lda #12
    sta t1
    lda #104
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

    lda star_timer
    beq :+
    and #8
    beq :+
    lda #3
    sta t3
    lda #148
    sta t0
    lda #TILE_WISHSTAR
    jsr draw_sprite
:
    ; the boss's strength: a bar of hearts under the emeralds
    lda boss_hp
    beq done
    lda #0
    sta t3
    lda #22
    sta t1
    lda #104
    sta t0
    lda boss_hp             ; a heart for every two points
    clc
    adc #1
    lsr a
    tax
:   lda #TILE_HEART
    jsr draw_sprite
    lda t0
    clc
    adc #8
    sta t0
    dex
    bne :-
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
hud_x: .byte 16, 224, 16, 224       ; players 1-4: top left, top right, bottom left, bottom right
hud_y: .byte 12, 12, 220, 220
