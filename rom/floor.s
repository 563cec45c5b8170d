; Floors: the table of the tier's floors, loading a floor into the nametables and the
; collision map, streaming rows in at the top as the view climbs, and changing single
; metatiles (blocks that break, emeralds that go, chests that open) on screen.
;
; A floor is a shaft of 16 metatile columns and lvl_rows rows, row 0 at the top. Floor row
; r is drawn in nametable row r mod 30: rows 0-14 of that ring are the nametable at $2000,
; rows 15-29 the one at $2800, which horizontal mirroring stacks one above the other.

.include "ember.inc"

.import cmap, cmap_row_ptr, portals_find
.importzp cmap_top, cam_y

.segment "ZEROPAGE"
lvl_map:    .res 2          ; the floor's metatiles, 16 bytes a row from the top
lvl_rows:   .res 1          ; its height in rows
load_top:   .res 1          ; the highest floor row loaded so far
floor_num:  .res 1          ; floor in the tier, 0-3 (3: the boss floor)
floor_id:   .res 1          ; floor in the spire: tier * 4 + floor_num
attr_up:    .res 2          ; the metatiles of an attribute pair's upper row
attr_lo:    .res 2          ; and of its lower row
.exportzp lvl_map, lvl_rows, load_top, floor_num, floor_id

.segment "BSS"
;; metatiles whose picture still has to be written: row, column (row $FF: free)
PENDING = 8
PENDING_ROOM = 48           ; queue bytes in use above which pending metatiles wait
pend_row:   .res PENDING
pend_col:   .res PENDING
mt_row_buf: .res 16         ; the metatiles of the row being drawn
attr_buf:   .res 8          ; one attribute row being built
attr_pend:  .res 1          ; the floor row whose attribute row is queued next frame ($FF: none)
pend_cur_row: .res 1        ; the pending metatile being drawn
pend_cur_col: .res 1
pend_cur_mt:  .res 1
pend_budget:  .res 1
.export pend_row

.segment "CODE"

;; ptr0 := the first metatile of floor row A in the floor map (keeps A, X).
.proc map_row_ptr
    pha
    sta ptr0
    lda #0
    asl ptr0
    rol a
    asl ptr0
    rol a
    asl ptr0
    rol a
    asl ptr0
    rol a
    sta ptr0+1
    lda ptr0
    clc
    adc lvl_map
    sta ptr0
    lda ptr0+1
    adc lvl_map+1
    sta ptr0+1
    pla
    rts
.endproc
.export map_row_ptr

;; A := floor row A mod 30 (the nametable ring row).
.proc mod30
:   cmp #30
    bcc :+
    sbc #30
    bcs :-
:   rts
.endproc

;; For floor row A: t6/t7 = video address (high, low) of its first tile row, and
;; t5 = its row in its nametable (0-14). Keeps X.
.proc row_address
    jsr mod30
    ldy #$20
    cmp #15
    bcc :+
    sbc #15
    ldy #$28
:   sta t5
    sty t6
    lsr a                   ; m * 64: high byte m >> 2, low byte (m & 3) << 6
    lsr a
    clc
    adc t6
    sta t6
    lda t5
    and #3
    lsr a
    ror a
    ror a
    sta t7
    rts
.endproc

;; ptr1 := the 16 metatiles of floor row A as the game sees them now: the collision map
;; when the row is loaded, the floor map above the loaded rows, and a row of wall below the
;; floor. Keeps X, Y.
.proc row_source
    cmp lvl_rows
    bcs below
    cmp load_top
    bcs loaded
    jsr map_row_ptr
    lda ptr0
    sta ptr1
    lda ptr0+1
    sta ptr1+1
    rts
loaded:
    jmp cmap_row_ptr
below:
    lda #<wall_row
    sta ptr1
    lda #>wall_row
    sta ptr1+1
    rts
.endproc

;; Gets ready to build the attribute bytes that hold floor row A: attr_up and attr_lo point
;; at the metatiles of the pair's upper and lower rows, t5 is the upper row's place in its
;; nametable (14 has no partner below).
.proc attr_setup
    upper := t4
    sta upper
    jsr mod30
    cmp #15
    bcc :+
    sbc #15
:   sta t5                  ; the row in its nametable
    and #1
    beq :+
    dec upper               ; odd: the pair's upper row is one up
    dec t5
:   lda upper
    jsr row_source
    lda ptr1
    sta attr_up
    lda ptr1+1
    sta attr_up+1
    lda upper
    clc
    adc #1
    jsr row_source
    lda ptr1
    sta attr_lo
    lda ptr1+1
    sta attr_lo+1
    rts
.endproc

;; A := attribute byte Y (0-7) of the pair set up by attr_setup (bits 1-0 top left, 3-2 top
;; right, 5-4 bottom left, 7-6 bottom right). Keeps Y.
.proc attr_byte
    sty t2
    tya
    asl a
    tay
    lda (attr_up),y
    tax
    lda mt_pal,x
    sta t1
    iny
    lda (attr_up),y
    tax
    lda mt_pal,x
    asl a
    asl a
    ora t1
    sta t1
    lda t5
    cmp #14
    beq done
    lda (attr_lo),y
    tax
    lda mt_pal,x
    lsr a
    ror a
    ror a
    and #$C0
    ora t1
    sta t1
    dey
    lda (attr_lo),y
    tax
    lda mt_pal,x
    asl a
    asl a
    asl a
    asl a
    ora t1
    sta t1
done:
    ldy t2
    lda t1
    rts
.endproc

;; Builds in attr_buf the attribute row that holds floor row A.
.proc build_attr_row
    jsr attr_setup
    ldy #7
:   jsr attr_byte
    sta attr_buf,y
    dey
    bpl :-
    rts
.endproc

;; The metatile at floor row A, column Y as the game sees it now. Keeps X, Y.
.proc metatile_at
    jsr row_source
    lda (ptr1),y
    rts
.endproc

;; Video address (t6 high, t7 low) of the attribute row holding floor row A.
.proc attr_address
    jsr mod30
    ldy #$23
    cmp #15
    bcc :+
    sbc #15
    ldy #$2B
:   sta t5
    sty t6
    lsr a
    asl a
    asl a
    asl a
    ora #$C0
    sta t7
    rts
.endproc

;; Loads floor row A into the collision map and fills mt_row_buf with it.
.proc take_row
    pha
    cmp cmap_top            ; the map's window moves up with it
    bcs :+
    sta cmap_top
:   jsr map_row_ptr
    jsr cmap_set_row        ; also leaves ptr1 at the row's slot
    ldy #15
:   lda (ptr1),y
    sta mt_row_buf,y
    dey
    bpl :-
    pla
    cmp load_top
    bcs :+
    sta load_top
:   rts
.endproc

;; Writes floor row A straight into video memory (picture off).
.proc draw_row_now
    row := t0
    sta row
    jsr take_row
    lda row
    jsr row_address
    lda t6
    ldx t7
    jsr ppu_addr_ax
    ldx #0
:   ldy mt_row_buf,x
    lda mt_tl,y
    sta PPUDATA
    lda mt_tr,y
    sta PPUDATA
    inx
    cpx #16
    bne :-
    ldx #0
:   ldy mt_row_buf,x
    lda mt_bl,y
    sta PPUDATA
    lda mt_br,y
    sta PPUDATA
    inx
    cpx #16
    bne :-
    lda row
    jsr build_attr_row
    lda row
    jsr attr_address
    lda t6
    ldx t7
    jsr ppu_addr_ax
    ldx #0
:   lda attr_buf,x
    sta PPUDATA
    inx
    cpx #8
    bne :-
    rts
.endproc

;; Queues floor row A for the next vertical blank. Carry set: no room this frame (nothing
;; was changed).
.proc queue_row
    row := t0
    sta row
    lda vq_len
    cmp #VQ_SIZE - 64 - 4
    bcc :+
    rts                     ; carry is set
:   lda row
    jsr take_row
    lda row
    jsr row_address
    lda t6
    ldx t7
    ldy #64
    jsr vq_open
    ldy #0
:   sty t1
    lda mt_row_buf,y
    tay
    lda mt_tl,y
    sta vram_queue,x
    lda mt_tr,y
    sta vram_queue+1,x
    lda mt_bl,y
    sta vram_queue+32,x
    lda mt_br,y
    sta vram_queue+33,x
    inx
    inx
    ldy t1
    iny
    cpy #16
    bne :-
    txa
    clc
    adc #32
    tax
    jsr vq_close
    lda row                 ; its attribute row on the next frame
    sta attr_pend
    clc
    rts
.endproc

;; Loads floor X of the spire (tier * 4 + floor) with the view placed so that floor row A is 160 pixels below its top (as
;; far as the floor allows). Draws the rows in and around the view (picture off) and
;; empties the list of pending metatiles.
.proc floor_load
    stx floor_id
    pha
    lda floor_map_lo,x
    sta lvl_map
    lda floor_map_hi,x
    sta lvl_map+1
    lda floor_rows,x
    sta lvl_rows
    ; the lowest the view goes: rows * 16 - 240, in t2/t3
    sta t2
    lda #0
    asl t2
    rol a
    asl t2
    rol a
    asl t2
    rol a
    asl t2
    rol a
    sta t3
    lda t2
    sec
    sbc #240
    sta t2
    bcs :+
    dec t3
:   ; the view for the start row: row * 16 - 160, between 0 and the lowest
    pla
    sta cam_y
    lda #0
    asl cam_y
    rol a
    asl cam_y
    rol a
    asl cam_y
    rol a
    asl cam_y
    rol a
    sta cam_y+1
    lda cam_y
    sec
    sbc #160
    sta cam_y
    lda cam_y+1
    sbc #0
    sta cam_y+1
    bcs :+
    lda #0
    sta cam_y
    sta cam_y+1
:   lda t2
    cmp cam_y
    lda t3
    sbc cam_y+1
    bcs :+
    lda t2
    sta cam_y
    lda t3
    sta cam_y+1
:   ; rows from the bottom of the view (or the floor) up to two rows above it
    jsr cam_row
    clc
    adc #16
    bcs :+
    cmp lvl_rows
    bcc :++
:   lda lvl_rows
:   sta load_top
    lda #$FF
    sta attr_pend
    jsr portals_find
    jsr cmap_clear
    ldx #PENDING - 1
    lda #$FF
:   sta pend_row,x
    dex
    bpl :-
    jsr clear_nametables
rows:
    jsr cam_row
    sec
    sbc #2
    bcs :+
    lda #0
:   cmp load_top
    bcs done
    lda load_top
    sbc #0                  ; carry is clear: minus one
    jsr draw_row_now
    jmp rows
done:
    rts
.endproc

;; A := the floor row at the top of the view (cam_y / 16).
.proc cam_row
    lda cam_y+1
    sta t0
    lda cam_y
    lsr t0
    ror a
    lsr t0
    ror a
    lsr t0
    ror a
    lsr t0
    ror a
    rts
.endproc
.export cam_row

;; Keeps the rows just above the view loaded: at most one new row per frame, its tiles on
;; one frame and its attribute row on the next.
.proc floor_stream
    lda attr_pend
    bpl attributes
    ; wanted: the row one above the view's top row
    jsr cam_row
    sec
    sbc #1
    bcs :+
    lda #0
:   cmp load_top
    bcs done
    lda load_top
    sec
    sbc #1
    jmp queue_row
attributes:
    jsr build_attr_row
    lda attr_pend
    jsr attr_address
    lda t6
    ldx t7
    ldy #8
    jsr vq_open
    bcs done                ; the queue is full: next frame
    ldy #0
:   lda attr_buf,y
    sta vram_queue,x
    inx
    iny
    cpy #8
    bne :-
    jsr vq_close
    lda #$FF
    sta attr_pend
done:
    rts
.endproc

;; Changes the metatile at floor row A, column Y to X, in the collision map at once and on
;; the screen as soon as the queue has room.
.proc set_metatile
    sta t0
    sty t1
    jsr cmap_row_ptr
    txa
    sta (ptr1),y
    ldx #PENDING - 1
:   lda pend_row,x
    cmp #$FF
    beq free
    dex
    bpl :-
    rts                     ; eight changes in one frame: the picture catches up later
free:
    lda t0
    sta pend_row,x
    lda t1
    sta pend_col,x
    rts
.endproc
.export set_metatile

;; Writes pending metatile changes into the video queue (2 + 2 tiles and their attribute
;; byte each) while it has room.
.proc flush_pending
    lda #3                  ; at most three a frame
    sta pend_budget
    ldx #PENDING - 1
each:
    lda pend_row,x
    cmp #$FF
    beq next
    lda vq_len              ; not in a frame that loads a row: vertical blank is short
    cmp #PENDING_ROOM
    bcs done
    dec pend_budget
    bmi done
    txa
    pha
    jsr draw_pending
    pla
    tax
    lda #$FF
    sta pend_row,x
next:
    dex
    bpl each
done:
    rts

draw_pending:
    row := pend_cur_row
    col := pend_cur_col
    mt  := pend_cur_mt
    lda pend_row,x
    sta row
    lda pend_col,x
    sta col
    ; rows that scrolled out of the window are not drawn any more
    sec
    lda row
    sbc cmap_top
    cmp #32
    bcc :+
    rts
:   lda row
    ldy col
    jsr metatile_at
    sta mt
    lda row
    jsr row_address
    lda col
    asl a
    ora t7
    tax
    lda t6
    ldy #2
    jsr vq_open
    ldy mt
    lda mt_tl,y
    sta vram_queue,x
    lda mt_tr,y
    sta vram_queue+1,x
    inx
    inx
    jsr vq_close
    lda col
    asl a
    ora t7
    clc
    adc #32
    tax
    lda t6
    ldy #2
    jsr vq_open
    ldy mt
    lda mt_bl,y
    sta vram_queue,x
    lda mt_br,y
    sta vram_queue+1,x
    inx
    inx
    jsr vq_close
    ; the attribute byte of its 2 x 2 block
    lda row
    jsr attr_setup
    lda col
    lsr a
    tay
    jsr attr_byte
    sta mt
    lda row
    jsr attr_address
    lda col
    lsr a
    ora t7
    tax
    lda t6
    ldy #1
    jsr vq_open
    lda mt
    sta vram_queue,x
    inx
    jmp vq_close
.endproc
.export floor_stream, flush_pending, floor_load

;; Sets the scroll and the nametable bits of ppu_ctrl from cam_y (cam_y mod 480).
.proc camera_to_scroll
    lda cam_y
    sta t0
    lda cam_y+1
    sta t1
:   lda t0                  ; subtract 480 while it fits
    sec
    sbc #<480
    tax
    lda t1
    sbc #>480
    bcc :+
    sta t1
    stx t0
    jmp :-
:   lda ppu_ctrl
    and #<~CTRL_NT_2800
    ldx t1
    bne lower
    ldx t0
    cpx #240
    bcs lower
    sta ppu_ctrl
    stx scroll_y
    rts
lower:
    ora #CTRL_NT_2800
    sta ppu_ctrl
    lda t0
    sec
    sbc #240
    sta scroll_y
    rts
.endproc
.export camera_to_scroll

.segment "RODATA"
wall_row: .res 16, MT_WALL   ; what lies below a floor

;; the floors of the spire, four to a tier: three floors and the boss floor
.define FLOOR_MAPS lvl_t1f1_map, lvl_t1f2_map, lvl_t1f3_map, lvl_t1boss_map, lvl_t2f1_map, lvl_t2f2_map, lvl_t2f3_map, lvl_t2boss_map, lvl_t3f1_map, lvl_t3f2_map, lvl_t3f3_map, lvl_t3boss_map, lvl_t4f1_map, lvl_t4f2_map, lvl_t4f3_map, lvl_t4boss_map
.define FLOOR_OBJS lvl_t1f1_objs, lvl_t1f2_objs, lvl_t1f3_objs, lvl_t1boss_objs, lvl_t2f1_objs, lvl_t2f2_objs, lvl_t2f3_objs, lvl_t2boss_objs, lvl_t3f1_objs, lvl_t3f2_objs, lvl_t3f3_objs, lvl_t3boss_objs, lvl_t4f1_objs, lvl_t4f2_objs, lvl_t4f3_objs, lvl_t4boss_objs
floor_map_lo:  .lobytes FLOOR_MAPS
floor_map_hi:  .hibytes FLOOR_MAPS
floor_objs_lo: .lobytes FLOOR_OBJS
floor_objs_hi: .hibytes FLOOR_OBJS
floor_rows:    .byte LVL_T1F1_ROWS, LVL_T1F2_ROWS, LVL_T1F3_ROWS, LVL_T1BOSS_ROWS
               .byte LVL_T2F1_ROWS, LVL_T2F2_ROWS, LVL_T2F3_ROWS, LVL_T2BOSS_ROWS
               .byte LVL_T3F1_ROWS, LVL_T3F2_ROWS, LVL_T3F3_ROWS, LVL_T3BOSS_ROWS
               .byte LVL_T4F1_ROWS, LVL_T4F2_ROWS, LVL_T4F3_ROWS, LVL_T4BOSS_ROWS
.assert * - floor_rows = NUM_TIERS * TIER_FLOORS, error, "a tier's floors are missing"
.export floor_objs_lo, floor_objs_hi
