; Controllers: the four players on the two ports, read once per frame.

.include "ember.inc"

.segment "ZEROPAGE"
pad:      .res NUM_PLAYERS  ; buttons held this frame (BTN_* bits), per player
pad_prev: .res NUM_PLAYERS  ; held last frame
pad_new:  .res NUM_PLAYERS  ; pressed since last frame
seed:     .res 2
.exportzp pad, pad_prev, pad_new

.segment "CODE"

;; Reads all four controllers: after the strobe each port gives eight bits, A first;
;; bit 0 of $4016 is player 1, bit 1 player 3; bit 0 of $4017 player 2, bit 1 player 4.
.proc read_pads
    ldx #NUM_PLAYERS - 1
:   lda pad,x
    sta pad_prev,x
    dex
    bpl :-
    lda #1
    sta JOY1
    lda #0
    sta JOY1
    ldx #8
bit_loop:
    lda JOY1
    lsr a
    rol pad+0
    lsr a
    rol pad+2
    lda JOY2
    lsr a
    rol pad+1
    lsr a
    rol pad+3
    dex
    bne bit_loop
    ldx #NUM_PLAYERS - 1
:   lda pad,x
    and #<~BTN_START        ; Start belongs to the program's menu
    sta pad,x
    lda pad_prev,x
    eor #$FF
    and pad,x
    sta pad_new,x
    dex
    bpl :-
    rts
.endproc

;; A pseudo-random byte (16-bit Galois shift register, stepped eight times); keeps X and Y.
.proc rand
    lda seed
    ora seed+1
    bne :+
    lda #$A5                ; never let the register sit at zero
    sta seed
:   txa
    pha
    ldx #8
    lda seed
step:
    asl a
    rol seed+1
    bcc :+
    eor #$2D
:   dex
    bne step
    sta seed
    pla
    tax
    lda seed
    rts
.endproc
