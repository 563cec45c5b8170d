; The title screen: the game's name in big letters over a night sky, what the buttons do,
; the spire's gate between two torches on the ground, and the mages of the players who
; pressed A walking about. The stars twinkle and the torches flicker.

.include "ember.inc"

.import cmap_row_ptr, cmap_probe
.importzp cam_y
.import pl_state, pl_x, pl_flags, game_start

GROUND_Y  = 192             ; the top of the ground, in screen pixels
GATE_LEFT  = 120            ; the gate's opening, in screen pixels (the picture sits 4 right)
GATE_RIGHT = 144
COUNTDOWN  = 191            ; frames of the countdown once all four are in
HINT_ADDR  = $2000 + 14 * 32 + 5
HINT_LEN   = 21
LOGO_ROW   = 3              ; tile row of "EMBER"; "SPIRE" follows five rows lower
LOGO_COL   = 6
TORCH_ADDR = $2000 + 20 * 32  ; the torches' flames, their bowls and stands below
NUM_STARS  = 16             ; the stars twinkle in turn, one every 4 frames, for 12 frames

.segment "ZEROPAGE"
hint_shown:  .res 1         ; which hint the title shows (0 none, 1 the gate)
count_timer: .res 1

.segment "CODE"

;; Draws the title screen (picture off for a moment) and starts the intro music.
.proc title_init
    jsr screen_off
    jsr clear_nametables

    ; stars
    ldx #0
stars:
    stx t4
    lda title_stars,x
    pha
    lda title_stars+1,x
    tax
    pla
    jsr ppu_addr_ax
    ldx t4
    lda title_stars+2,x
    sta PPUDATA
    inx
    inx
    inx
    inx
    cpx #NUM_STARS * 4
    bne stars

    ; the name: five letters a row, each 3 x 4 tiles with a tile between them
    ldx #0
letters:
    lda title_letters,x
    beq letters_done
    sta ptr0+1
    lda title_letters+1,x
    sta ptr0
    lda title_letters+2,x
    stx t4
    pha
    lda title_letters+3,x
    tax
    pla
    jsr draw_block
    ldx t4
    inx
    inx
    inx
    inx
    bne letters
letters_done:

    ; the ground, three rows of bricks, and the gate standing on it
    ldy #2
ground_row:
    lda #16
    sta t6
    ldx ground_lo,y
    lda ground_hi,y
    jsr brick_row
    dey
    bpl ground_row
    lda #<bg_title_gate
    sta ptr0
    lda #>bg_title_gate
    sta ptr0+1
    lda #>($2000 + 19 * 32 + 14)
    ldx #<($2000 + 19 * 32 + 14)
    jsr draw_block
    ldy #1
torches:
    sty t5
    lda #<bg_torch
    sta ptr0
    lda #>bg_torch
    sta ptr0+1
    ldx torch_lo,y
    lda #>TORCH_ADDR
    jsr draw_block
    ldy t5
    dey
    bpl torches

    ; "PRESS A TO JOIN" and the buttons
    lda #<title_texts
    ldy #>title_texts
    jsr draw_texts

    lda #<title_attributes
    sta ptr0
    lda #>title_attributes
    sta ptr0+1
    lda #$20
    jsr fill_attributes

    lda #<title_palette
    sta ptr0
    lda #>title_palette
    sta ptr0+1
    jsr load_palette

    ; the ground and the screen edges hold the mages
    lda #0
    jsr cmap_clear
    ldx #0
rows:
    txa
    jsr cmap_row_ptr
    ldy #15
:   lda #MT_WALL
    cpx #12
    bcc :+
    lda #MT_STONE
:   cpy #0
    beq edge
    cpy #15
    bne :+
edge:
    lda #MT_STONE
:   sta (ptr1),y
    dey
    bpl :---
    inx
    cpx #15
    bne rows

    lda #0
    sta cam_y
    sta cam_y+1
    sta scroll_y
    lda #252                ; four pixels right: the name sits in the middle
    sta scroll_x
    lda #CTRL_NMI | CTRL_SPR_1000
    sta ppu_ctrl
    jsr mage_init_all
    lda #0
    sta hint_shown
    lda #COUNTDOWN
    sta count_timer
    lda #STATE_TITLE
    sta game_state
    play_music MUS_INTRO
    jmp screen_on
.endproc

;; Draws a row of t6 bricks (the title's ground block, two tiles square) from the video
;; address A (high), X (low), picture off. Keeps Y.
.proc brick_row
    sta t5
    sty t7
:   stx t4
    lda #<bg_title_ground
    sta ptr0
    lda #>bg_title_ground
    sta ptr0+1
    lda t5
    jsr draw_block
    lda t4
    clc
    adc #2
    tax
    dec t6
    bne :-
    ldy t7
    rts
.endproc
.export brick_row

;; One frame of the title: players join with A and leave with B; a joined mage at the gate
;; starts the climb with A or Up, and so does a short countdown once all four are in.
.proc title_update
    ldx #NUM_PLAYERS - 1
each:
    lda pl_state,x
    bne joined
    lda pad_new,x
    and #BTN_A
    beq next
    lda pad_new,x           ; the press that joins does not also jump
    and #<~BTN_A
    sta pad_new,x
    lda #<(GROUND_Y - 16)
    sta t0
    lda #0
    sta t1
    lda spawn_x,x
    jsr mage_join
    play_sfx SFX_PAUSE
    jmp next
joined:
    lda pad_new,x
    and #BTN_B
    beq :+
    lda #PS_NONE            ; B: leaves again
    sta pl_state,x
    play_sfx SFX_UNPAUSE
    jmp next
:   lda pl_x,x              ; at the gate?
    clc
    adc #8
    sec
    sbc #GATE_LEFT
    cmp #GATE_RIGHT - GATE_LEFT
    bcs next
    lda pl_flags,x
    and #1                  ; standing on the ground
    beq next
    lda pad_new,x
    and #BTN_A | BTN_UP
    beq next
    jmp game_start
next:
    dex
    bpl each

    ; the hint under "PRESS A TO JOIN" appears with the first mage
    ldx #0
    ldy #NUM_PLAYERS - 1
:   lda pl_state,y
    beq :+
    inx
:   dey
    bpl :--
    stx t5
    cpx #0
    beq :+
    lda #1
:   cmp hint_shown
    beq countdown
    sta hint_shown
    tay
    lda hint_lo,y
    sta ptr0
    lda hint_hi,y
    sta ptr0+1
    lda #>HINT_ADDR
    ldx #<HINT_ADDR
    ldy #HINT_LEN
    jsr vq_open
    bcs countdown           ; no room: next frame
    ldy #0
:   lda (ptr0),y
    sta vram_queue,x
    inx
    iny
    cpy #HINT_LEN
    bne :-
    jsr vq_close

countdown:
    ; everyone is in: the climb starts by itself
    lda t5
    cmp #NUM_PLAYERS
    beq :+
    lda #COUNTDOWN
    sta count_timer
    bne move
:   dec count_timer
    bne :+
    jmp game_start
:   lda count_timer         ; 3, 2, 1 over the gate
    lsr a
    lsr a
    lsr a
    lsr a
    lsr a
    lsr a
    clc
    adc #'1'
    pha
    lda #128                ; in the gateway
    sta t0
    lda #168
    sta t1
    lda #3
    sta t3
    pla
    jsr draw_sprite
move:
    jsr title_animate
    jsr mage_title_update
    jmp mage_draw_all
.endproc

;; The sky and the torches come alive with a tile or two a frame: every fourth frame one
;; star begins to twinkle and the one that began three steps earlier stops; two frames
;; later each torch's flame tip takes its next shape. Everything repeats every 64 frames.
.proc title_animate
    lda frame_count
    and #3
    beq stars
    cmp #2
    beq flames
    rts

stars:
    lda frame_count         ; the star whose turn it is, as its offset in title_stars
    and #(NUM_STARS - 1) * 4
    tax
    lda title_stars+3,x     ; begins to twinkle
    jsr queue_star
    txa
    sec
    sbc #3 * 4
    and #(NUM_STARS - 1) * 4
    tax
    lda title_stars+2,x     ; began three steps ago: back to its own look
queue_star:
    sta t0
    stx t1
    lda title_stars,x
    pha
    lda title_stars+1,x
    tax
    pla
    jsr queue_tile
    ldx t1
    rts

flames:
    ldy #1
torch:
    sty t1
    lda frame_count
    lsr a
    lsr a
    clc
    adc torch_phase,y       ; each torch keeps its own time
    and #15
    tax
    lda flicker,x
    sta t0
    ldx torch_lo,y
    lda #>TORCH_ADDR
    jsr queue_tile
    ldy t1
    dey
    bpl torch
    rts
.endproc

;; Queues the tile t0 for the video address A (high), X (low); when the queue is full this
;; frame the write is left out.
.proc queue_tile
    ldy #1
    jsr vq_open
    bcs full
    lda t0
    sta vram_queue,x
    inx
    jmp vq_close
full:
    rts
.endproc

.segment "RODATA"

spawn_x: .byte 40, 200, 80, 160

ground_lo: .byte <$2300, <$2340, <$2380    ; tile rows 24, 26, 28
ground_hi: .byte >$2300, >$2340, >$2380

;; texts: video address (high, low), the text; 0 ends. The buttons' names show in the
;; fire palette, what they do in white (title_attributes).
.macro text row, col, str
    .byte >($2000 + (row) * 32 + (col)), <($2000 + (row) * 32 + (col)), str, TXT_END
.endmacro
title_texts:
    text 13,  8, "PRESS A TO JOIN"
    text 16,  6, "A JUMP"
    text 17,  6, "B SPELL"
    text 18,  1, "HOLD B CHARGE"
    text 16, 18, "SELECT FAIRY"
    text 17, 20, "DOWN DROP"
    text 18, 22, "UP DOOR"
    .byte 0

;; the line under it: blank, or how to start
hint_lo: .byte <hint_none, <hint_gate
hint_hi: .byte >hint_none, >hint_gate
hint_none: .byte "                     "
hint_gate: .byte "A AT THE GATE: CLIMB!"
.assert * - hint_gate = HINT_LEN, error, "hint length"

;; stars of the sky, in the order they twinkle: video address high, low, the tile, and
;; the tile it twinkles to (a big star flares, a small one swells)
.macro star row, col, tile, twinkle
    .byte >($2000 + (row) * 32 + (col)), <($2000 + (row) * 32 + (col)), tile, twinkle
.endmacro
title_stars:
    star  1,  3, TILE_STAR, TILE_STAR_BRIGHT
    star 20,  9, TILE_STAR, TILE_STAR_BRIGHT
    star  9, 29, TILE_STAR, TILE_STAR_BRIGHT
    star  0, 17, TILE_STAR_SMALL, TILE_STAR
    star 13,  1, TILE_STAR, TILE_STAR_BRIGHT
    star  4, 29, TILE_STAR_SMALL, TILE_STAR
    star 19, 26, TILE_STAR_SMALL, TILE_STAR
    star  1, 12, TILE_STAR_SMALL, TILE_STAR
    star 12, 28, TILE_STAR_SMALL, TILE_STAR
    star 21, 22, TILE_STAR, TILE_STAR_BRIGHT
    star  2, 28, TILE_STAR, TILE_STAR_BRIGHT
    star  8,  2, TILE_STAR_SMALL, TILE_STAR
    star  0,  8, TILE_STAR_SMALL, TILE_STAR
    star 21,  4, TILE_STAR_SMALL, TILE_STAR
    star  1, 23, TILE_STAR, TILE_STAR_BRIGHT
    star  5,  1, TILE_STAR_SMALL, TILE_STAR
.assert * - title_stars = NUM_STARS * 4, error, "star count"
.assert (NUM_STARS & (NUM_STARS - 1)) = 0, error, "the stars take turns by a mask"

;; the torches either side of the gate: the low byte of their video address (tile columns
;; 12 and 19), and how far each is into the flicker
torch_lo:    .byte <(TORCH_ADDR + 12), <(TORCH_ADDR + 19)
torch_phase: .byte 0, 5
.assert >(TORCH_ADDR + 19) = >TORCH_ADDR, error, "the torches share a high byte"

;; the flame tip of a torch, four frames each
flicker:
    .byte TILE_FLAME_TIP0, TILE_FLAME_TIP1, TILE_FLAME_TIP0, TILE_FLAME_TIP2
    .byte TILE_FLAME_TIP1, TILE_FLAME_TIP1, TILE_FLAME_TIP0, TILE_FLAME_TIP2
    .byte TILE_FLAME_TIP0, TILE_FLAME_TIP2, TILE_FLAME_TIP1, TILE_FLAME_TIP0
    .byte TILE_FLAME_TIP1, TILE_FLAME_TIP2, TILE_FLAME_TIP2, TILE_FLAME_TIP0

;; the letters of the name: block (high, low), video address (high, low); 0 ends
.macro letter blk, row, col
    .byte >blk, <blk, >($2000 + (row) * 32 + (col)), <($2000 + (row) * 32 + (col))
.endmacro
title_letters:
    letter bg_logo_e, LOGO_ROW, LOGO_COL
    letter bg_logo_m, LOGO_ROW, LOGO_COL + 4
    letter bg_logo_b, LOGO_ROW, LOGO_COL + 8
    letter bg_logo_e, LOGO_ROW, LOGO_COL + 12
    letter bg_logo_r, LOGO_ROW, LOGO_COL + 16
    letter bg_logo_s, LOGO_ROW + 5, LOGO_COL
    letter bg_logo_p, LOGO_ROW + 5, LOGO_COL + 4
    letter bg_logo_i, LOGO_ROW + 5, LOGO_COL + 8
    letter bg_logo_r, LOGO_ROW + 5, LOGO_COL + 12
    letter bg_logo_e, LOGO_ROW + 5, LOGO_COL + 16
    .byte 0

;; palettes per 16 x 16 pixels: the fiery "EMBER" and the buttons' names (0), the stone
;; "SPIRE" (1), the gate, the torches' stands and the ground (2), the sky, the stars and the
;; texts (3); the torches' flames burn in the fire palette
title_attributes:
    .byte $FF, $3F, $0F, $0F, $0F, $0F, $CF, $FF    ; rows 0-3: sky, EMBER
    .byte $FF, $33, $00, $00, $00, $00, $CC, $FF    ; rows 4-7: EMBER
    .byte $FF, $77, $55, $55, $55, $55, $DD, $FF    ; rows 8-11: SPIRE
    .byte $FF, $FF, $FF, $FF, $FF, $FF, $FF, $FF    ; rows 12-15: texts
    .byte $0F, $03, $FF, $BF, $E3, $30, $FF, $FF    ; rows 16-19: buttons, the gate
    .byte $AF, $AF, $AF, $A8, $A2, $AF, $AF, $AF    ; rows 20-23: flames, the gate
    .res 8, $AA                                     ; rows 24-29: the ground
    .res 8, $AA

title_palette:
    .byte $0F, $06, $27, $38    ; fire letters: outline, body, light
    .byte $0F, $01, $11, $31    ; stone letters
    .byte $0F, $2D, $00, $10    ; gate and ground
    .byte $0F, $00, $10, $30    ; text and stars
    .byte $0F, $16, $0F, $30    ; mage of player 1: red (robe, outline, face)
    .byte $0F, $12, $0F, $30    ; player 2: blue
    .byte $0F, $1A, $0F, $30    ; player 3: green
    .byte $0F, $27, $0F, $30    ; player 4: orange
