; Video: the frame handshake with the NMI, the queue of nametable and palette writes the
; NMI copies during vertical blank, bulk drawing while the picture is off, and sprites.

.include "ember.inc"

.segment "ZEROPAGE"
nmi_count: .res 1   ; frames shown since power-on
nmi_ready: .res 1   ; 1: the main loop finished this frame's sprites, queue and scroll
nmi_busy:  .res 1   ; 1: the main loop is writing video memory itself; the NMI keeps off
lag_count: .res 1   ; frames the main loop did not finish in time
ppu_ctrl:  .res 1   ; the values the NMI writes to PPUCTRL, PPUMASK and the scroll
ppu_mask:  .res 1
scroll_x:  .res 1
scroll_y:  .res 1
vq_len:    .res 1   ; bytes used in vram_queue
oam_used:  .res 1   ; the byte of oam_buf the next sprite goes to
oam_start: .res 1   ; where this frame's first sprite went
oam_last:  .res 1   ; the 64th place of this frame: it stays empty (the page is full)
oam_step:  .res 1   ; OAM_STRIDE or -OAM_STRIDE: this frame's way through sprite memory
pal_dirty: .res 1   ; 1: the NMI copies palette_buf
.exportzp nmi_count, nmi_ready, nmi_busy, lag_count, ppu_ctrl, ppu_mask, scroll_x, scroll_y
.exportzp vq_len, oam_used, oam_last, oam_start, oam_step

; The console shows at most 8 sprites on a line and leaves out the later ones in sprite
; memory. So that a crowded line flickers instead of losing the same sprites for good, the
; sprites of a frame go into sprite memory 17 places apart (17 and 64 share no factor: the
; 64 places are all reached), forwards on one frame and backwards on the next, so that the
; sprites of a line come in the other order every frame; and the first place moves on
; every frame, so that on a line of more than 16 the ones in the middle get their turn too.
OAM_STRIDE = 17 * 4         ; bytes from one sprite to the next
OAM_TURN   = 15 * 4         ; bytes the first place moves on from frame to frame

.segment "OAM"
oam_buf: .res 256

.segment "BSS"
;; queued writes: address high, address low, count, then the bytes; a zero high byte ends it
vram_queue:  .res VQ_SIZE
palette_buf: .res 32

.segment "CODE"

;; The NMI: sprites, palette, queued rows, picture registers, then the frame-done marker.
;; When the main loop did not finish its frame, only the registers are rewritten.
.proc nmi
    pha
    txa
    pha
    tya
    pha
    lda nmi_busy
    bne done
    lda nmi_ready
    beq lag

    lda #0                  ; sprites
    sta OAMADDR
    lda #>oam_buf
    sta OAMDMA

    lda pal_dirty           ; palette: all 32 bytes ($3F10 apart from $3F00)
    beq rows
    lda #$3F
    sta PPUADDR
    ldx #0
    stx PPUADDR
:   lda palette_buf,x
    sta PPUDATA
    inx
    cpx #32
    bne :-
    lda #0
    sta pal_dirty

rows:                       ; queued rows
    ldx #0
next:
    lda vram_queue,x
    beq rows_done
    sta PPUADDR
    lda vram_queue+1,x
    sta PPUADDR
    ldy vram_queue+2,x
    inx
    inx
    inx
:   lda vram_queue,x
    sta PPUDATA
    inx
    dey
    bne :-
    beq next
rows_done:
    lda #0
    sta vram_queue
    sta vq_len
    sta nmi_ready
    beq regs
lag:
    inc lag_count
regs:
    bit PPUSTATUS
    lda ppu_ctrl
    sta PPUCTRL
    lda scroll_x
    sta PPUSCROLL
    lda scroll_y
    sta PPUSCROLL
    lda ppu_mask
    sta PPUMASK
done:
    inc nmi_count
    pla
    tay
    pla
    tax
    pla
    .byte $04, $00          ; frame done: the picture is complete
    rti
.endproc
.export nmi

;; Hands this frame to the NMI and waits for it.
.proc wait_frame
    lda #1
    sta nmi_ready
    lda nmi_count
:   cmp nmi_count
    beq :-
    rts
.endproc

;; Blacks out the picture and stops the NMI's video work so that the main loop can write
;; video memory directly; a frame later the screen is dark on any console.
.proc screen_off
    ldx #31
    lda #$0F
:   sta palette_buf,x
    dex
    bpl :-
    lda #1
    sta pal_dirty
    jsr oam_begin
    jsr wait_frame
    lda #1
    sta nmi_busy
    lda #0
    sta ppu_mask
    sta PPUMASK
    rts
.endproc

;; Gives video memory back to the NMI: from the next frame it shows the picture with the
;; palette in palette_buf.
.proc screen_on
    lda #1
    sta pal_dirty
    lda #0
    sta vq_len
    sta vram_queue
    lda #MASK_SHOW
    sta ppu_mask
    lda #0
    sta nmi_busy
    rts
.endproc

;; copies 32 bytes from ptr0 to palette_buf; the NMI writes it with the next frame
.proc load_palette
    ldy #31
:   lda (ptr0),y
    sta palette_buf,y
    dey
    bpl :-
    lda #1
    sta pal_dirty
    rts
.endproc

;; sets the video address to A (high), X (low)
.proc ppu_addr_ax
    bit PPUSTATUS
    sta PPUADDR
    stx PPUADDR
    rts
.endproc

;; Fills both nametables ($2000 and $2800) with tile 0 and palette 0 (picture off).
.proc clear_nametables
    lda #$20
    jsr clear_one
    lda #$28
clear_one:
    ldx #0
    jsr ppu_addr_ax
    lda #0
    ldy #4
    ldx #0
:   sta PPUDATA
    inx
    bne :-
    dey
    bne :-
    rts
.endproc

;; Draws a background block (ptr0: width, height, tiles) at the video address A (high),
;; X (low), row by row (picture off).
.proc draw_block
    addr_lo := t0
    addr_hi := t1
    width   := t2
    rows    := t3
    sta addr_hi
    stx addr_lo
    ldy #0
    lda (ptr0),y
    sta width
    iny
    lda (ptr0),y
    sta rows
    iny
row:
    lda addr_hi
    ldx addr_lo
    jsr ppu_addr_ax
    ldx width
:   lda (ptr0),y
    sta PPUDATA
    iny
    bne :+
    inc ptr0+1              ; blocks may be longer than 256 bytes
:   dex
    bne :--
    lda addr_lo
    clc
    adc #32
    sta addr_lo
    bcc :+
    inc addr_hi
:   dec rows
    bne row
    rts
.endproc

;; Writes the text at ptr0 (ended by TXT_END) at the video address A (high), X (low)
;; (picture off).
.proc draw_text
    jsr ppu_addr_ax
    ldy #0
:   lda (ptr0),y
    cmp #TXT_END
    beq done
    sta PPUDATA
    iny
    bne :-
done:
    rts
.endproc

;; Writes the list of texts at A (low), Y (high): for each its video address (high, low)
;; and the text up to TXT_END; a zero ends the list (picture off).
.proc draw_texts
    sta ptr0
    sty ptr0+1
each:
    ldy #0
    lda (ptr0),y
    beq done
    pha
    iny
    lda (ptr0),y
    tax
    lda ptr0                ; the text follows its address
    clc
    adc #2
    sta ptr0
    bcc :+
    inc ptr0+1
:   pla
    jsr draw_text
    tya                     ; past the text and its end mark
    sec
    adc ptr0
    sta ptr0
    bcc each
    inc ptr0+1
    bne each
done:
    rts
.endproc

;; Writes the 64 attribute bytes at ptr0 into the attribute table of the nametable whose
;; high address byte is in A ($20 or $28) (picture off).
.proc fill_attributes
    ora #$03
    ldx #$C0
    jsr ppu_addr_ax
    ldy #0
:   lda (ptr0),y
    sta PPUDATA
    iny
    cpy #64
    bne :-
    rts
.endproc

;; Opens a queued write of Y bytes at video address A (high), X (low). On return carry is
;; clear and X is where the bytes go in vram_queue (finish with vq_close); carry set: the
;; queue is full this frame, nothing was opened.
.proc vq_open
    hi    := t6
    lo    := t7
    sta hi
    stx lo
    tya
    clc
    adc vq_len
    adc #4                  ; header and end mark
    cmp #VQ_SIZE + 1
    bcs full
    ldx vq_len
    lda hi
    sta vram_queue,x
    lda lo
    sta vram_queue+1,x
    tya
    sta vram_queue+2,x
    inx
    inx
    inx
    clc
full:
    rts
.endproc

;; Closes the write opened by vq_open; X is one past its last byte.
.proc vq_close
    stx vq_len
    lda #0
    sta vram_queue,x
    rts
.endproc

;; Starts a frame's sprites: hides all 64, turns the way through sprite memory round and
;; moves the first place on.
.proc oam_begin
    lda #$FF
    ldx #0
:   sta oam_buf,x
    sta oam_buf+4,x
    sta oam_buf+8,x
    sta oam_buf+12,x
    sta oam_buf+16,x
    sta oam_buf+20,x
    sta oam_buf+24,x
    sta oam_buf+28,x
    txa
    clc
    adc #32
    tax
    lda #$FF
    bcc :-
    ldy #OAM_STRIDE         ; the other way round from the last frame
    cpy oam_step
    bne :+
    ldy #<-OAM_STRIDE
:   sty oam_step
    lda oam_start
    clc
    adc #OAM_TURN
    sta oam_start
    sta oam_used
    sec
    sbc oam_step
    sta oam_last
    rts
.endproc

;; One 8 x 8 sprite: tile A at screen x t0, y t1 (1-239), attributes t3. Keeps X.
.proc draw_sprite
    ldy oam_used
    cpy oam_last
    beq full
    sta oam_buf+1,y
    lda t1
    sec
    sbc #1                  ; sprites show one line lower
    sta oam_buf,y
    lda t3
    sta oam_buf+2,y
    lda t0
    sta oam_buf+3,y
    tya
    clc
    adc oam_step
    sta oam_used
full:
    rts
.endproc

;; Draws the metasprite at ptr0 with its top-left corner at screen x t0, screen y t1 (low)
;; t2 (high, signed), attributes t3 (palette and priority; bit 6 mirrors the whole
;; metasprite left to right). Sprites that fall off the screen are left out.
.proc draw_metasprite
    sx      := t0
    sy_lo   := t1
    sy_hi   := t2
    attr    := t3
    count   := t4
    width   := t5
    ypos    := t6
    ldy #0
    lda (ptr0),y
    beq done
    sta count
    iny
    lda (ptr0),y
    sec
    sbc #8
    sta width               ; width - 8: mirrored dx = width - 8 - dx
    iny
    ldx oam_used
    cpx oam_last
    beq quick_full
    ; wholly on the screen (metasprites are at most 32 pixels tall): the quick way
    lda sy_hi
    bne each
    lda sy_lo
    beq each
    cmp #240 - 32
    bcs each
    sbc #0                  ; carry is clear: one line up, sprites show one line lower
    sta ypos
    clc
    bit attr
    bvs quick_mirrored
quick:
    lda (ptr0),y            ; dy
    adc ypos                ; carry is clear here
    sta oam_buf,x
    iny
    lda (ptr0),y            ; tile
    sta oam_buf+1,x
    iny
    lda (ptr0),y            ; attributes
    eor attr
    sta oam_buf+2,x
    iny
    lda (ptr0),y            ; dx
    adc sx
    bcs :+                  ; off the right edge: the sprite stays out (its slot is reused)
    sta oam_buf+3,x
    txa                     ; carry is clear: the sprite's x did not overflow
    adc oam_step
    tax
    cpx oam_last
    beq quick_full
:   clc
    iny
    dec count
    bne quick
quick_full:
    stx oam_used
done:
    rts
quick_mirrored:
    lda (ptr0),y
    adc ypos
    sta oam_buf,x
    iny
    lda (ptr0),y
    sta oam_buf+1,x
    iny
    lda (ptr0),y
    eor attr
    sta oam_buf+2,x
    iny
    lda width
    sec
    sbc (ptr0),y
    clc
    adc sx
    bcs :+
    sta oam_buf+3,x
    txa                     ; carry is clear: the sprite's x did not overflow
    adc oam_step
    tax
    cpx oam_last
    beq quick_full
:   clc
    iny
    dec count
    bne quick_mirrored
    stx oam_used
    rts

each:
    lda (ptr0),y            ; dy
    clc
    adc sy_lo
    sta ypos
    lda sy_hi
    adc #0
    bne skip4               ; above or below the screen
    lda ypos
    beq skip4               ; the top line cannot show a sprite
    cmp #240
    bcs skip4
    sbc #0                  ; carry clear: minus one, sprites show one line lower
    sta oam_buf,x
    iny
    lda (ptr0),y            ; tile
    sta oam_buf+1,x
    iny
    lda (ptr0),y            ; attributes
    eor attr
    sta oam_buf+2,x
    iny
    bit attr
    bvs mirrored
    lda (ptr0),y            ; dx
    clc
    adc sx
    bcs skip1
    bcc place
mirrored:
    lda width
    sec
    sbc (ptr0),y
    clc
    adc sx
    bcs skip1
place:
    sta oam_buf+3,x
    iny
    txa                     ; carry is clear: the sprite's x did not overflow
    adc oam_step
    tax
    cpx oam_last
    beq full
    dec count
    bne each
    stx oam_used
    rts
skip4:
    iny
    iny
    iny
skip1:
    iny
    dec count
    bne each
    stx oam_used
    rts
full:                       ; 63 sprites used: the last place stays empty
    stx oam_used
    rts
.endproc
