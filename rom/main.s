; Ember Spire: power-on, the main loop and the game's states.
;
; Each frame the main loop reads the controllers, runs the current state (which moves
; everything, queues video writes and builds the sprite page) and hands the frame to the
; NMI, which copies it to the picture processor during vertical blank and then marks the
; frame done. The loop must finish before the next vertical blank.

.include "ember.inc"

.import nmi

.segment "ZEROPAGE"
t0: .res 1
t1: .res 1
t2: .res 1
t3: .res 1
t4: .res 1
t5: .res 1
t6: .res 1
t7: .res 1
ptr0: .res 2
ptr1: .res 2
game_state:  .res 1         ; STATE_*
frame_count: .res 1         ; frames the main loop has run
.exportzp t0, t1, t2, t3, t4, t5, t6, t7, ptr0, ptr1, game_state, frame_count

.segment "CODE"

;; Power-on and reset: quiet the console, wait for the picture processor to wake up (two
;; vertical blanks), clear the work RAM, then start at the title.
.proc reset
    sei
    cld
    ldx #$FF
    txs
    inx
    stx PPUCTRL             ; no NMI
    stx PPUMASK             ; no picture
    stx $4010               ; no sample interrupts
    lda #$40
    sta JOY2                ; no frame-counter interrupts
    bit PPUSTATUS
:   bit PPUSTATUS
    bpl :-

    txa
:   sta $0000,x
    sta $0100,x
    sta $0300,x
    sta $0400,x
    sta $0500,x
    sta $0600,x
    sta $0700,x
    inx
    bne :-
    lda #$FF                ; every sprite off the screen
:   sta oam_buf,x
    inx
    bne :-

:   bit PPUSTATUS
    bpl :-

    ; all 32 palette bytes black, the backdrop at $3F00 and $3F10 alike
    lda #$3F
    ldx #$00
    jsr ppu_addr_ax
    lda #$0F
    ldx #32
:   sta PPUDATA
    dex
    bne :-

    jsr sound_init
    lda #CTRL_NMI
    sta ppu_ctrl
    sta PPUCTRL
    jsr title_init
    ; fall into the main loop
.endproc

.proc main_loop
    jsr read_pads
    jsr sound_update
    jsr oam_begin
    jsr run_state
    inc frame_count
    jsr wait_frame
    jmp main_loop
.endproc

;; Runs the current state's frame routine.
.proc run_state
    ldx game_state
    lda state_hi,x
    pha
    lda state_lo,x
    pha
    rts
.endproc

.proc irq
    rti
.endproc

.segment "RODATA"
;; frame routine of each state (STATE_*), minus one (run_state enters them through RTS)
state_lo: .lobytes title_update - 1, card_update - 1, play_update - 1
          .lobytes clear_update - 1, over_update - 1, end_update - 1
state_hi: .hibytes title_update - 1, card_update - 1, play_update - 1
          .hibytes clear_update - 1, over_update - 1, end_update - 1

.segment "VECTORS"
    .word nmi, reset, irq
