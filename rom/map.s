; The collision map: the metatiles of 32 rows of the floor around the view, kept in RAM so
; that blocks can break, chests open and emeralds go. Row r of the floor lives in slot
; r mod 32; rows outside the loaded window read as empty.

.include "ember.inc"

.segment "MAPRAM"
cmap: .res 512              ; 32 rows of 16 metatiles
.export cmap

.segment "ZEROPAGE"
cmap_top: .res 1            ; the first floor row held in cmap (the window is 32 rows)
keep_y:   .res 1
.exportzp cmap_top

.segment "CODE"

;; Empties the whole map (metatile 0 everywhere) and puts the window at row A.
.proc cmap_clear
    sta cmap_top
    lda #0
    tax
:   sta cmap,x
    sta cmap+256,x
    inx
    bne :-
    rts
.endproc

;; Points ptr1 at the slot of floor row A, column 0 (keeps A, X and Y).
.proc cmap_row_ptr
    sty keep_y
    pha
    and #31
    tay
    lda slot_lo,y
    sta ptr1
    lda slot_hi,y
    sta ptr1+1
    pla
    ldy keep_y
    rts
.endproc
.export cmap_row_ptr

;; Copies the 16 metatiles at ptr0 into floor row A.
.proc cmap_set_row
    jsr cmap_row_ptr
    ldy #15
:   lda (ptr0),y
    sta (ptr1),y
    dey
    bpl :-
    rts
.endproc

;; The metatile under the point (A = x, t0/t1 = y low/high in floor pixels).
;; Returns the behaviour in A (MTT_*), the metatile in Y, its row in t3 and its column in
;; t2 (ptr1 addresses the row's slot). Keeps X.
.proc cmap_probe
    col := t2
    lsr a
    lsr a
    lsr a
    lsr a
    sta col
    lda t0
    lsr a
    lsr a
    lsr a
    lsr a
    sta t3
    lda t1
    asl a
    asl a
    asl a
    asl a
    ora t3                  ; row
    sta t3
    sec
    sbc cmap_top
    cmp #32
    bcs outside
    lda t3
    and #31
    tay
    lda slot_lo,y
    sta ptr1
    lda slot_hi,y
    sta ptr1+1
    ldy col
    lda (ptr1),y
    tay
    lda mt_type,y
    rts
outside:
    ldy #0
    lda #MTT_EMPTY
    rts
.endproc
.export cmap_probe

.segment "RODATA"
;; where each of the 32 slots of the map starts
slot_lo: .repeat 32, i
    .byte <(cmap + i * 16)
.endrepeat
slot_hi: .repeat 32, i
    .byte >(cmap + i * 16)
.endrepeat
