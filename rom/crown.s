; The Crown's own rules, on the shared object code of objects.s: loose stone that falls a
; moment after a mage steps on it, and will-o'-wisps that scream and chase.

.include "ember.inc"

.import obj_kind, obj_x, obj_y, obj_yh, obj_state, obj_timer, obj_dir, obj_sy, pl_sy, pl_x
.import enemy_touch, object_done, draw_obj_ms, obj_spawn, set_metatile, cell_xy

CRUMBLE_SLOTS  = 6          ; loose stones that can be going at once
CRUMBLE_FRAMES = 40         ; frames from a mage's first step to the fall
CRUMBLE_SHAKE  = 20         ; the last frames it shows that it is going
WISP_SIGHT     = 56         ; a mage this close across and up or down wakes a wisp, pixels

.segment "BSS"
crumble_row:   .res CRUMBLE_SLOTS   ; floor row and column of each going stone
crumble_col:   .res CRUMBLE_SLOTS
crumble_timer: .res CRUMBLE_SLOTS   ; frames left before it falls (0: a free slot)

.segment "CODE2"

;; No stone is going (a floor starts).
.proc crumble_init
    ldy #CRUMBLE_SLOTS - 1
    lda #0
:   sta crumble_timer,y
    dey
    bpl :-
    rts
.endproc

;; A mage stands on the loose stone at row t3, column t2 (from cmap_probe): it starts to go,
;; unless it is going already (or every slot is taken: then it holds). A := MTT_SOLID, so
;; that the stone holds the mage meanwhile. Keeps X and t0-t2.
.proc crumble_touch
    ldy #CRUMBLE_SLOTS - 1
:   lda crumble_timer,y
    beq next
    lda crumble_row,y
    cmp t3
    bne next
    lda crumble_col,y
    cmp t2
    beq going
next:
    dey
    bpl :-
    ldy #CRUMBLE_SLOTS - 1
:   lda crumble_timer,y
    beq free
    dey
    bpl :-
    bmi going
free:
    lda t3
    sta crumble_row,y
    lda t2
    sta crumble_col,y
    lda #CRUMBLE_FRAMES
    sta crumble_timer,y
going:
    lda #MTT_SOLID
    rts
.endproc

;; One frame of the going stones: they shake loose, then fall away in a puff of dust.
.proc crumble_update
    ldx #CRUMBLE_SLOTS - 1
each:
    lda crumble_timer,x
    beq next
    dec crumble_timer,x
    beq fall
    lda crumble_timer,x
    cmp #CRUMBLE_SHAKE
    bne next
    ldy #MT_CRUMBLING
    bne set
fall:
    lda crumble_row,x
    ldy crumble_col,x
    jsr cell_xy
    lda #KIND_PUFF
    jsr obj_spawn
    play_sfx SFX_DESTROY_BLOCK
    ldy #MT_WALL            ; the wall behind
set:
    stx t6
    sty t7                  ; the metatile
    lda crumble_col,x
    tay
    lda crumble_row,x
    ldx t7
    jsr set_metatile
    ldx t6
next:
    dex
    bpl each
    rts
.endproc
.export crumble_init, crumble_touch, crumble_update

;; A will-o'-wisp hangs where it is until a living mage comes within WISP_SIGHT; then it
;; screams and chases that mage (through stone) until it is put out or the mage leaves the
;; screen: across every other frame, up and down every fourth. (state: 0 hanging,
;; 1 chasing; timer: the mage it chases)
.proc wisp_update
    jsr enemy_touch
    lda obj_kind,x
    cmp #KIND_WISP
    bne done
    lda obj_state,x
    bne chase
    ldy #NUM_PLAYERS - 1
look:
    lda pl_sy,y
    cmp #$FF
    beq no
    sec
    sbc obj_sy,x
    jsr near
    bcs no
    lda pl_x,y
    sec
    sbc obj_x,x
    jsr near
    bcs no
    tya
    sta obj_timer,x
    inc obj_state,x
    play_sfx SFX_WILLOWISP_SCREAM
    jmp object_done
no:
    dey
    bpl look
done:
    jmp object_done
chase:
    ldy obj_timer,x
    lda pl_sy,y
    cmp #$FF
    bne :+
    lda #0                  ; its mage is gone: it hangs where it is
    sta obj_state,x
    beq done
:   lda frame_count
    lsr a
    bcc across
    lda obj_sy,x            ; above the view, or above the mage: down
    cmp #$F0
    bcs down
    cmp pl_sy,y
    beq across
    bcc down
    lda obj_y,x
    bne :+
    dec obj_yh,x
:   dec obj_y,x
    jmp across
down:
    inc obj_y,x
    bne across
    inc obj_yh,x
across:
    lda frame_count
    lsr a
    bcc done
    lda pl_x,y
    cmp obj_x,x
    beq done
    lda #0
    bcs right
    dec obj_x,x
    lda #$40
    bne face
right:
    inc obj_x,x
face:
    sta obj_dir,x
    jmp object_done

;; carry clear when the difference A (signed) is within WISP_SIGHT either way
near:
    bpl :+
    eor #$FF
    adc #1
:   cmp #WISP_SIGHT
    rts
.endproc

;; a wisp flickers between its two shapes (faster once it chases)
.proc wisp_draw
    lda #1
    sta t3
    lda frame_count
    ldy obj_state,x
    beq :+
    asl a
:   and #16
    beq :+
    ldy #<ms_wisp2
    lda #>ms_wisp2
    jmp draw_obj_ms
:   ldy #<ms_wisp1
    lda #>ms_wisp1
    jmp draw_obj_ms
.endproc
.export wisp_update, wisp_draw
