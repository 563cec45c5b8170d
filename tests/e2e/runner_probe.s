; A tiny cartridge that makes the runner's work visible in its pictures and reports:
;   - tile 1 (solid colour 1, red) at the top-left corner of the screen
;   - the backdrop is white while player 1 holds A, black otherwise
;   - sprite 0 (solid white) sits on screen row 64 and walks right one pixel per frame,
;     starting at x = 1 in the first frame after reset
;   - while player 1 holds B the interrupt handler leaves out the frame-done marker, so the
;     frame ends by budget
;   - work RAM $00 holds the buttons last read (bit 0 A ... bit 7 Right), $01 the sprite's x

PPUCTRL   = $2000
OAMADDR   = $2003
PPUSCROLL = $2005
PPUADDR   = $2006
PPUDATA   = $2007
OAMDMA    = $4014
JOY1      = $4016

COLOUR_BLACK = $0F
COLOUR_WHITE = $30
COLOUR_RED   = $16

oam = $0200

.segment "ZEROPAGE"
buttons:  .res 1
sprite_x: .res 1

.segment "CODE"

;; sets palette, nametable and sprite memory, then idles with the interrupt on
.proc reset
    sei
    cld
    ldx #$FF
    txs

    lda #$3F            ; $3F00 backdrop, $3F01 background colour 1
    sta PPUADDR
    lda #$00
    sta PPUADDR
    lda #COLOUR_BLACK
    sta PPUDATA
    lda #COLOUR_RED
    sta PPUDATA
    lda #$3F            ; $3F11 sprite colour 1
    sta PPUADDR
    lda #$11
    sta PPUADDR
    lda #COLOUR_WHITE
    sta PPUDATA
    lda #$20            ; tile 1 at the top-left of $2000
    sta PPUADDR
    lda #$00
    sta PPUADDR
    lda #$01
    sta PPUDATA

    lda #$FF            ; every sprite below the screen
    ldx #0
@clear:
    sta oam,x
    inx
    bne @clear
    lda #63             ; sprite 0: y 63 (drawn from row 64), tile 1, attributes 0, x 0
    sta oam+0
    lda #1
    sta oam+1
    lda #0
    sta oam+2
    sta oam+3
    sta sprite_x
    sta buttons

    lda #$80            ; NMI on
    sta PPUCTRL
@idle:
    jmp @idle
.endproc

;; reads player 1, sets the backdrop, moves and copies the sprite, ends the frame
.proc nmi
    pha

    lda #1              ; strobe, then eight reads: A first, shifted in from the top
    sta JOY1
    lda #0
    sta JOY1
    ldx #8
@read:
    lda JOY1
    lsr a
    ror buttons
    dex
    bne @read

    lda #$3F
    sta PPUADDR
    lda #$00
    sta PPUADDR
    lda buttons
    and #$01
    beq @dark
    lda #COLOUR_WHITE
    bne @set
@dark:
    lda #COLOUR_BLACK
@set:
    sta PPUDATA

    inc sprite_x
    lda sprite_x
    sta oam+3
    lda #0
    sta OAMADDR
    lda #>oam
    sta OAMDMA
    lda #0
    sta PPUSCROLL
    sta PPUSCROLL

    lda buttons
    and #$02
    bne @no_marker
    .byte $04, $00      ; frame-done marker
@no_marker:
    pla
    rti
.endproc

.proc irq
    rti
.endproc

.segment "VECTORS"
    .word nmi, reset, irq

.segment "CHARS"
    .res 16, $00                                    ; tile 0: empty
    .byte $FF, $FF, $FF, $FF, $FF, $FF, $FF, $FF    ; tile 1: solid colour 1
    .byte $00, $00, $00, $00, $00, $00, $00, $00
