; Portals: pairs of portal metatiles on a floor. Up on one takes a mage to the other.
; A floor's map keeps linked portals within seven rows of each other (the rows the view
; has loaded above a mage) and the lower one in the view, so that a mage always comes out
; onto ground that is there.

.include "ember.inc"

.importzp lvl_map, lvl_rows
.import pl_x, pl_y, pl_yh, mage_still

MAX_PORTALS = 4             ; two pairs a floor

.segment "BSS"
portal_row: .res MAX_PORTALS ; the floor's portals from the top down: the first and the
portal_col: .res MAX_PORTALS ; second are linked, and the third and the fourth
portal_n:   .res 1
.export portal_row, portal_col, portal_n

.segment "CODE2"

;; Finds the floor's portals in its map (picture off: it reads the whole map).
.proc portals_find
    row := t0
    lda #0
    sta portal_n
    sta row
    lda lvl_map
    sta ptr0
    lda lvl_map+1
    sta ptr0+1
each_row:
    ldy #0
each:
    lda (ptr0),y
    tax
    lda mt_type,x
    cmp #MTT_PORTAL
    bne next
    ldx portal_n
    cpx #MAX_PORTALS
    bcs next
    lda row
    sta portal_row,x
    tya
    sta portal_col,x
    inc portal_n
next:
    iny
    cpy #16
    bne each
    lda ptr0
    clc
    adc #16
    sta ptr0
    bcc :+
    inc ptr0+1
:   inc row
    lda row
    cmp lvl_rows
    bcc each_row
    rts
.endproc

;; Mage X touches the portal at row t3, column t2: with Up just pressed it comes out of
;; the portal linked with it, standing still. Up is spent on it. Keeps X.
.proc portal_touch
    lda pad_new,x
    and #BTN_UP
    beq done
    ldy portal_n
find:
    dey
    bmi done
    lda portal_row,y
    cmp t3
    bne find
    lda portal_col,y
    cmp t2
    bne find
    tya
    eor #1                  ; its partner
    tay
    cpy portal_n
    bcs done
    lda pad_new,x
    and #<~BTN_UP
    sta pad_new,x
    lda portal_col,y
    asl a
    asl a
    asl a
    asl a
    sta pl_x,x
    lda portal_row,y        ; y := row * 16
    pha
    asl a
    asl a
    asl a
    asl a
    sta pl_y,x
    pla
    lsr a
    lsr a
    lsr a
    lsr a
    sta pl_yh,x
    jsr mage_still
    play_sfx SFX_PORTAL
done:
    rts
.endproc
.export portals_find, portal_touch
