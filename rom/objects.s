; Objects: the enemies of the floor (ducks, spiders, the tiers' bosses; the Library's kinds
; are in enemies.s), what comes out of chests (the ember, emeralds, hearts, the wishing
; star), smoke and brazier flames; and the mages' spells. Objects come to life from the floor's list as the view reaches their row
; and are gone for good once the view leaves them behind.
;
; Positions are floor pixels like the mages' (x 0-255, y 16-bit), without fractions.

.include "ember.inc"

.importzp cam_y, floor_id, star_timer, jingle, door_row, door_col, gems
.import floor_objs_lo, floor_objs_hi, cam_row
.import pl_state, pl_x, pl_y, pl_yh, pl_flags, pl_hearts, pl_vy, pl_vyf
.import mage_hurt, gem_collect, open_door, set_metatile, blocks_side, cell_xy
.import thrower_update, bubble_update, spear_update, burner_update
.import goat_draw, bubble_draw, spearman_draw, spear_draw, burner_draw, snake_draw
.import wisp_update, wisp_draw

NUM_OBJ   = 10
NUM_BOLTS = 8

TROLL_HP  = 12
INKGOAT_HP = 14
THORN_HP  = 16
HOLLOW_HP = 20
WISP_HP   = 1
SNAKE_HP  = 2
SPIDER_HP = 2
DUCK_HP   = 1
GOAT_HP   = 2
SPEARMAN_HP = 3
SPIDER_DROP = 112           ; how far below its ceiling a spider drops at most, in pixels
SPIDER_HANG = 24            ; frames it waits down there
LEDGE_UNDER = 12            ; pixels from a ledge's plank down to the bottom of its cell
DUCK_REST = 150             ; frames a duck flies on before it swoops again
DUCK_GLIDE = 40             ; frames a duck skims along at the height of the mage it swooped at

.segment "BSS"
obj_kind:  .res NUM_OBJ     ; KIND_*
obj_x:     .res NUM_OBJ
obj_y:     .res NUM_OBJ
obj_yh:    .res NUM_OBJ
obj_ax:    .res NUM_OBJ     ; where it started (goats and trolls pace about it)
obj_ay:    .res NUM_OBJ     ; (ducks return there, spiders hang from it)
obj_ayh:   .res NUM_OBJ
obj_state: .res NUM_OBJ
obj_timer: .res NUM_OBJ
obj_hp:    .res NUM_OBJ
obj_hurt:  .res NUM_OBJ     ; frames of flashing after a hit (no further hits meanwhile)
obj_dir:   .res NUM_OBJ     ; $40: facing left
obj_vx:    .res NUM_OBJ     ; signed pixels per frame
obj_sy:    .res NUM_OBJ     ; screen y this frame ($F0 and above: off the screen)

bolt_kind:  .res NUM_BOLTS  ; 0 none, 1 bolt, 2 charged spell
bolt_x:     .res NUM_BOLTS
bolt_y:     .res NUM_BOLTS
bolt_yh:    .res NUM_BOLTS
bolt_vx:    .res NUM_BOLTS
bolt_owner: .res NUM_BOLTS
bolt_life:  .res NUM_BOLTS

pl_sy:      .res NUM_PLAYERS ; screen y of each living mage this frame ($FF: none)
shoot_list: .res NUM_OBJ     ; this frame's objects a spell can hit (on the screen)
shoot_n:    .res 1          ; how many ($FF: not gathered yet this frame)
shoot_i:    .res 1          ; the entry a spell looks at next
spawn_keep_x: .res 1
.export obj_kind, obj_hp, obj_state, bolt_kind
.export obj_x, obj_y, obj_yh, obj_ax, obj_timer, obj_dir, obj_vx, obj_sy, obj_hurt, pl_sy

.segment "ZEROPAGE"
olist:      .res 2          ; the floor's object list: row, column, kind; bottom first
olist_i:    .res 1          ; the next entry to bring to life
draw_first: .res 1          ; the object drawn first this frame (turns, so that a full
                            ; sprite page leaves out a different one each frame)
boss_hp:    .res 1          ; the floor's boss's hearts left (0: none on the floor)
.exportzp boss_hp

.segment "CODE2"

;; Empties the objects and points at floor floor_id's list, past what lies below the view.
.proc objects_init
    ldx #NUM_OBJ - 1
    lda #KIND_NONE
:   sta obj_kind,x
    dex
    bpl :-
    sta boss_hp
    ldx floor_id
    lda floor_objs_lo,x
    sta olist
    lda floor_objs_hi,x
    sta olist+1
    jsr cam_row
    clc
    adc #16
    sta t5                  ; rows below this are never seen
    ldy #0
:   lda (olist),y
    cmp #$FF
    beq :+
    cmp t5
    bcc :+
    iny
    iny
    iny
    bne :-
:   sty olist_i
    rts
.endproc

;; Brings to life the objects whose row the view reached (one row above it included).
.proc objects_spawn
    jsr cam_row
    sec
    sbc #1
    bcs :+
    lda #0
:   sta t5
each:
    ldy olist_i
    lda (olist),y
    cmp #$FF
    beq done
    cmp t5
    bcc done
    sta t4                  ; row
    iny
    lda (olist),y
    sta t0                  ; column
    iny
    lda (olist),y
    iny
    sty olist_i
    tax
    lda ent_kind,x
    beq each                ; the start marker
    pha
    ldy t0
    lda t4
    jsr cell_xy             ; the cell's pixels: x in t0, y in t1/t2
    pla
    jsr obj_spawn
    jmp each
done:
    rts
.endproc

;; A new object of kind A at x t0, y t1/t2 (the top-left of its map cell). Carry set: no
;; free slot. Keeps X, t0-t2, t4-t7.
.proc obj_spawn
    stx spawn_keep_x
    sta t3
    ldy #NUM_OBJ - 1
:   lda obj_kind,y
    beq free
    dey
    bpl :-
    ldx spawn_keep_x
    sec
    rts
free:
    lda t3
    sta obj_kind,y
    lda t0
    sta obj_x,y
    sta obj_ax,y
    lda t1
    sta obj_y,y
    sta obj_ay,y
    lda t2
    sta obj_yh,y
    sta obj_ayh,y
    lda #0
    sta obj_state,y
    sta obj_timer,y
    sta obj_hurt,y
    sta obj_vx,y
    lda #$40
    sta obj_dir,y
    ldx t3
    lda kind_hp,x
    sta obj_hp,y
    lda kind_flags,x        ; a boss stands on the floor below its cell
    and #KF_BOSS
    beq :+
    lda obj_hp,y
    sta boss_hp
    lda obj_y,y
    sec
    sbc #16
    sta obj_y,y
    bcs :+
    lda obj_yh,y
    sbc #0
    sta obj_yh,y
:   cpx #KIND_FLAME         ; the flame burns just above the brazier's bowl
    bne :+
    lda obj_y,y
    sec
    sbc #1
    sta obj_y,y
:   ldx spawn_keep_x
    clc
    rts
.endproc
.export obj_spawn

;; Screen y of every living mage, for the objects' touches.
.proc mage_screen_y
    ldx #NUM_PLAYERS - 1
each:
    lda #$FF
    sta pl_sy,x
    lda pl_state,x
    cmp #PS_ALIVE
    bne next
    lda pl_y,x
    sec
    sbc cam_y
    tay
    lda pl_yh,x
    sbc cam_y+1
    bne next
    cpy #240
    bcs next
    tya
    sta pl_sy,x
next:
    dex
    bpl each
    rts
.endproc

;; One frame of every object.
.proc objects_update
    jsr mage_screen_y
    ldx #NUM_OBJ - 1
each:
    lda obj_kind,x
    beq next
    ; screen y; below the view means gone
    lda obj_y,x
    sec
    sbc cam_y
    tay
    lda obj_yh,x
    sbc cam_y+1
    bmi above
    bne gone
    cpy #240
    bcs gone
    tya
    bcc :+
above:
    cmp #$FF                ; just above the view: keep it, but it is off the screen
    bne next_kind_only
    lda #$F0
:   sta obj_sy,x
    lda obj_hurt,x
    beq :+
    dec obj_hurt,x
:   lda obj_kind,x
    asl a
    tay
    lda kind_update+1,y
    pha
    lda kind_update,y
    pha
    rts                     ; into the kind's routine, which returns to next
gone:
    lda obj_kind,x          ; the ember must not get lost
    cmp #KIND_EMBER
    beq next
    lda #KIND_NONE
    sta obj_kind,x
    beq next
next_kind_only:
    lda #$F0
    sta obj_sy,x
next:
    dex
    bpl each
    rts
.endproc

;; the kind routines return here through RTS (their address minus one is in kind_update)
.proc object_done
    dex
    bmi :+
    jmp objects_update::each
:   rts
.endproc

;; ---------------------------------------------------------------------------
;; touching the mages

;; Carry set when living mage Y overlaps object X's box (the kind's box from obj_x,
;; obj_sy). Keeps X, Y.
.proc touches
    lo := t5                ; left (or top) edge of the object's box
    lda pl_sy,y
    cmp #$FF
    beq no
    lda obj_sy,x
    cmp #$F0
    bcs no
    stx t6
    lda obj_kind,x
    sta t4
    ; across: the mage's x+3 .. x+12 against the box
    lda obj_x,x
    ldx t4
    clc
    adc box_x,x
    sta lo
    lda pl_x,y
    clc
    adc #3
    sec
    sbc lo
    bcs right_of
    eor #$FF                ; the mage is left of the box: within its 10 pixels?
    adc #1
    cmp #10
    bcs no_x
    bcc down
right_of:
    cmp box_w,x
    bcs no_x
down:
    ; down: the mage's y+2 .. y+15 against the box
    ldx t6
    lda obj_sy,x
    ldx t4
    clc
    adc box_y,x
    sta lo
    lda pl_sy,y
    clc
    adc #2
    sec
    sbc lo
    bcs below
    eor #$FF
    adc #1
    cmp #14
    bcs no_x
    bcc yes
below:
    cmp box_h,x
    bcs no_x
yes:
    ldx t6
    sec
    rts
no_x:
    ldx t6
no:
    clc
    rts
.endproc

;; An enemy's touch: a mage falling onto it bounces off and hurts it; any other touch hurts
;; the mage.
.proc enemy_touch
    ldy #NUM_PLAYERS - 1
each:
    jsr touches
    bcc next
    lda pl_vy,y             ; falling, with its feet in the enemy's upper half
    bmi hurt
    ora pl_vyf,y
    beq hurt
    lda pl_sy,y
    clc
    adc #8
    cmp obj_sy,x
    bcs hurt
    lda #<(-$0380)
    sta pl_vyf,y
    lda #>(-$0380)
    sta pl_vy,y
    play_sfx SFX_HERO_BOUNCE
    lda obj_hurt,x          ; still flashing from the last hit
    bne next
    sty t7
    lda #1
    jsr obj_damage
    ldy t7
    lda obj_kind,x
    cmp #KIND_PUFF
    beq done
    bne next
hurt:
    jsr hurt_mage
    sty t6
    ldy obj_kind,x          ; a bubble or a spear is spent on the mage it hits
    lda kind_flags,y
    ldy t6
    and #KF_FRAGILE
    bne pop
next:
    dey
    bpl each
done:
    rts
pop:
    lda #KIND_PUFF
    sta obj_kind,x
    lda #0
    sta obj_timer,x
    rts
.endproc

;; Any touch of object X hurts: every living mage touching it loses a heart.
.proc touch_hurts
    ldy #NUM_PLAYERS - 1
:   jsr touches
    bcc :+
    jsr hurt_mage
:   dey
    bpl :--
    rts
.endproc

;; mage Y loses a heart (keeps X, Y)
.proc hurt_mage
    stx t7
    sty t6
    ldx t6
    jsr mage_hurt
    ldy t6
    ldx t7
    rts
.endproc

;; Object X takes A points of damage: it flashes, or it goes up in smoke.
.proc obj_damage
    sta t5
    ldy obj_kind,x          ; fire goes out at a spell's touch
    lda kind_flags,y
    and #KF_FIRE
    bne douse
    lda obj_hp,x
    sec
    sbc t5
    bcc dead
    beq dead
    sta obj_hp,x
    lda #16
    sta obj_hurt,x
    lda kind_flags,y
    and #KF_BOSS
    bne boss
    play_sfx SFX_DAMAGE_ENEMY
    rts
boss:
    lda obj_hp,x
    sta boss_hp
    play_sfx SFX_BOSS_DAMAGE
    rts
douse:
    lda #KIND_PUFF
    sta obj_kind,x
    lda #0
    sta obj_timer,x
    play_sfx SFX_EXTINGUISH
    rts
dead:
    lda kind_flags,y
    and #KF_BOSS
    beq :+
    cpy #KIND_HOLLOW        ; the last boss: its music fades with it
    bne last_done
    jsr music_fade
last_done:
    lda #0
    sta boss_hp
    lda obj_x,x             ; the boss lets the ember go
    clc
    adc #8
    sta t0
    lda obj_y,x
    sta t1
    lda obj_yh,x
    sta t2
    stx t7
    lda #KIND_EMBER
    jsr obj_spawn
    play_sfx SFX_BOSS_DAMAGE
:   lda #KIND_PUFF
    sta obj_kind,x
    lda #0
    sta obj_timer,x
    play_sfx SFX_DESTROY_ENEMY
    rts
.endproc

;; ---------------------------------------------------------------------------
;; the kinds

;; Ducks fly to and fro; one that sees a mage below swoops straight down to its height
;; (where a spell flies), skims along at it, and flies back up.
.proc duck_update
    jsr enemy_touch
    lda obj_kind,x
    cmp #KIND_DUCK
    bne done
    lda obj_state,x
    beq patrol
    cmp #1
    beq swoop
    cmp #3
    beq glide
    ; 2: back up to where it flies
    lda obj_y,x
    bne :+
    dec obj_yh,x
:   dec obj_y,x
    lda obj_y,x
    cmp obj_ay,x
    lda obj_yh,x
    sbc obj_ayh,x
    bcs fly
    lda obj_ay,x
    sta obj_y,x
    lda obj_ayh,x
    sta obj_yh,x
    lda #0
    sta obj_state,x
    lda #DUCK_REST          ; flies on a while before the next swoop
    sta obj_timer,x
    bne fly
swoop:
    lda obj_y,x
    clc
    adc #2
    sta obj_y,x
    bcc :+
    inc obj_yh,x
:   dec obj_timer,x
    bne fly
    lda #3
    sta obj_state,x
    lda #DUCK_GLIDE
    sta obj_timer,x
    bne fly
glide:
    dec obj_timer,x
    bne fly
    lda #2
    sta obj_state,x
fly:
    jsr walk_x
done:
    jmp object_done
patrol:
    lda obj_timer,x
    beq look
    dec obj_timer,x
    bne fly
look:
    ldy #NUM_PLAYERS - 1
:   lda pl_sy,y
    cmp #$FF
    beq :+
    sec
    sbc obj_sy,x            ; a mage 16 to 112 pixels below...
    cmp #16
    bcc :+
    cmp #112
    bcs :+
    lda pl_x,y              ; ...and within 40 pixels across
    sec
    sbc obj_x,x
    clc
    adc #40
    cmp #80
    bcc dive
:   dey
    bpl :--
    jmp fly
dive:
    lda pl_x,y              ; towards it
    cmp obj_x,x
    lda #0
    bcs :+
    lda #$40
:   sta obj_dir,x
    lda #1
    sta obj_state,x
    lda pl_sy,y             ; two pixels a frame down to the mage's height
    sec
    sbc obj_sy,x
    lsr a
    sta obj_timer,x
    play_sfx SFX_DUCK_FLAP
    jmp fly
.endproc

;; moves object X a pixel the way it faces (none while it swoops straight down, state 1;
;; two while it skims along, state 3), turning at the walls
.proc walk_x
    ldy #1
    lda obj_state,x
    cmp #1
    bne :+
    rts
:   cmp #3
    bne :+
    iny
:   lda obj_dir,x
    bne left
    tya
    clc
    adc obj_x,x
    cmp #224
    bcc :+
    lda #$40
    sta obj_dir,x
    lda #224
:   sta obj_x,x
    rts
left:
    sty t5
    lda obj_x,x
    sec
    sbc t5
    cmp #16
    bcs :+
    lda #0
    sta obj_dir,x
    lda #16
:   sta obj_x,x
    rts
.endproc

;; Spiders hang from the ceiling; when a mage passes below they drop on their thread to
;; its height (where a spell flies), wait, and climb back up.
.proc spider_update
    jsr enemy_touch
    lda obj_kind,x
    cmp #KIND_SPIDER
    bne done
    lda obj_state,x
    beq wait_above
    cmp #1
    beq drop
    cmp #2
    beq hang
    ; 3: climbing back, two pixels a frame
    jsr offset
    cmp #10
    bcc home
    lda obj_y,x
    sec
    sbc #2
    sta obj_y,x
    bcs done
    dec obj_yh,x
done:
    jmp object_done
home:
    lda #0
    sta obj_state,x
    lda #60
    sta obj_timer,x
    bne done
drop:
    inc obj_y,x
    bne :+
    inc obj_yh,x
:   jsr offset
    cmp obj_timer,x         ; as far down as the mage was
    bcc done
    lda #2
    sta obj_state,x
    lda #SPIDER_HANG
    sta obj_timer,x
    bne done
hang:
    dec obj_timer,x
    bne done
    lda #3
    sta obj_state,x
    bne done
wait_above:
    jsr offset              ; hangs a little below the ceiling
    cmp #8
    bcs :+
    inc obj_y,x
    bne :+
    inc obj_yh,x
:   lda obj_timer,x
    beq look
    dec obj_timer,x
    bne done
look:
    ldy #NUM_PLAYERS - 1
:   lda pl_sy,y
    cmp #$FF
    beq :+
    sec
    sbc obj_sy,x
    cmp #8
    bcc :+
    cmp #120
    bcs :+
    lda pl_x,y
    sec
    sbc obj_x,x
    clc
    adc #28
    cmp #56
    bcc go
:   dey
    bpl :--
    jmp object_done
go:
    lda pl_sy,y             ; the drop: down to the mage's height, SPIDER_DROP at most
    sec
    sbc obj_sy,x
    sta t4
    jsr offset
    clc
    adc t4
    cmp #SPIDER_DROP
    bcc :+
    lda #SPIDER_DROP
:   sta obj_timer,x
    lda #1
    sta obj_state,x
    jmp object_done

;; A := how far below its anchor spider X hangs (0-255)
offset:
    lda obj_y,x
    sec
    sbc obj_ay,x
    rts
.endproc

BOSS_TROLL   = 0            ; the bosses' rows in the boss tables
BOSS_INKGOAT = 1
BOSS_THORN   = 2
BOSS_HOLLOW  = 3
BLOW_GAP     = 24           ; frames between a boss's shots
INHALE_TIME  = 90           ; frames the Hollow Wisp breathes in

;; The bosses walk towards the mages, wind up, dash across the hall until they hit a wall,
;; and stand dazed for a moment; hurt, they walk less between dashes. The Ink Goat blows a
;; volley of bubbles before each wind-up. (states: 0 walk, 1 wind up, 2 dash, 3 dazed,
;; 4 blow)
.proc boss_update
    lda obj_kind,x
    pha
    jsr enemy_touch
    pla
    cmp obj_kind,x
    beq :+
    jmp object_done
:   jsr boss_row
    sty t4
    lda obj_state,x
    beq walk
    cmp #1
    beq windup
    cmp #2
    beq dash
    cmp #4
    bne dazed_wait
    jmp blow
dazed_wait:
    ; 3: dazed
    dec obj_timer,x
    bne done
    lda #0
    sta obj_state,x
    sta obj_timer,x
done:
    jmp object_done
dash:
    lda obj_dir,x
    bne dash_left
    lda obj_x,x
    clc
    adc #4
    cmp #208
    bcc :+
    lda #208
    sta obj_x,x
    bne dazed
:   sta obj_x,x
    jmp object_done
dash_left:
    lda obj_x,x
    sec
    sbc #4
    cmp #16
    bcs :+
    lda #16
    sta obj_x,x
    bne dazed
:   sta obj_x,x
    jmp object_done
dazed:
    lda #3
    sta obj_state,x
    lda #50
    sta obj_timer,x
    play_sfx SFX_HERO_HEAD  ; the thud against the wall
    jmp object_done
windup:
    dec obj_timer,x
    bne done
    lda #2
    sta obj_state,x
    play_sfx SFX_BOSS_DASH
    jmp object_done
walk:
    inc obj_timer,x
    ldy t4
    lda obj_hp,x            ; hurt: shorter walks between dashes
    cmp boss_half,y
    lda #110
    bcs :+
    lda #60
:   cmp obj_timer,x
    bcs step
    lda boss_blow_time,y    ; a volley of shots first (or a breath in)
    beq wind
    sta obj_timer,x
    lda #4
    sta obj_state,x
    lda boss_shot,y
    bne :+
    play_sfx SFX_BOSS_INHALE
:   jmp object_done
wind:
    lda #1
    sta obj_state,x
    lda #50
    sta obj_timer,x
    play_sfx SFX_BOSS_DASH_CHARGE
    jmp object_done
step:
    ; towards the nearest living mage, every other frame
    lda frame_count
    lsr a
    bcc face
    lda obj_dir,x
    bne :+
    lda obj_x,x
    cmp #208
    bcs face
    inc obj_x,x
    bne face
:   lda obj_x,x
    cmp #17
    bcc face
    dec obj_x,x
face:
    jsr face_mage
    jmp object_done
blow:
    ; a shot from the mouth every BLOW_GAP frames (or a breath in), then the wind-up
    dec obj_timer,x
    beq wind
    ldy t4
    lda boss_shot,y
    bne :+
    jsr inhale
    jmp object_done
:   lda obj_timer,x
    cmp #BLOW_GAP / 2
    bcc :+
    jsr face_mage
:   lda obj_timer,x
    ldy #BLOW_GAP
    jsr divides
    bne :+
    ldy t4
    lda boss_shot_y,y
    sta t1
    lda boss_shot,y
    jsr shoot
:   jmp object_done
.endproc

;; Boss X breathes in: every living mage on the screen is pulled a pixel towards its
;; middle (a mage walking away holds its ground; one standing still drifts in).
.proc inhale
    ldy #NUM_PLAYERS - 1
each:
    lda pl_sy,y
    cmp #$FF
    beq next
    lda obj_x,x             ; the mage's x when it stands in the middle
    clc
    adc #8
    cmp pl_x,y
    beq next
    lda pl_x,y
    bcs right
    sbc #0                  ; (carry clear: one less)
    jmp set
right:
    adc #0                  ; (carry set: one more)
set:
    sta pl_x,y
next:
    dey
    bpl each
    rts
.endproc

;; Y := boss X's row in the boss tables
.proc boss_row
    ldy #BOSS_HOLLOW
    lda obj_kind,x
:   cmp boss_kind,y
    beq :+
    dey
    bne :-
:   rts
.endproc

;; Z set when A is a multiple of Y (A below 256; keeps X)
.proc divides
    sty t5
:   cmp t5
    bcc :+
    sbc t5
    bne :-
:   cmp #0
    rts
.endproc

;; Object X turns towards a living mage on the screen. Carry clear: there is one, and Y is
;; that mage; carry set: none.
.proc face_mage
    ldy #NUM_PLAYERS - 1
:   lda pl_sy,y
    cmp #$FF
    bne :+
    dey
    bpl :-
    sec
    rts
:   ; fall into face_mage_y
.endproc

;; Object X turns towards mage Y. Carry clear.
.proc face_mage_y
    lda pl_x,y
    sec
    sbc #8
    cmp obj_x,x
    lda #0
    bcs :+
    lda #$40
:   sta obj_dir,x
    clc
    rts
.endproc

;; Object X lets fly an object of kind A (a bubble, a spear) from its front, t1 pixels
;; below its top, the way it faces, with the kind's sound. The shot's state is X's kind:
;; what it looks like may depend on who let it fly. Keeps X.
.proc shoot
    sta t3
    lda t1
    clc
    adc obj_y,x
    sta t1
    lda obj_yh,x
    adc #0
    sta t2
    ldy obj_kind,x
    lda kind_width,y        ; right: from its front edge; left: 16 pixels out
    sec
    sbc #8
    ldy obj_dir,x
    beq :+
    lda #<-12
:   clc
    adc obj_x,x
    sta t0
    lda t3
    jsr obj_spawn
    bcs done
    lda obj_dir,x
    sta obj_dir,y
    lda obj_kind,x
    sta obj_state,y
    ldy t3
    lda shot_sfx - KIND_BUBBLE,y
    jsr sfx_play
done:
    rts
.endproc
.export face_mage, face_mage_y, shoot, touch_hurts, enemy_touch, object_done, obj_spawn, draw_obj_ms, walk_x

;; The ember rises out of its chest, then flies to the exit door and opens it.
.proc ember_update
    lda obj_state,x
    bne fly
    lda obj_y,x
    bne :+
    dec obj_yh,x
:   dec obj_y,x
    inc obj_timer,x
    lda obj_timer,x
    cmp #24
    bcc done
    inc obj_state,x
done:
    jmp object_done
fly:
    ; target: the door's lower metatile
    lda door_row
    ldy door_col
    jsr cell_xy
    lda obj_x,x
    cmp t0
    beq x_there
    bcc :+
    dec obj_x,x
    dec obj_x,x
    jmp y_move
:   inc obj_x,x
    inc obj_x,x
    jmp y_move
x_there:
y_move:
    lda obj_y,x
    cmp t1
    bne :+
    lda obj_yh,x
    cmp t2
    beq y_there
:   lda obj_y,x
    cmp t1
    lda obj_yh,x
    sbc t2
    bcc down
    lda obj_y,x
    sec
    sbc #2
    sta obj_y,x
    bcs :+
    dec obj_yh,x
:   jmp check
down:
    lda obj_y,x
    clc
    adc #2
    sta obj_y,x
    bcc check
    inc obj_yh,x
    jmp check
y_there:
check:
    ; within two pixels: the door opens and the ember is spent
    lda obj_x,x
    sec
    sbc t0
    clc
    adc #2
    cmp #5
    bcs done
    lda obj_y,x
    sec
    sbc t1
    clc
    adc #2
    cmp #5
    bcs far
    lda #KIND_NONE
    sta obj_kind,x
    stx t7
    jsr open_door
    ldx t7
far:
    jmp object_done
.endproc

;; What came out of a chest rises a little, then waits to be picked up (and fades away
;; after a while).
.proc item_update
    inc obj_timer,x
    bne :+
    inc obj_state,x         ; laps of the timer
:   lda obj_state,x
    beq first_lap
    cmp #2
    bcc pick
    lda #KIND_NONE          ; gone after two laps
    sta obj_kind,x
    jmp object_done
first_lap:
    lda obj_timer,x
    cmp #24
    bcs pick
    lda obj_y,x             ; rising (emeralds spread out a little)
    bne :+
    dec obj_yh,x
:   dec obj_y,x
    lda obj_kind,x
    cmp #KIND_GEM
    bne :++
    lda obj_timer,x
    lsr a
    bcc :++
    txa
    and #1
    beq :+
    inc obj_x,x
    jmp object_done
:   dec obj_x,x
:   jmp object_done
pick:
    ldy #NUM_PLAYERS - 1
:   jsr touches
    bcs taken
    dey
    bpl :-
done:
    jmp object_done
taken:
    lda obj_kind,x
    stx t7
    cmp #KIND_GEM
    bne heart
    tya
    tax
    jsr gem_collect
    jmp spent
heart:
    cmp #KIND_HEART
    bne star
    lda pl_hearts,y
    cmp #MAX_HEARTS
    bcs :+
    clc
    adc #1
    sta pl_hearts,y
:   play_sfx SFX_CHECKPOINT
    jmp spent
star:
    lda #255
    sta star_timer
    play_sfx SFX_WSTAR
    jsr music_pause         ; the music rests while the jingle plays
    lda #90
    sta jingle
spent:
    ldx t7
    lda #KIND_NONE
    sta obj_kind,x
    jmp object_done
.endproc

;; Smoke: a few frames, then nothing.
.proc puff_update
    inc obj_timer,x
    lda obj_timer,x
    cmp #16
    bcc :+
    lda #KIND_NONE
    sta obj_kind,x
:   jmp object_done
.endproc

;; A brazier's flame does nothing but burn.
.proc flame_update
    jmp object_done
.endproc

;; ---------------------------------------------------------------------------
;; drawing

;; Draws every object on the screen, starting with a different one each frame. Each is
;; drawn where the view has it now: obj_sy was worked out before the view climbed and the
;; object moved, and is kept as it was for the touches.
.proc objects_draw
    inc draw_first
    lda draw_first
    cmp #NUM_OBJ
    bcc :+
    lda #0
    sta draw_first
:   tax
    lda #NUM_OBJ
    sta t7
each:
    lda obj_kind,x
    beq next
    lda obj_sy,x
    cmp #$F0
    bcs next
    pha                     ; obj_sy as the touches see it
    lda obj_y,x             ; a few pixels from obj_sy at most: the low byte tells
    sec
    sbc cam_y
    cmp #240
    bcs back                ; off the screen now
    sta obj_sy,x
    txa                     ; drawing uses every scratch byte but t7
    pha
    jsr draw_one
    pla
    tax
back:
    pla
    sta obj_sy,x
next:
    inx
    cpx #NUM_OBJ
    bcc :+
    ldx #0
:   dec t7
    bne each
    rts

draw_one:
    lda obj_kind,x
    asl a
    tay
    lda kind_draw+1,y
    pha
    lda kind_draw,y
    pha
    rts
.endproc

;; draws metasprite (A high, Y low) for object X at its place, palette in t3 (the facing
;; bit is added; after a hit it flashes into another palette)
.proc draw_obj_ms
    pha
    lda obj_hurt,x          ; flashing after a hit
    and #2
    beq :+
    lda t3
    eor #3
    sta t3
:   pla
    jmp draw_obj_steady
.endproc

;; the same without the flashing: the palette in t3 as it is
.proc draw_obj_steady
    sta ptr0+1
    sty ptr0
    lda obj_x,x
    sta t0
    lda obj_sy,x
    sta t1
    lda #0
    sta t2
    lda obj_dir,x
    and #$40
    ora t3
    sta t3
    jmp draw_metasprite
.endproc

.proc duck_draw
    lda #3
    sta t3
    lda frame_count
    and #8
    beq :+
    ldy #<ms_duck1
    lda #>ms_duck1
    jmp draw_obj_ms
:   ldy #<ms_duck2
    lda #>ms_duck2
    jmp draw_obj_ms
.endproc

.proc spider_draw
    txa                     ; the spider first: its thread never takes its place
    pha
    lda #0
    sta t3
    ldy #<ms_spider
    lda #>ms_spider
    jsr draw_obj_ms
    pla
    tax
    ; its thread, all the way up to where it hangs from: pieces 8 pixels apart from the
    ; spider up, the last flush with the top (over the one below it); a spider can hang 14
    ; pieces down
    lda obj_y,x
    sec
    sbc obj_ay,x
    cmp #8
    bcc none                ; still settling under its ceiling
    sta t4
    lda obj_ay,x            ; under a ledge it hangs from the plank, higher up its cell
    sbc #1                  ; carry set
    sta t0
    lda obj_ayh,x
    sbc #0
    sta t1
    lda obj_x,x
    clc
    adc #7
    jsr cmap_probe
    cmp #MTT_LEDGE
    bne :+
    lda t4
    clc
    adc #LEDGE_UNDER
    sta t4
:   lda obj_sy,x
    sec
    sbc t4
    bcc :+                  ; it hangs from above the screen
    cmp #8
    bcs :++
:   lda #8                  ; nothing goes behind the status display
:   sta t5                  ; the thread's top on the screen
    lda obj_x,x
    clc
    adc #4
    sta t0
    lda #0
    sta t3
    lda obj_sy,x
piece:
    cmp t5
    beq none                ; up to its top
    bcc none
    sbc #8                  ; carry set: the next piece up
    bcc last
    cmp t5
    bcs put
last:
    lda t5
put:
    sta t1
    lda #TILE_SPIDER_THREAD
    jsr draw_sprite
    lda t1
    jmp piece
none:
    rts
.endproc

;; a boss: its walk (two steps), wind-up (shaking), dash and blow pictures; badly hurt, it
;; shows it in another palette
;; A boss shows its own palette while it has more than half its strength and its hurt one
;; after; after a hit it flashes between the two.
.proc boss_draw
    jsr boss_row
    lda obj_hp,x
    cmp boss_half,y
    lda #0
    rol a                   ; 1: more than half left
    sta t3
    lda obj_hurt,x
    lsr a
    and #1
    eor t3
    lsr a
    lda boss_pal,y
    bcs :+
    lda boss_pal_hurt,y
:   sta t3
    tya
    asl a
    asl a
    asl a
    asl a
    sta t4                  ; the boss's row of pictures
    lda obj_state,x
    cmp #1
    beq windup
    cmp #4
    bne :+
    lda #8                  ; blowing
    bne pick
:   cmp #2
    bne :+
    lda #6                  ; dashing
    bne pick
:   lda obj_x,x             ; walking (and dazed)
    and #8
    lsr a
    lsr a
pick:
    ora t4
    tay
    lda boss_ms+1,y
    pha
    lda boss_ms,y
    tay
    pla
    jmp draw_obj_steady
windup:
    lda frame_count         ; shakes while winding up
    and #2
    beq :+
    inc obj_x,x
    txa                     ; drawing uses X
    pha
    jsr :+
    pla
    tax
    dec obj_x,x
    rts
:   ldy t4
    lda boss_ms+4+1,y
    pha
    lda boss_ms+4,y
    tay
    pla
    jmp draw_obj_steady
.endproc

.proc ember_draw
    lda #3
    sta t3
    lda #0
    sta obj_dir,x
    ldy #<ms_ember
    lda #>ms_ember
    jmp draw_obj_ms
.endproc

;; emeralds, hearts and stars: one sprite, blinking before they fade
.proc item_draw
    lda obj_state,x
    beq :+
    lda obj_timer,x
    cmp #160
    bcc :+
    and #4
    bne done
:   lda obj_x,x
    sta t0
    lda obj_sy,x
    sta t1
    ldy obj_kind,x
    lda item_pal - KIND_GEM,y
    sta t3
    lda item_tile - KIND_GEM,y
    jmp draw_sprite
done:
    rts
.endproc

.proc puff_draw
    lda #0
    sta t3
    lda obj_timer,x
    cmp #8
    bcs :+
    ldy #<ms_puff1
    lda #>ms_puff1
    jmp draw_obj_ms
:   ldy #<ms_puff2
    lda #>ms_puff2
    jmp draw_obj_ms
.endproc

.proc flame_draw
    lda #3
    sta t3
    lda #0
    sta obj_dir,x
    lda frame_count
    and #8
    beq :+
    ldy #<ms_flame1
    lda #>ms_flame1
    jmp draw_obj_ms
:   ldy #<ms_flame2
    lda #>ms_flame2
    jmp draw_obj_ms
.endproc

.proc no_draw
    rts
.endproc

;; ---------------------------------------------------------------------------
;; spells

;; Empties the spells.
.proc bolts_init
    ldx #NUM_BOLTS - 1
    lda #0
:   sta bolt_kind,x
    dex
    bpl :-
    rts
.endproc

;; Mage X casts a spell of kind A (1 bolt, 2 charged spell) the way it faces. Carry set:
;; it has two bolts out already, or there is no room. Keeps X.
.proc bolt_fire
    sta t4
    cmp #2
    beq find                ; a charged spell always goes
    ldy #NUM_BOLTS - 1      ; two bolts of one mage at a time
    lda #0
    sta t5
:   lda bolt_kind,y
    beq :+
    txa
    cmp bolt_owner,y
    bne :+
    inc t5
:   dey
    bpl :--
    lda t5
    cmp #2
    bcs full
find:
    ldy #NUM_BOLTS - 1
:   lda bolt_kind,y
    beq free
    dey
    bpl :-
full:
    sec
    rts
free:
    lda t4
    sta bolt_kind,y
    txa
    sta bolt_owner,y
    lda pl_y,x
    clc
    adc #4
    sta bolt_y,y
    lda pl_yh,x
    adc #0
    sta bolt_yh,y
    lda #40
    sta bolt_life,y
    lda pl_flags,x
    and #$40
    bne left
    lda #4
    sta bolt_vx,y
    lda pl_x,x
    clc
    adc #10
    jmp place
left:
    lda #<-4
    sta bolt_vx,y
    lda pl_x,x
    sec
    sbc #2
place:
    sta bolt_x,y
    lda t4
    cmp #2
    bne :+
    lda bolt_x,y            ; the charged spell is 16 x 16, a little higher
    sec
    sbc #4
    sta bolt_x,y
    lda bolt_y,y
    sec
    sbc #4
    sta bolt_y,y
    bcs :+
    lda bolt_yh,y
    sbc #0
    sta bolt_yh,y
:   clc
    rts
.endproc
.export bolt_fire

;; Moves the spells: blocks break or crack, enemies are hit. A bolt ends at what it hits;
;; the charged spell goes through enemies and stone and burns webs away.
.proc bolts_update
    lda #$FF                ; the targets are gathered when a spell first needs them
    sta shoot_n
    ldx #NUM_BOLTS - 1
each:
    lda bolt_kind,x
    bne :+
    jmp next
:   dec bolt_life,x
    beq kill
    lda bolt_x,x
    clc
    adc bolt_vx,x
    sta bolt_x,x
    ; off the sides (it wrapped round, or reached the walls' outer edge)
    cmp #4
    bcc kill
    cmp #244
    bcs kill
    ; the metatile under its middle
    ldy #4
    lda bolt_kind,x
    cmp #2
    bne :+
    ldy #8
:   sty t6
    tya
    clc
    adc bolt_y,x
    sta t0
    lda bolt_yh,x
    adc #0
    sta t1
    lda bolt_x,x
    clc
    adc t6
    jsr cmap_probe
    cmp #MTT_SOLID
    beq kill
    cmp #MTT_CRUMBLE
    beq kill
    cmp #MTT_CRACKED
    beq breaks
    cmp #MTT_HARD
    beq hard
    cmp #MTT_WEB
    bne enemies
    lda bolt_kind,x         ; a bolt goes through a web; the charged spell burns it away
    cmp #2
    beq burn
    jmp enemies
kill:
    lda #0
    sta bolt_kind,x
    jmp next
breaks:
    jsr clear_block
    play_sfx SFX_DESTROY_BLOCK
    jmp ends_here
hard:
    lda bolt_kind,x
    cmp #2
    beq breaks
    stx t6
    lda t3
    ldy t2
    ldx #MT_CRACKED
    jsr set_metatile
    ldx t6
    play_sfx SFX_DAMAGE_BLOCK
    jmp kill
burn:
    jsr clear_block
    play_sfx SFX_DESTROY_BLOCK
ends_here:
    lda bolt_kind,x
    cmp #2
    bne kill
enemies:
    ; the spell's box against the enemies on the screen, every other frame (it moves 4
    ; pixels a frame: nothing is thin enough to slip through)
    txa
    eor frame_count
    lsr a
    bcs next
    lda bolt_y,x
    sec
    sbc cam_y
    sta t4                  ; screen y
    lda bolt_yh,x
    sbc cam_y+1
    bne kill                ; out of the view
    lda shoot_n
    bpl :+
    jsr gather_targets
:   sta shoot_i
obj:
    dec shoot_i
    bmi next
    ldy shoot_i
    lda shoot_list,y
    tay
    lda obj_hurt,y          ; flashing from a hit: no further hits meanwhile
    bne obj
    stx t6
    sty t7
    jsr bolt_hits
    ldx t6
    ldy t7
    bcc obj
    ; hit: one point for a bolt, two for the charged spell; the targets are gathered
    ; again for the next spell (this one may have destroyed or doused it)
    lda #$FF
    sta shoot_n
    tya
    tax
    ldy t6
    lda bolt_kind,y
    jsr obj_damage
    ldx t6
    lda bolt_kind,x
    cmp #2
    beq next                ; the charged spell goes on
    jmp kill
next:
    dex
    bmi :+
    jmp each
:   rts

;; this frame's spell targets into shoot_list: the objects on the screen whose kind a
;; spell hits; returns their number in A (and shoot_n). Keeps X.
gather_targets:
    stx t6
    lda #0
    sta shoot_n
    ldx #0                  ; listed from the first, looked at from the last
:   ldy obj_kind,x
    beq :+                  ; an empty slot
    lda kind_flags,y
    and #KF_SHOOT
    beq :+
    lda obj_sy,x
    cmp #$F0
    bcs :+
    txa
    ldy shoot_n
    sta shoot_list,y
    inc shoot_n
:   inx
    cpx #NUM_OBJ
    bcc :--
    ldx t6
    lda shoot_n
    rts

;; the wall behind a block that broke or a web that burnt (t3 row, t2 column)
clear_block:
    stx t6
    lda t3
    ldy t2
    ldx #MT_WALL
    jsr set_metatile
    ldx t6
    rts
.endproc

;; Carry set when spell X (screen y t4) overlaps object Y (t6 = X, t7 = Y on entry), both
;; placed in the view as it is now.
.proc bolt_hits
    size := t5
    lo   := t3
    lda bolt_kind,x
    cmp #2
    lda #8
    bcc :+
    lda #16
:   sta size
    lda obj_kind,y
    tax
    ; across
    ldy t7
    lda obj_x,y
    clc
    adc box_x,x
    sta lo
    ldy t6
    lda bolt_x,y
    sec
    sbc lo
    bcs right_of
    eor #$FF
    adc #1
    cmp size
    bcs no
    bcc down
right_of:
    cmp box_w,x
    bcs no
down:
    ldy t7
    lda obj_y,y             ; where the object is in this view, as the spell is: obj_sy
    sec                     ; is from before the view last climbed
    sbc cam_y
    clc
    adc box_y,x
    sta lo
    lda t4
    sec
    sbc lo
    bcs below
    eor #$FF
    adc #1
    cmp size
    bcs no
    bcc yes
below:
    cmp box_h,x
    bcs no
yes:
    sec
    rts
no:
    clc
    rts
.endproc

;; Draws the spells in their caster's colours.
.proc bolts_draw
    ldx #NUM_BOLTS - 1
each:
    lda bolt_kind,x
    beq next
    lda bolt_y,x
    sec
    sbc cam_y
    sta t1
    lda bolt_yh,x
    sbc cam_y+1
    bne next
    lda t1
    cmp #232
    bcs next
    lda bolt_x,x
    sta t0
    lda bolt_vx,x           ; the caster's colours, the head the way it flies
    and #$40
    ora bolt_owner,x
    sta t3
    txa
    pha
    lda bolt_kind,x
    cmp #2
    beq orb
    lda frame_count
    and #4
    beq :+
    lda #TILE_BOLT1
    bne :++
:   lda #TILE_BOLT2
:   jsr draw_sprite
    jmp restore
orb:
    lda #0
    sta t2
    lda #<ms_orb
    sta ptr0
    lda #>ms_orb
    sta ptr0+1
    jsr draw_metasprite
restore:
    pla
    tax
next:
    dex
    bpl each
    rts
.endproc
.export objects_init, objects_spawn, objects_update, objects_draw
.export bolts_init, bolts_update, bolts_draw

.segment "RODATA"
;; per kind (KIND_*): the routines (address minus one, for RTS), health, what it is
;; (KF_*), its width in pixels, and the box that touches (x, y offsets from the top-left,
;; width, height; a negative y reaches above the object's cell)
KF_SHOOT   = $01            ; spells hit it
KF_FRAGILE = $02            ; spent on the mage it hurts
KF_BOSS    = $04            ; the floor's boss: stands on the floor, holds the ember
KF_FIRE    = $08            ; a spell puts it out
kind_update:
    .word object_done - 1, duck_update - 1, spider_update - 1, boss_update - 1
    .word ember_update - 1, item_update - 1, item_update - 1, item_update - 1
    .word puff_update - 1, flame_update - 1
    .word thrower_update - 1, bubble_update - 1, thrower_update - 1, spear_update - 1
    .word burner_update - 1, burner_update - 1, burner_update - 1, boss_update - 1
    .word thrower_update - 1, boss_update - 1, wisp_update - 1, boss_update - 1
kind_draw:
    .word no_draw - 1, duck_draw - 1, spider_draw - 1, boss_draw - 1
    .word ember_draw - 1, item_draw - 1, item_draw - 1, item_draw - 1
    .word puff_draw - 1, flame_draw - 1
    .word goat_draw - 1, bubble_draw - 1, spearman_draw - 1, spear_draw - 1
    .word burner_draw - 1, burner_draw - 1, burner_draw - 1, boss_draw - 1
    .word snake_draw - 1, boss_draw - 1, wisp_draw - 1, boss_draw - 1
;          none duck     spider     troll    ember gem heart star puff flame
;          goat bubble spearman spear jet torch spark inkgoat
;          snake thorn wisp hollow
kind_hp:   .byte 0, DUCK_HP, SPIDER_HP, TROLL_HP, 0, 0, 0, 0, 0, 0
           .byte GOAT_HP, 1, SPEARMAN_HP, 1, 1, 1, 1, INKGOAT_HP
           .byte SNAKE_HP, THORN_HP, WISP_HP, HOLLOW_HP
kind_flags: .byte 0, KF_SHOOT, KF_SHOOT, KF_SHOOT | KF_BOSS, 0, 0, 0, 0, 0, 0
           .byte KF_SHOOT, KF_SHOOT | KF_FRAGILE, KF_SHOOT, KF_FRAGILE
           .byte KF_SHOOT | KF_FIRE, KF_SHOOT | KF_FIRE, 0, KF_SHOOT | KF_BOSS
           .byte KF_SHOOT, KF_SHOOT | KF_BOSS, KF_SHOOT, KF_SHOOT | KF_BOSS
kind_width: .byte 16, 16, 16, 32, 16, 8, 8, 8, 16, 16
           .byte 16, 16, 16, 16, 16, 16, 16, 32
           .byte 16, 32, 16, 32
box_x:     .byte 0, 2, 2, 4, 0, 0, 0, 0, 0, 0
           .byte 2, 2, 3, 0, 3, 4, 3, 4
           .byte 2, 4, 3, 4
box_y:     .byte 0, 4, 2, 4, 0, 0, 0, 0, 0, 0
           .byte 2, 2, 2, 3, <-16, <-6, 3, 4
           .byte 6, 2, 2, 4
box_w:     .byte 1, 12, 12, 24, 16, 8, 8, 8, 1, 1
           .byte 12, 12, 10, 16, 10, 8, 10, 24
           .byte 12, 24, 10, 24
box_h:     .byte 1, 10, 12, 28, 16, 8, 8, 8, 1, 1
           .byte 12, 12, 13, 2, 32, 14, 10, 26
           .byte 9, 28, 11, 26
.assert box_h - box_w = KIND_COUNT, error, "a kind is missing from the kind tables"

;; the bosses (BOSS_*): health below which they hurry, their palettes, how long the volley
;; of shots before a wind-up lasts, what they shoot and from how far below their top, and
;; their pictures: walk, walk, wind-up, dash, blow
;; (a boss that shoots nothing breathes in instead, pulling the mages towards it)
;;               troll                   Ink Goat                Thorn Serpent       Hollow Wisp
boss_kind:      .byte KIND_TROLL,        KIND_INKGOAT,           KIND_THORN,         KIND_HOLLOW
boss_half:      .byte TROLL_HP / 2 + 1,  INKGOAT_HP / 2 + 1,     THORN_HP / 2 + 1,   HOLLOW_HP / 2 + 1
boss_pal:       .byte 0,                 1,                      2,                  1
boss_pal_hurt:  .byte 3,                 0,                      3,                  0
boss_blow_time: .byte 0,                 3 * BLOW_GAP + 1,       2 * BLOW_GAP + 1,   INHALE_TIME
boss_shot:      .byte 0,                 KIND_BUBBLE,            KIND_SPEAR,         0
boss_shot_y:    .byte 0,                 8,                      22,                 0
boss_ms:
    .addr ms_troll_walk1, ms_troll_walk2, ms_troll_windup, ms_troll_dash, ms_troll_walk1
    .addr 0, 0, 0
    .addr ms_inkgoat, ms_inkgoat, ms_inkgoat_charge, ms_inkgoat_charge, ms_inkgoat
    .addr 0, 0, 0
    .addr ms_thorn, ms_thorn, ms_thorn_charge, ms_thorn_charge, ms_thorn_charge
    .addr 0, 0, 0
    .addr ms_hollow, ms_hollow, ms_hollow, ms_hollow, ms_hollow_inhale
    .addr 0, 0, 0

;; the sound of what a kind lets fly (bubble, -, spear)
shot_sfx: .byte SFX_GOAT_BUBBLE, 0, SFX_TROLL_SPEAR

;; the floor map's object kinds (ENT_*) as object kinds; 0: not an object
ent_kind: .byte 0, KIND_DUCK, KIND_SPIDER, KIND_TROLL
          .byte KIND_GOAT, KIND_SPEARMAN, KIND_JET, KIND_TORCH, KIND_SPARK, KIND_INKGOAT
          .byte KIND_SNAKE, KIND_THORN, KIND_WISP, KIND_HOLLOW
.assert ENT_START = 0 && ENT_DUCK = 1 && ENT_SPIDER = 2 && ENT_TROLL = 3, error, "ent_kind is out of step"
.assert ENT_GOAT = 4 && ENT_INKGOAT = 9, error, "ent_kind is out of step"
.assert ENT_SNAKE = 10 && ENT_THORN = 11, error, "ent_kind is out of step"
.assert ENT_WISP = 12 && ENT_HOLLOW = 13, error, "ent_kind is out of step"

item_pal:  .byte 2, 0, 3    ; emerald, heart, star
item_tile: .byte TILE_GEM, TILE_HEART, TILE_WISHSTAR
