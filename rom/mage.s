; The mages: one per joined player. Walking, jumping and falling against the collision map,
; spells, hearts and blinking, ghosts and revival, fairies, and what a mage touches on the
; floor (emeralds, chests, webs, braziers, the exit door).
;
; Positions are floor pixels (x 0-255, y 16-bit from the top of the floor) with 8-bit
; fractions; velocities are signed 8.8 pixels per frame. A mage's box is 10 x 14 pixels
; inside its 16 x 16 sprite: x+3 to x+12, y+2 to y+15.

.include "ember.inc"

.import crumble_touch
.importzp cmap_top, lvl_rows
.import set_metatile, gem_collect, open_chest, light_brazier, mage_exits
.import bolt_fire, game_over_check, portal_touch
.importzp star_timer, door_open, door_row, door_col

; movement, in 1/256 pixel per frame (per frame for the accelerations)
WALK_ACCEL  = $28
WALK_FRICT  = $30
WALK_MAX    = $0180
WEB_MAX     = $0070         ; walking in a web
JUMP_SPEED  = $0390
WEB_JUMP    = $0200
GRAV_HOLD   = $1C           ; while rising with A held
GRAV_FALL   = $40
FALL_MAX    = $0400
WEB_FALL    = $0080

BOX_LEFT    = 3
BOX_RIGHT   = 12
BOX_TOP     = 2
BOX_BOTTOM  = 15

BLINK_HURT  = 120           ; frames of blinking after a hit
CHARGE_FULL = 48            ; frames of B held for a charged spell
CHARGE_SHOW = 8             ; frames of B held before the charge shows (a tap only casts)
GHOST_SPEED = 1
CHARGE_ABOVE = 10           ; the charge shows this far above the mage's sprite, pixels
GHOST_TOP   = 32            ; ghosts stay this far below the top of the view, under the status display
DOOR_REACH  = 3             ; pixels of a mage's box that must be in the doorway to go through

; pl_flags
PF_GROUND   = $01           ; standing on something
PF_JUMP     = $02           ; rising from a jump, A still held
PF_WEB      = $04           ; caught in a web
PF_LEFT     = $40           ; facing left (the sprite mirror bit)

.segment "BSS"
pl_state:  .res NUM_PLAYERS ; PS_*
pl_x:      .res NUM_PLAYERS
pl_xf:     .res NUM_PLAYERS
pl_y:      .res NUM_PLAYERS
pl_yh:     .res NUM_PLAYERS
pl_yf:     .res NUM_PLAYERS
pl_vx:     .res NUM_PLAYERS ; whole pixels (signed)
pl_vxf:    .res NUM_PLAYERS ; fraction
pl_vy:     .res NUM_PLAYERS
pl_vyf:    .res NUM_PLAYERS
pl_flags:  .res NUM_PLAYERS ; PF_*
pl_anim:   .res NUM_PLAYERS ; walk animation clock
pl_drop:   .res NUM_PLAYERS ; frames left of falling through ledges
pl_hearts: .res NUM_PLAYERS
pl_blink:  .res NUM_PLAYERS ; frames left of blinking (no harm meanwhile)
pl_charge: .res NUM_PLAYERS ; frames B has been held
pl_cast:   .res NUM_PLAYERS ; frames left of the casting pose
pl_fairy:  .res NUM_PLAYERS ; 0 the fairy follows, 1 it waits where it was dropped
pl_fx:     .res NUM_PLAYERS ; where the fairy waits
pl_fy:     .res NUM_PLAYERS
pl_fyh:    .res NUM_PLAYERS
pl_safe_x: .res NUM_PLAYERS ; where the mage last stood
pl_safe_y: .res NUM_PLAYERS
pl_safe_yh: .res NUM_PLAYERS
.export pl_state, pl_x, pl_y, pl_yh, pl_flags, pl_hearts, pl_blink, pl_vy, pl_vyf
.export pl_fairy, pl_charge

.segment "ZEROPAGE"
cam_y:     .res 2           ; floor y of the top line of the view
.exportzp cam_y

.segment "CODE2"

;; No mage is in play.
.proc mage_init_all
    ldx #NUM_PLAYERS - 1
    lda #PS_NONE
:   sta pl_state,x
    dex
    bpl :-
    rts
.endproc

;; Puts mage X into play at x A, y t0/t1 (floor pixels of its sprite's top-left corner),
;; standing still with its fairy, facing the middle of the screen. Hearts are left alone.
.proc mage_join
    sta pl_x,x
    sta pl_safe_x,x
    lda t0
    sta pl_y,x
    sta pl_safe_y,x
    lda t1
    sta pl_yh,x
    sta pl_safe_yh,x
    lda #PS_ALIVE
    sta pl_state,x
    jsr mage_still
    sta pl_anim,x
    sta pl_drop,x
    sta pl_charge,x
    sta pl_cast,x
    sta pl_fairy,x
    sta pl_blink,x
    lda pl_x,x
    bmi :+
    lda #0
    beq :++
:   lda #PF_LEFT
:   sta pl_flags,x
    rts
.endproc

;; The title: mages walk and jump, nothing more.
.proc mage_title_update
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

;; One frame of every mage in a floor.
.proc mage_update_all
    ldx #NUM_PLAYERS - 1
loop:
    lda pl_state,x
    cmp #PS_ALIVE
    bne :+
    jsr mage_alive
    jmp next
:   cmp #PS_GHOST
    bne next
    jsr mage_ghost
next:
    dex
    bpl loop
    rts
.endproc

;; A living mage: controls, spells, movement, what it touches, falling out of the view.
.proc mage_alive
    lda pl_blink,x
    beq :+
    dec pl_blink,x
:   lda pl_cast,x
    beq :+
    dec pl_cast,x
:   jsr mage_control
    jsr mage_spells
    jsr mage_fairy
    jsr mage_move_x
    jsr mage_move_y
    lda pl_flags,x
    and #PF_GROUND
    beq :+
    lda pl_x,x              ; remember solid ground
    sta pl_safe_x,x
    lda pl_y,x
    sta pl_safe_y,x
    lda pl_yh,x
    sta pl_safe_yh,x
:   jsr mage_touch
    lda pad_new,x           ; Up in front of the open door: through it
    and #BTN_UP
    beq :+
    jsr mage_at_door
    bcc :+
    jmp mage_exits
:   jmp mage_fall_check
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
    lda pl_flags,x
    and #PF_WEB
    beq :+
    lda #<(-WEB_JUMP)
    ldy #>(-WEB_JUMP)
    bne :++
:   lda #<(-JUMP_SPEED)
    ldy #>(-JUMP_SPEED)
:   sta pl_vyf,x
    tya
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
    bmi rising
    lda pl_flags,x          ; falling: the jump is over
    and #<~PF_JUMP
    sta pl_flags,x
    lda pl_flags,x
    and #PF_WEB
    beq normal_fall
    lda pl_vy,x             ; a web holds the fall back
    bne :+
    lda pl_vyf,x
    cmp #<WEB_FALL
    bcc rising
:   lda #0
    sta pl_vy,x
    lda #<WEB_FALL
    sta pl_vyf,x
    bne rising
normal_fall:
    lda pl_vy,x
    cmp #>FALL_MAX
    bcc rising
    lda #>FALL_MAX
    sta pl_vy,x
    lda #<FALL_MAX
    sta pl_vyf,x
rising:
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
    limit_lo := t4
    limit_hi := t5
    lda pl_flags,x
    and #PF_WEB
    beq :+
    lda #<WEB_MAX
    ldy #>WEB_MAX
    bne :++
:   lda #<WALK_MAX
    ldy #>WALK_MAX
:   sta limit_lo
    sty limit_hi
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
    lda pl_vxf,x            ; clamp to the limit
    cmp limit_lo
    lda pl_vx,x
    sbc limit_hi
    bcc done
    lda limit_lo
    sta pl_vxf,x
    lda limit_hi
    sta pl_vx,x
    rts
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
    lda pl_vxf,x            ; clamp to minus the limit: vx + limit < 0 means too fast
    clc
    adc limit_lo
    lda pl_vx,x
    adc limit_hi
    bcs done
    lda #0
    sec
    sbc limit_lo
    sta pl_vxf,x
    lda #0
    sbc limit_hi
    sta pl_vx,x
done:
    rts
.endproc

;; Spells: B casts a bolt at once; held, it charges; let go fully charged, it releases the
;; charged spell.
.proc mage_spells
    lda pad_new,x
    and #BTN_B
    beq held
    lda #1                  ; a bolt
    jsr bolt_fire
    bcs :+
    lda #12
    sta pl_cast,x
    play_sfx SFX_SPELL
:   lda #1
    sta pl_charge,x
    rts
held:
    lda pl_charge,x
    beq done
    lda pad,x
    and #BTN_B
    beq released
    lda pl_charge,x
    cmp #CHARGE_FULL
    bcs done
    inc pl_charge,x
    lda pl_charge,x
    cmp #CHARGE_FULL / 2    ; the charge sound rises as the spell fills
    bne :+
    lda #SFX_SPELL_CHARGE
    ldy #0
    jmp sfx_play_y
:   cmp #CHARGE_FULL
    bne done
    lda #SFX_SPELL_CHARGE
    ldy #6
    jmp sfx_play_y
released:
    lda pl_charge,x
    cmp #CHARGE_FULL
    lda #0
    sta pl_charge,x
    bcc done
    lda #2                  ; the charged spell
    jsr bolt_fire
    bcs done
    lda #16
    sta pl_cast,x
    play_sfx SFX_SPELL2
done:
    rts
.endproc

;; Select drops the fairy where the mage is; a dropped fairy marks where the mage comes
;; back after a fall. Select again calls it back.
.proc mage_fairy
    lda pad_new,x
    and #BTN_SELECT
    beq done
    lda pl_fairy,x
    eor #1
    sta pl_fairy,x
    beq done
    lda pl_x,x
    sta pl_fx,x
    lda pl_y,x
    sta pl_fy,x
    lda pl_yh,x
    sta pl_fyh,x
    play_sfx SFX_FAIRY
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

;; Carry set when the behaviour in A stops a mage from the side, from above or from below.
.proc blocks_side
    cmp #MTT_SOLID
    beq yes
    cmp #MTT_CRUMBLE
    beq yes
    cmp #MTT_CRACKED
    beq yes
    cmp #MTT_HARD
    beq yes
    clc
    rts
yes:
    sec
    rts
.endproc
.export blocks_side

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
    cmp #MTT_CRUMBLE        ; loose stone holds, and starts to go
    bne :+
    jsr crumble_touch
:   jsr blocks_side
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

;; What mage X touches: two points of its body, the upper and the lower half.
.proc mage_touch
    lda pl_flags,x
    sta t7                  ; the web flag as it was
    and #<~PF_WEB
    sta pl_flags,x
    lda #4
    jsr probe_y
    lda pl_x,x
    clc
    adc #8
    jsr cmap_probe
    jsr touch_tile
    lda #13
    jsr probe_y
    lda pl_x,x
    clc
    adc #8
    jsr cmap_probe
    jsr touch_tile
    ; caught in a web just now
    lda pl_flags,x
    and #PF_WEB
    beq :+
    lda t7
    and #PF_WEB
    bne :+
    play_sfx SFX_SPIDERWEB
:   rts

;; acts on the tile behaviour A at row t3, column t2
touch_tile:
    cmp #MTT_EMERALD
    bne :+
    lda t3
    ldy t2
    stx t6
    ldx #MT_WALL
    jsr set_metatile
    ldx t6
    jmp gem_collect
:   cmp #MTT_WEB
    bne :+
    lda pl_flags,x
    ora #PF_WEB
    sta pl_flags,x
    rts
:   cmp #MTT_CHEST_EMBER
    bcc :+
    cmp #MTT_CHEST_STAR + 1
    bcs :+
    jmp open_chest
:   cmp #MTT_BRAZIER
    bne :+
    jmp light_brazier
:   cmp #MTT_PORTAL
    bne :+
    jmp portal_touch
:   rts
.endproc

;; Mage X stands still on its whole pixel: no fraction, no speed. A := 0; keeps X.
.proc mage_still
    lda #0
    sta pl_xf,x
    sta pl_yf,x
    sta pl_vx,x
    sta pl_vxf,x
    sta pl_vy,x
    sta pl_vyf,x
    rts
.endproc
.export mage_still

;; Carry set when mage X stands in front of the open exit door: DOOR_REACH pixels of its box
;; or more are in the doorway, and its middle is level with the door. Keeps X.
.proc mage_at_door
    lda door_open
    beq no
    ; across: x + BOX_RIGHT >= door + DOOR_REACH - 1 and x + BOX_LEFT <= door + 16 - DOOR_REACH
    lda door_col
    asl a
    asl a
    asl a
    asl a
    sta t0
    lda pl_x,x
    sec
    sbc t0
    clc
    adc #BOX_RIGHT + 1 - DOOR_REACH
    cmp #(BOX_RIGHT + 1 - DOOR_REACH) + (16 - DOOR_REACH - BOX_LEFT) + 1
    bcs no
    ; down: the row of the box's middle is the door's lower row or its upper one
    lda #8
    jsr probe_y
    lda t1
    asl a
    asl a
    asl a
    asl a
    sta t1
    lda t0
    lsr a
    lsr a
    lsr a
    lsr a
    ora t1
    clc
    sbc door_row            ; row - door_row - 1: -1 or -2 in front of the door
    cmp #$FE
    bcc no
    rts                     ; carry is set
no:
    clc
    rts
.endproc
.export mage_at_door

;; Mage X fell below the view: a heart less, then back at its fairy if that is in view,
;; beside the highest mage, or where it last stood.
.proc mage_fall_check
    lda pl_y,x
    sec
    sbc cam_y
    tay
    lda pl_yh,x
    sbc cam_y+1
    bmi done                ; above the view
    bne fell
    cpy #240
    bcc done
fell:
    lda #0
    sta pl_blink,x          ; falling always costs a heart
    jsr mage_hurt
    lda pl_state,x
    cmp #PS_ALIVE
    bne ghost
    jmp mage_respawn
ghost:
    lda cam_y               ; the ghost rises into the view
    clc
    adc #120
    sta pl_y,x
    lda cam_y+1
    adc #0
    sta pl_yh,x
done:
    rts
.endproc

;; Puts mage X back into the view after a fall.
.proc mage_respawn
    lda pl_fairy,x
    beq beside
    lda pl_fy,x             ; the fairy, if it is in the view
    sec
    sbc cam_y
    tay
    lda pl_fyh,x
    sbc cam_y+1
    bne beside
    cpy #16
    bcc beside
    cpy #200
    bcs beside
    lda pl_fx,x
    sta pl_x,x
    lda pl_fy,x
    sta pl_y,x
    lda pl_fyh,x
    sta pl_yh,x
    lda #0
    sta pl_fairy,x          ; the fairy comes back to the mage
    beq placed
beside:
    stx t6
    jsr highest_mage        ; Y = the highest other living mage, or $FF
    ldx t6
    cpy #$FF
    beq safe
    lda pl_x,y
    sta pl_x,x
    lda pl_y,y
    sta pl_y,x
    lda pl_yh,y
    sta pl_yh,x
    jmp placed
safe:
    lda pl_safe_y,x         ; where it last stood, if that is in the view
    sec
    sbc cam_y
    tay
    lda pl_safe_yh,x
    sbc cam_y+1
    bne middle
    cpy #16
    bcc middle
    cpy #208
    bcs middle
    lda pl_safe_x,x
    sta pl_x,x
    lda pl_safe_y,x
    sta pl_y,x
    lda pl_safe_yh,x
    sta pl_yh,x
    jmp placed
middle:
    lda #120                ; nowhere: the middle of the view, jumping
    sta pl_x,x
    lda cam_y
    clc
    adc #176
    sta pl_y,x
    lda cam_y+1
    adc #0
    sta pl_yh,x
    lda #<(-$0500)
    sta pl_vyf,x
    lda #>(-$0500)
    sta pl_vy,x
    rts
placed:
    jmp mage_still
.endproc

;; Y := the living mage highest up other than X ($FF: none). Keeps X.
.proc highest_mage
    best_lo := t4
    best_hi := t5
    lda #$FF
    sta best_lo
    sta best_hi
    ldy #$FF
    stx t7
    ldx #NUM_PLAYERS - 1
loop:
    cpx t7
    beq next
    lda pl_state,x
    cmp #PS_ALIVE
    bne next
    lda pl_y,x
    cmp best_lo
    lda pl_yh,x
    sbc best_hi
    bcs next
    lda pl_y,x
    sta best_lo
    lda pl_yh,x
    sta best_hi
    txa
    tay
next:
    dex
    bpl loop
    ldx t7
    rts
.endproc
.export highest_mage

;; Mage X is hurt: a heart less and a while of blinking; with no hearts left it becomes a
;; ghost. Nothing happens while it blinks or while the wishing star shines.
.proc mage_hurt
    lda pl_state,x
    cmp #PS_ALIVE
    bne done
    lda pl_blink,x
    ora star_timer
    bne done
    lda #BLINK_HURT
    sta pl_blink,x
    dec pl_hearts,x
    beq ghost
    play_sfx SFX_HERO_DAMAGE
    lda #<(-$0200)          ; a little hop back
    sta pl_vyf,x
    lda #>(-$0200)
    sta pl_vy,x
done:
    rts
ghost:
    lda #PS_GHOST
    sta pl_state,x
    lda #0
    sta pl_charge,x
    play_sfx SFX_HERO_GHOST
    jmp game_over_check
.endproc
.export mage_hurt

;; Brings ghost X back to life next to mage Y with one heart.
.proc mage_revive
    lda pl_x,y
    sta pl_x,x
    lda pl_y,y
    sta pl_y,x
    lda pl_yh,y
    sta pl_yh,x
    lda #PS_ALIVE
    sta pl_state,x
    lda #1
    sta pl_hearts,x
    lda #BLINK_HURT
    sta pl_blink,x
    lda #0
    sta pl_vx,x
    sta pl_vxf,x
    sta pl_vy,x
    sta pl_vyf,x
    sta pl_fairy,x
    play_sfx SFX_CHECKPOINT
    rts
.endproc
.export mage_revive

;; A ghost: moves with the D-pad, drifts towards the highest mage, stays in the view, and
;; comes back to life when it touches a living mage.
.proc mage_ghost
    lda pad,x
    lsr a                   ; right
    bcc :+
    inc pl_x,x
:   lsr a                   ; left
    bcc :+
    dec pl_x,x
:   lsr a                   ; down
    bcc :+
    inc pl_y,x
    bne :+
    inc pl_yh,x
:   lsr a                   ; up
    bcc :+
    lda pl_y,x
    bne :++
    dec pl_yh,x
:
:   bcc drift
    dec pl_y,x
drift:
    ; every other frame a pixel towards the highest living mage
    lda frame_count
    lsr a
    bcc bounds
    jsr highest_mage
    cpy #$FF
    beq bounds
    lda pl_x,y
    cmp pl_x,x
    beq vert
    bcs :+
    dec pl_x,x
    jmp vert
:   inc pl_x,x
vert:
    lda pl_y,y
    sec
    sbc pl_y,x
    lda pl_yh,y
    sbc pl_yh,x
    bmi goes_up
    inc pl_y,x
    bne bounds
    inc pl_yh,x
    jmp bounds
goes_up:
    lda pl_y,x
    bne :+
    dec pl_yh,x
:   dec pl_y,x
bounds:
    ; inside the walls and the view
    lda pl_x,x
    cmp #16
    bcs :+
    lda #16
:   cmp #225
    bcc :+
    lda #224
:   sta pl_x,x
    lda pl_y,x
    sec
    sbc cam_y
    tay
    lda pl_yh,x
    sbc cam_y+1
    bmi top
    bne bottom
    cpy #GHOST_TOP
    bcc top
    cpy #200
    bcc touch
bottom:
    lda cam_y
    clc
    adc #200
    sta pl_y,x
    lda cam_y+1
    adc #0
    sta pl_yh,x
    jmp touch
top:
    lda cam_y
    clc
    adc #GHOST_TOP
    sta pl_y,x
    lda cam_y+1
    adc #0
    sta pl_yh,x
touch:
    ; a living mage within 12 pixels across and 14 up or down brings it back
    ldy #NUM_PLAYERS - 1
each:
    lda pl_state,y
    cmp #PS_ALIVE
    bne next
    lda pl_x,y
    sec
    sbc pl_x,x
    bcs :+
    eor #$FF
    adc #1
:   cmp #12
    bcs next
    lda pl_y,y
    sec
    sbc pl_y,x
    sta t0
    lda pl_yh,y
    sbc pl_yh,x
    beq :+
    cmp #$FF
    bne next
    lda t0
    eor #$FF
    clc
    adc #1
    jmp :++
:   lda t0
:   cmp #14
    bcs next
    jmp mage_revive
next:
    dey
    bpl each
    rts
.endproc

;; Draws every mage in play and its fairy, offset by the camera.
.proc mage_draw_all
    ldx #0
loop:
    lda pl_state,x
    beq next
    cmp #PS_EXITED
    beq next
    stx t7
    jsr draw_one
    ldx t7
    jsr draw_fairy
    ldx t7
next:
    inx
    cpx #NUM_PLAYERS
    bne loop
    rts

draw_one:
    cmp #PS_GHOST
    bne alive
    ldy #<ms_ghost          ; pale and see-through, drawn every frame
    lda #>ms_ghost
    bne set
alive:
    lda pl_blink,x          ; blinking: every other pair of frames
    beq :+
    lda frame_count
    and #2
    bne skip
:   jsr draw_charge
    ldx t7
    lda pl_cast,x
    beq :+
    ldy #<ms_mage_cast
    lda #>ms_mage_cast
    bne set
:   lda pl_flags,x
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
    jmp draw_metasprite
skip:
    rts

;; the charge over the mage's hat: it grows while B is held and flashes when it is full
draw_charge:
    lda pl_charge,x
    cmp #CHARGE_SHOW
    bcc skip
    lda pl_y,x
    sec
    sbc cam_y
    sta t1
    lda pl_yh,x
    sbc cam_y+1
    bne skip
    lda t1
    sec
    sbc #CHARGE_ABOVE
    bcc skip
    beq skip
    sta t1
    lda pl_x,x
    clc
    adc #4
    sta t0
    lda t7
    sta t3
    lda pl_charge,x
    cmp #CHARGE_FULL
    bcc grow
    lda frame_count         ; full: the orb and a sparkle in turns
    and #4
    beq full_orb
    lda #TILE_SPARKLE
    jmp draw_sprite
full_orb:
    lda #CHARGE_FULL
grow:
    lsr a                   ; growing: a bigger orb every 16 frames
    lsr a
    lsr a
    lsr a
    cmp #3
    bcc :+
    lda #2
:   tay
    lda charge_tile,y
    jmp draw_sprite

;; the fairy: beside the mage's hat, or where it was dropped
skip_f:
    rts
draw_fairy:
    lda pl_state,x
    cmp #PS_ALIVE
    bne skip_f
    lda pl_fairy,x
    bne dropped
    lda pl_y,x
    sec
    sbc cam_y
    sta t1
    lda pl_yh,x
    sbc cam_y+1
    bne skip_f
    lda pl_flags,x          ; behind the mage's back
    and #PF_LEFT
    beq :+
    lda pl_x,x
    clc
    adc #14
    jmp :++
:   lda pl_x,x
    sec
    sbc #6
:   sta t0
    jmp bob
dropped:
    lda pl_fy,x
    sec
    sbc cam_y
    sta t1
    lda pl_fyh,x
    sbc cam_y+1
    bne skip_f
    lda pl_fx,x
    clc
    adc #4
    sta t0
bob:
    lda frame_count
    lsr a
    lsr a
    lsr a
    and #3
    tay
    lda t1
    clc
    adc fairy_bob,y
    cmp #232
    bcs skip_f
    sta t1
    lda t7
    sta t3
    lda frame_count
    and #8
    beq :+
    lda #TILE_FAIRY2
    jmp draw_sprite
:   lda #TILE_FAIRY1
    jmp draw_sprite
.endproc

.segment "RODATA"
charge_tile: .byte TILE_CHARGE1, TILE_CHARGE2, TILE_CHARGE3
fairy_bob: .byte 0, 1, 2, 1
