; The Library's and the Gardens' enemies and hazards, on the shared object code of
; objects.s: goats that blow bubbles, trolls that throw spears and snakes that lunge (one
; behaviour, "throwers", a snake throwing itself), and flame jets, torches and sparks that
; burn on a rhythm ("burners").

.include "ember.inc"

.import obj_kind, obj_x, obj_y, obj_yh, obj_ax, obj_state, obj_timer, obj_dir, obj_vx
.import obj_sy, obj_hurt, pl_sy, pl_x
.import face_mage, face_mage_y, shoot, touch_hurts, enemy_touch, object_done, draw_obj_ms, walk_x

PACE_RANGE = 24             ; how far a thrower paces from where it stands, in pixels
WINDUP     = 40             ; frames a thrower shows its throw coming
BUBBLE_LIFE = 200           ; frames before a bubble pops by itself
SPEAR_SPEED = 3             ; pixels per frame
LUNGE_TIME  = 14            ; frames a snake's lunge lasts
LUNGE_SPEED = 3             ; pixels per frame

.segment "BSS"
burn_rows: .res 1           ; rows of flame left to draw
burn_y:    .res 1           ; screen y of the next one

.segment "CODE2"

;; Goats, spear trolls and snakes pace about where they stand. When a mage comes in sight
;; they turn to it, wind up (the picture shows it) and let fly: a bubble or a spear, or a
;; snake itself, lunging along the ground. (states: 0 pacing, 1 winding up, 2 lunging)
.proc thrower_update
    lda obj_kind,x
    pha
    jsr enemy_touch
    pla
    cmp obj_kind,x          ; gone up in smoke
    bne done
    tay
    lda obj_state,x
    bne windup
    ; pacing, a pixel every other frame, turning PACE_RANGE from home
    lda frame_count
    lsr a
    bcc look
    jsr ground_ahead        ; it turns where its ground ends
    bcc :+
    lda obj_dir,x
    eor #$40
    sta obj_dir,x
:   jsr walk_x
    lda obj_x,x
    sec
    sbc obj_ax,x
    bcs :+
    eor #$FF
    adc #1
:   cmp #PACE_RANGE
    bcc look
    lda obj_x,x             ; past the range: face home
    cmp obj_ax,x
    lda #0
    bcc :+
    lda #$40
:   sta obj_dir,x
look:
    inc obj_timer,x
    lda obj_timer,x
    ldy obj_kind,x
    cmp throw_gap - KIND_GOAT,y
    bcc done
    jsr in_sight
    bcs done
    lda #1
    sta obj_state,x
    lda #WINDUP
    sta obj_timer,x
done:
    jmp object_done
windup:
    cmp #2
    beq lunging
    dec obj_timer,x
    bne done
    lda #0
    sta obj_state,x
    ldy obj_kind,x
    lda throw_kind - KIND_GOAT,y
    beq lunge
    lda throw_y - KIND_GOAT,y
    sta t1
    lda throw_kind - KIND_GOAT,y
    jsr shoot
    jmp object_done
lunge:
    lda #2
    sta obj_state,x
    lda #LUNGE_TIME
    sta obj_timer,x
    play_sfx SFX_SNAKE
    jmp object_done
lunging:
    ldy #LUNGE_SPEED
step:
    tya
    pha
    jsr ground_ahead
    bcs edge
    jsr walk_x
    pla
    tay
    dey
    bne step
    dec obj_timer,x
    bne :+
rest:
    lda #0                  ; pacing again: back home, then a rest before the next
    sta obj_state,x
:   jmp object_done
edge:                       ; it stops where its ground ends
    pla
    jmp rest
.endproc

;; Carry clear when object X's ground goes on ahead of it: the metatile under the pixel
;; just beyond its leading edge is stone or a ledge. Keeps X.
.proc ground_ahead
    lda obj_y,x
    clc
    adc #16
    sta t0
    lda obj_yh,x
    adc #0
    sta t1
    lda obj_x,x
    ldy obj_dir,x
    bne :+
    clc
    adc #16
    jmp probe
:   sec
    sbc #1
probe:
    jsr cmap_probe
    cmp #MTT_SOLID
    beq yes
    cmp #MTT_LEDGE
    beq yes
    cmp #MTT_CRACKED
    beq yes
    cmp #MTT_HARD
    beq yes
    sec
    rts
yes:
    clc
    rts
.endproc

;; Carry clear when a living mage is in thrower X's sight (then it faces that mage): a goat
;; sees 80 pixels up and down, a troll only along its own level.
.proc in_sight
    ldy obj_kind,x
    lda sight - KIND_GOAT,y
    sta t4
    ldy #NUM_PLAYERS - 1
each:
    lda pl_sy,y
    cmp #$FF
    beq next
    sec
    sbc obj_sy,x
    bcs :+
    eor #$FF
    adc #1
:   cmp t4
    bcs next
    jmp face_mage_y
next:
    dey
    bpl each
    sec
    rts
.endproc

;; A bubble drifts the way it was blown, a pixel every other frame, rising slowly and
;; bouncing off the walls; it hurts on touch and pops at a spell, a stomp, or in time.
.proc bubble_update
    jsr enemy_touch
    lda obj_kind,x
    cmp #KIND_BUBBLE
    bne done
    inc obj_timer,x
    lda obj_timer,x
    cmp #BUBBLE_LIFE
    bcs pop
    lsr a
    bcc done
    jsr walk_x
    lda obj_timer,x
    and #6
    bne done
    lda obj_y,x             ; up a pixel every eighth frame
    bne :+
    dec obj_yh,x
:   dec obj_y,x
done:
    jmp object_done
pop:
    lda #KIND_PUFF
    sta obj_kind,x
    lda #0
    sta obj_timer,x
    jmp object_done
.endproc

;; A spear (or the Thorn Serpent's thorn) flies straight the way it was thrown until it
;; hits a mage or a wall.
.proc spear_update
    jsr enemy_touch
    lda obj_kind,x
    cmp #KIND_SPEAR
    bne done
    lda obj_dir,x
    bne left
    lda obj_x,x
    clc
    adc #SPEAR_SPEED
    cmp #228
    bcs gone
    sta obj_x,x
    jmp object_done
left:
    lda obj_x,x
    sec
    sbc #SPEAR_SPEED
    bcc gone
    cmp #12
    bcc gone
    sta obj_x,x
done:
    jmp object_done
gone:
    lda #KIND_NONE
    sta obj_kind,x
    jmp object_done
.endproc

;; Flame jets, torches and sparks go round three phases: off, a warning, burning (the only
;; one that hurts). Each starts at a point of its round set by its column, so that
;; neighbours take turns. A spark crackles as it switches on. (state: the phase; timer:
;; frames left of it; vx: 1 once started)
.proc burner_update
    lda obj_vx,x
    bne going
    inc obj_vx,x
    lda obj_x,x             ; the first phase, shortened by the column
    lsr a
    lsr a
    sta t0
    jsr phase_y
    lda phases,y
    sec
    sbc t0
    sta obj_timer,x
going:
    dec obj_timer,x
    bne burn
    ; the next phase
    ldy obj_state,x
    iny
    cpy #3
    bcc :+
    ldy #0
:   tya
    sta obj_state,x
    jsr phase_y
    lda phases,y
    sta obj_timer,x
    lda obj_state,x
    cmp #2
    bne burn
    lda obj_kind,x          ; a spark on the screen crackles as it switches on
    cmp #KIND_SPARK
    bne burn
    lda obj_sy,x
    cmp #$F0
    bcs burn
    play_sfx SFX_SPARK
burn:
    lda obj_state,x
    cmp #2
    bne :+
    jsr touch_hurts
:   jmp object_done
.endproc

;; ---------------------------------------------------------------------------
;; drawing

.proc goat_draw
    lda #3
    sta t3
    ldy #<ms_goat_blow
    lda obj_state,x         ; winding up: cheeks full
    bne draw
    ldy #<ms_goat1
    lda obj_x,x
    and #4
    beq :+
    ldy #<ms_goat2
    lda #>ms_goat2
    jmp draw_obj_ms
:   lda #>ms_goat1
    jmp draw_obj_ms
draw:
    lda #>ms_goat_blow
    jmp draw_obj_ms
.endproc

.proc bubble_draw
    lda #1
    sta t3
    ldy #<ms_bubble
    lda #>ms_bubble
    jmp draw_obj_ms
.endproc

.proc spearman_draw
    lda #0
    sta t3
    lda obj_state,x
    beq :+
    ldy #<ms_spearman_throw
    lda #>ms_spearman_throw
    jmp draw_obj_ms
:   ldy #<ms_spearman1
    lda #>ms_spearman1
    jmp draw_obj_ms
.endproc

;; a snake: coiled with its tongue flicking, rearing up, lunging
.proc snake_draw
    lda #2
    sta t3
    ldy obj_state,x
    iny                     ; 2 rearing, 3 lunging
    cpy #1
    bne :+
    lda frame_count         ; pacing: the tongue in and out
    lsr a
    lsr a
    lsr a
    lsr a
    and #1
    tay
:   lda snake_ms_hi,y
    pha
    lda snake_ms_lo,y
    tay
    pla
    jmp draw_obj_ms
.endproc

;; a spear, or a thorn if the Thorn Serpent spat it (a shot's state: who let it fly)
.proc spear_draw
    lda obj_state,x
    cmp #KIND_THORN
    beq thorn
    lda #0
    sta t3
    ldy #<ms_spear
    lda #>ms_spear
    jmp draw_obj_ms
thorn:
    lda #2
    sta t3
    ldy #<ms_thorn_barb
    lda #>ms_thorn_barb
    jmp draw_obj_ms
.endproc

;; Jets and torches draw rows of flame upwards from the bottom of their cell, as many as
;; their phase has (the warning flickers); a spark draws its crackle.
.proc burner_draw
    jsr phase_y
    lda flame_rows,y
    beq done
    sta burn_rows
    lda obj_state,x         ; the warning flickers
    cmp #1
    bne :+
    lda frame_count
    and #4
    beq done
:   lda obj_kind,x
    cmp #KIND_SPARK
    beq spark
    ldy obj_kind,x
    lda obj_sy,x
    clc
    adc flame_base - KIND_JET,y
    sta burn_y
row:
    lda obj_x,x
    sta t0
    lda burn_y
    sta t1
    lda #0
    sta t2
    lda #3
    sta t3
    lda frame_count         ; rows flicker against each other
    clc
    adc burn_rows
    and #4
    beq :+
    lda #<ms_flame1
    sta ptr0
    lda #>ms_flame1
    bne :++
:   lda #<ms_flame2
    sta ptr0
    lda #>ms_flame2
:   sta ptr0+1
    txa
    pha
    jsr draw_metasprite
    pla
    tax
    lda burn_y
    sec
    sbc #8
    bcc done
    sta burn_y
    dec burn_rows
    bne row
done:
    rts
spark:
    lda #1
    sta t3
    lda frame_count         ; turns over every few frames
    and #$C0
    sta obj_dir,x
    ldy #<ms_spark
    lda #>ms_spark
    jmp draw_obj_ms
.endproc
;; Y := the row of burner X's phase in the burners' tables
.proc phase_y
    lda obj_kind,x
    asl a
    adc obj_kind,x
    adc obj_state,x
    sec
    sbc #KIND_JET * 3
    tay
    rts
.endproc

.export thrower_update, bubble_update, spear_update, burner_update
.export goat_draw, bubble_draw, spearman_draw, spear_draw, burner_draw, snake_draw

.segment "RODATA"
;; the throwers (goat, -, troll with spears, ..., snake): frames between throws, how far up
;; and down they see (pixels), what they throw (0: themselves) and from how far below
;; their top
;;           goat          -  spear troll  -  -  -  -  -  snake
throw_gap:  .byte 110,     0, 90,          0, 0, 0, 0, 0, 70
sight:      .byte 80,      0, 20,          0, 0, 0, 0, 0, 12
throw_kind: .byte KIND_BUBBLE, 0, KIND_SPEAR, 0, 0, 0, 0, 0, 0
throw_y:    .byte 2,       0, 5,           0, 0, 0, 0, 0, 0
.assert throw_y - throw_kind = KIND_SNAKE - KIND_GOAT + 1, error, "a thrower is missing"

;; a snake's pictures: tongue in, tongue out (pacing), rearing, lunging
snake_ms_lo: .lobytes ms_snake1, ms_snake2, ms_snake_rise, ms_snake_lunge
snake_ms_hi: .hibytes ms_snake1, ms_snake2, ms_snake_rise, ms_snake_lunge

;; the burners' rounds: frames off, warning, burning; and rows of flame drawn in each
;;          off  warn burn
phases:
    .byte   100, 40,  60        ; flame jet
    .byte   110, 30,  45        ; torch
    .byte   80,  30,  50        ; spark
flame_rows:
    .byte   0,   1,   4         ; flame jet: a pilot flame, then a column
    .byte   1,   1,   2         ; torch: burns low, flares up
    .byte   0,   1,   1         ; spark
flame_base: .byte 8, 0      ; where the lowest row of flame sits in the cell (jet, torch)
