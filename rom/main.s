; Minimal start-up: the cartridge sources grow from here.
.segment "CODE"
reset:
    sei
    cld
    ldx #$FF
    txs
    lda #$80
    sta $2000           ; NMI on
@forever:
    jmp @forever

nmi:
    .byte $04, $00      ; frame-done marker
    rti

irq:
    rti

.segment "VECTORS"
    .word nmi, reset, irq

.segment "CHARS"
    .res 16, $00
