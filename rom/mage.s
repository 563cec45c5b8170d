; The mages: one per joined player, walking, jumping and falling against the collision map.
; Positions are floor pixels (x 0-255, y 16-bit from the top of the floor) with 8-bit
; fractions; velocities are signed 8.8 pixels per frame. A mage's box is 10 x 14 pixels
; inside its 16 x 16 sprite: x+3 to x+12, y+2 to y+15.

.include "ember.inc"

.import cmap_probe
.importzp cmap_top

; movement, in 1/256 pixel per frame (per frame for the accelerations)
WALK_ACCEL  = $28
WALK_FRICT  = $30
WALK_MAX    = $0180
JUMP_SPEED  = $0390
GRAV_HOLD   = $1C           ; while rising with A held
GRAV_FALL   = $40
FALL_MAX    = $0400

BOX_LEFT    = 3
BOX_RIGHT   = 12
BOX_TOP     = 2
BOX_BOTTOM  = 15

; pl_state
PS_NONE     = 0
PS_ALIVE    = 1

; pl_flags
PF_GROUND   = $01           ; standing on something
PF_JUMP     = $02           ; rising from a jump, A still held
PF_LEFT     = $40           ; facing left (the sprite mirror bit)

.segment "BSS"
pl_state: .res NUM_PLAYERS
pl_x:     .res NUM_PLAYERS
pl_xf:    .res NUM_PLAYERS
pl_y:     .res NUM_PLAYERS
pl_yh:    .res NUM_PLAYERS
pl_yf:    .res NUM_PLAYERS
pl_vx:    .res NUM_PLAYERS  ; whole pixels (signed)
pl_vxf:   .res NUM_PLAYERS  ; fraction
pl_vy:    .res NUM_PLAYERS
pl_vyf:   .res NUM_PLAYERS
pl_flags: .res NUM_PLAYERS
pl_anim:  .res NUM_PLAYERS  ; walk animation clock
pl_drop:  .res NUM_PLAYERS  ; frames left of falling through ledges
.export pl_state, pl_x, pl_y, pl_yh, pl_flags

.segment "ZEROPAGE"
cam_y:    .res 2            ; floor y of the top line of the view
.exportzp cam_y

.segment "CODE"

;; No mage is in play.
.proc mage_init_all
    ldx #NUM_PLAYERS - 1
    lda #PS_NONE
:   sta pl_state,x
    dex
    bpl :-
    rts
.endproc

;; Puts mage X into play at x A, y t0/t1 (floor pixels of its sprite's top-left corner).
.proc mage_join
    sta pl_x,x
    lda t0
    sta pl_y,x
    lda t1
    sta pl_yh,x
    lda #PS_ALIVE
    sta pl_state,x
    lda #0
    sta pl_xf,x
    sta pl_yf,x
    sta pl_vx,x
    sta pl_vxf,x
    sta pl_vy,x
    sta pl_vyf,x
    sta pl_anim,x
    sta pl_drop,x
    lda pl_x,x              ; face the middle of the screen
    bmi :+
    lda #0
    beq :++
:   lda #PF_LEFT
:   sta pl_flags,x
    rts
.endproc

;; Moves every mage in play by its player's buttons.
.proc mage_update_all
    ldx #NUM_PLAYERS - 1
loop:
    lda pl_state,x
    beq :+
    jsr mage_control
    jsr mage_move_x
    jsr mage_move_y
:   dex
    bpl loop
    rts
.endproc

;; Walking, jumping and gravity from player X's buttons.
.proc mage_control
    jsr mage_walk

    ; jumping: A on the ground; rising slower while A stays held
    lda pad_new,x
    and #BTN_A
    beq no_jump
    lda pl_flags,x
    and #PF_GROUND
    beq no_jump
    lda #<(-JUMP_SPEED)
    sta pl_vyf,x
    lda #>(-JUMP_SPEED)
    sta pl_vy,x
    lda pl_flags,x
    and #<~PF_GROUND
    ora #PF_JUMP
    sta pl_flags,x
    play_sfx SFX_HERO_JUMP
no_jump:
    lda pad,x
    and #BTN_A
    bne :+
    lda pl_flags,x          ; A let go: the jump is cut short
    and #<~PF_JUMP
    sta pl_flags,x
:
    ; dropping through a ledge: Down while standing
    lda pad_new,x
    and #BTN_DOWN
    beq :+
    lda pl_flags,x
    and #PF_GROUND
    beq :+
    lda #10
    sta pl_drop,x
:   lda pl_drop,x
    beq :+
    dec pl_drop,x
:
    ; gravity
    ldy #GRAV_FALL
    lda pl_vy,x
    bpl :+
    lda pl_flags,x
    and #PF_JUMP
    beq :+
    ldy #GRAV_HOLD
:   tya
    clc
    adc pl_vyf,x
    sta pl_vyf,x
    lda pl_vy,x
    adc #0
    sta pl_vy,x
    bmi :+
    cmp #>FALL_MAX
    bcc :+
    lda #>FALL_MAX
    sta pl_vy,x
    lda #<FALL_MAX
    sta pl_vyf,x
:   lda pl_vy,x
    bmi :+
    lda pl_flags,x          ; falling: the jump is over
    and #<~PF_JUMP
    sta pl_flags,x
:
    ; walk animation
    lda pl_vx,x
    ora pl_vxf,x
    beq :+
    inc pl_anim,x
    rts
:   lda #0
    sta pl_anim,x
    rts
.endproc

;; Walking: accelerate mage X towards the held direction, slow down when none is held.
.proc mage_walk
    ; walking: accelerate towards the held direction, slow down when none is held
    lda pad,x
    and #BTN_LEFT | BTN_RIGHT
    cmp #BTN_RIGHT
    beq right
    cmp #BTN_LEFT
    beq left
    ; no direction: friction towards 0
    lda pl_vx,x
    bmi slow_neg
    ora pl_vxf,x
    beq near_done
    lda pl_vxf,x
    sec
    sbc #WALK_FRICT
    sta pl_vxf,x
    lda pl_vx,x
    sbc #0
    sta pl_vx,x
    bpl near_done
stop:
    lda #0
    sta pl_vx,x
    sta pl_vxf,x
near_done:
    rts
slow_neg:
    lda pl_vxf,x
    clc
    adc #WALK_FRICT
    sta pl_vxf,x
    lda pl_vx,x
    adc #0
    sta pl_vx,x
    bcs stop                ; crossed zero
    rts
right:
    lda pl_flags,x
    and #<~PF_LEFT
    sta pl_flags,x
    lda pl_vxf,x
    clc
    adc #WALK_ACCEL
    sta pl_vxf,x
    lda pl_vx,x
    adc #0
    sta pl_vx,x
    bmi done
    lda pl_vxf,x            ; clamp to WALK_MAX
    cmp #<WALK_MAX
    lda pl_vx,x
    sbc #>WALK_MAX
    bcc done
    lda #<WALK_MAX
    sta pl_vxf,x
    lda #>WALK_MAX
    sta pl_vx,x
    bne done
left:
    lda pl_flags,x
    ora #PF_LEFT
    sta pl_flags,x
    lda pl_vxf,x
    sec
    sbc #WALK_ACCEL
    sta pl_vxf,x
    lda pl_vx,x
    sbc #0
    sta pl_vx,x
    bpl done
    lda pl_vxf,x            ; clamp to -WALK_MAX
    cmp #<(-WALK_MAX)
    lda pl_vx,x
    sbc #>(-WALK_MAX)
    bcs done
    lda #<(-WALK_MAX)
    sta pl_vxf,x
    lda #>(-WALK_MAX)
    sta pl_vx,x
done:
    rts
.endproc

;; Sets t0/t1 to mage X's y plus A (the row to probe).
.proc probe_y
    clc
    adc pl_y,x
    sta t0
    lda pl_yh,x
    adc #0
    sta t1
    rts
.endproc

;; Horizontal move of mage X with wall collision.
.proc mage_move_x
    lda pl_xf,x
    clc
    adc pl_vxf,x
    sta pl_xf,x
    lda pl_vx,x
    bmi moving_left
    adc pl_x,x
    sta pl_x,x
    lda pl_vx,x
    ora pl_vxf,x
    beq done
    ; moving right: the right edge at the top and the bottom of the box
    lda #BOX_TOP
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_RIGHT
    jsr cmap_probe
    jsr blocks_side
    bcs hit_right
    lda #BOX_BOTTOM
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_RIGHT
    jsr cmap_probe
    jsr blocks_side
    bcc done
hit_right:
    lda pl_x,x
    clc
    adc #BOX_RIGHT
    and #$F0
    sec
    sbc #BOX_RIGHT + 1
    sta pl_x,x
    jmp stop
done:
    rts

moving_left:
    adc pl_x,x
    sta pl_x,x
    lda #BOX_TOP
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_LEFT
    jsr cmap_probe
    jsr blocks_side
    bcs hit_left
    lda #BOX_BOTTOM
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_LEFT
    jsr cmap_probe
    jsr blocks_side
    bcc done
hit_left:
    lda pl_x,x
    clc
    adc #BOX_LEFT
    and #$F0
    clc
    adc #16 - BOX_LEFT
    sta pl_x,x
stop:
    lda #0
    sta pl_vx,x
    sta pl_vxf,x
    sta pl_xf,x
    rts
.endproc

;; Carry set when the behaviour in A stops a mage from the side or from below.
.proc blocks_side
    cmp #MTT_SOLID
    beq yes
    cmp #MTT_CRACKED
    beq yes
    cmp #MTT_HARD
    beq yes
    cmp #MTT_CHEST
    beq yes
    cmp #MTT_CHEST_OPEN
    beq yes
    clc
    rts
yes:
    sec
    rts
.endproc

;; Vertical move of mage X: landing on floors and ledges, bumping into ceilings.
.proc mage_move_y
    old_y   := t4
    old_yh  := t5
    row_top := t6           ; floor y of the top of the metatile row that was hit (low)
    lda pl_y,x
    sta old_y
    lda pl_yh,x
    sta old_yh
    lda pl_yf,x
    clc
    adc pl_vyf,x
    sta pl_yf,x
    lda pl_y,x
    adc pl_vy,x
    sta pl_y,x
    lda pl_vy,x             ; sign-extend into the high byte
    bmi up
    lda pl_yh,x
    adc #0
    sta pl_yh,x

    ; moving down (or standing): look one pixel below the feet
    lda pl_flags,x
    and #<~PF_GROUND
    sta pl_flags,x
    lda #BOX_BOTTOM + 1
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_LEFT
    jsr feet_check
    bcs land
    lda #BOX_BOTTOM + 1
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_RIGHT
    jsr feet_check
    bcc done
land:
    ; y := (probed row) * 16 - 16
    lda t0
    and #$F0
    sec
    sbc #16
    sta pl_y,x
    lda t1
    sbc #0
    sta pl_yh,x
    lda #0
    sta pl_vy,x
    sta pl_vyf,x
    sta pl_yf,x
    lda pl_flags,x
    ora #PF_GROUND
    sta pl_flags,x
done:
    rts

up:
    lda pl_yh,x
    adc #$FF
    sta pl_yh,x
    lda pl_flags,x
    and #<~PF_GROUND
    sta pl_flags,x
    lda #BOX_TOP
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_LEFT
    jsr cmap_probe
    jsr blocks_side
    bcs bump
    lda #BOX_TOP
    jsr probe_y
    lda pl_x,x
    clc
    adc #BOX_RIGHT
    jsr cmap_probe
    jsr blocks_side
    bcc done
bump:
    ; y := (probed row + 1) * 16 - BOX_TOP
    lda t0
    and #$F0
    clc
    adc #16 - BOX_TOP
    sta pl_y,x
    lda t1
    adc #0
    sta pl_yh,x
    lda #0
    sta pl_vy,x
    sta pl_vyf,x
    sta pl_yf,x
    lda pl_flags,x
    and #<~PF_JUMP
    sta pl_flags,x
    play_sfx SFX_HERO_HEAD
    rts

;; carry set when the point (A, t0/t1) holds mage X up: a solid block, or a ledge whose top
;; the feet were above before this move (and the mage is not dropping through)
feet_check:
    jsr cmap_probe
    jsr blocks_side
    bcs yes
    cmp #MTT_LEDGE
    bne no
    lda pl_drop,x
    bne no
    ; old feet line (old_y + 16) must be at or above the ledge top (t0/t1 rounded down)
    lda t0
    and #$F0
    sta row_top
    lda old_y
    clc
    adc #16
    tay
    lda old_yh
    adc #0
    cmp t1
    bcc yes
    bne no
    cpy row_top
    beq yes
    bcc yes
no:
    clc
    rts
yes:
    sec
    rts
.endproc

;; Draws every mage in play, offset by the camera.
.proc mage_draw_all
    ldx #0
loop:
    lda pl_state,x
    beq next
    stx t7
    ; frame: in the air, walking (two steps), standing
    lda pl_flags,x
    and #PF_GROUND
    bne ground
    ldy #<ms_mage_jump
    lda #>ms_mage_jump
    bne set
ground:
    lda pl_anim,x
    and #$08
    beq stand
    lda pl_anim,x
    and #$10
    bne :+
    ldy #<ms_mage_walk1
    lda #>ms_mage_walk1
    bne set
:   ldy #<ms_mage_walk2
    lda #>ms_mage_walk2
    bne set
stand:
    ldy #<ms_mage_stand
    lda #>ms_mage_stand
set:
    sty ptr0
    sta ptr0+1
    lda pl_x,x
    sta t0
    lda pl_y,x
    sec
    sbc cam_y
    sta t1
    lda pl_yh,x
    sbc cam_y+1
    sta t2
    lda pl_flags,x
    and #PF_LEFT
    ora t7                  ; the player's own palette
    sta t3
    jsr draw_metasprite
    ldx t7
next:
    inx
    cpx #NUM_PLAYERS
    bne loop
    rts
.endproc
