; The climb: the tier card, the floors, the floor clear, game over and continue (the
; ending is in ending.s). Also what the mages find on a floor: emeralds, chests,
; braziers and the exit door.

.include "ember.inc"

.import floor_load, floor_stream, flush_pending, camera_to_scroll, set_metatile
.import map_row_ptr, floor_objs_lo, floor_objs_hi
.importzp lvl_map, lvl_rows, load_top, floor_num, cam_y
.import pl_state, pl_x, pl_y, pl_yh, pl_hearts, pl_blink, pl_flags, pl_fairy
.import mage_revive, highest_mage, mage_hurt, mage_at_door
.import objects_init, objects_update, objects_draw, objects_spawn, obj_spawn
.import bolts_init, bolts_update, bolts_draw
.import hud_draw, draw_sprite_text
.import tier_floor, tier_card_list, floor_music
.import end_init, crumble_init, crumble_update
.importzp tier

START_TIER   = 0            ; debug switch: the tier the climb starts at (0 to NUM_TIERS - 1)
START_FLOOR  = 0            ; debug switch: the floor of that tier it starts at (0-3)
BOSS_FLOOR   = 3
CAM_MARGIN   = 96           ; the highest mage stays this far below the top of the view
CAM_SPEED    = 3            ; pixels per frame the view climbs at most
JOIN_FRAMES  = 240          ; a player can still join this long after a floor starts
CARD_FRAMES  = 240
CLEAR_FRAMES = 250          ; the fanfare
STAR_FRAMES  = 255          ; the wishing star's shine
JINGLE_FRAMES = 90          ; the music rests while the star's jingle plays
GEM_COMBO    = 40           ; emeralds this close together raise the pickup's pitch
CAPTION_FRAMES = 150        ; the floor's name shows this long after it starts
HINT_ABOVE   = 12           ; the door's arrow bobs this far above the door, pixels
JOIN_Y       = 88           ; screen y of the first "2P PRESS A" line, pixels
JOIN_X       = 88           ; the lines are 10 letters wide, centred

.segment "ZEROPAGE"
state_timer: .res 1         ; frames in the current state (stops at 255)
floor_timer: .res 1         ; frames since the floor started (stops at 255)
gems:        .res 3         ; the team's emeralds, decimal: ones, tens, hundreds
gem_combo:   .res 1         ; frames since the last emerald (stops at 255)
gem_pitch:   .res 1         ; pitch steps of the next pickup sound
star_timer:  .res 1         ; frames of the wishing star left
jingle:      .res 1         ; frames of the star jingle left
ckpt_row:    .res 1         ; the lit brazier the floor restarts at ($FF: none)
ckpt_col:    .res 1
door_row:    .res 1         ; the exit door's lower metatile
door_col:    .res 1
start_row:   .res 1         ; where the mages start
start_col:   .res 1
continuing:  .res 1         ; 1: the floor restarts after a continue
door_open:   .res 1         ; 1: the ember opened the exit door
.exportzp state_timer, floor_timer, gems, star_timer, jingle, ckpt_row, door_row, door_col
.exportzp door_open

.segment "BSS"
gems_start:  .res 3         ; the emeralds when the floor started

.segment "CODE"

;; From the title: the joined players start the climb with full hearts.
.proc game_start
    ldx #NUM_PLAYERS - 1
:   lda #3
    sta pl_hearts,x
    dex
    bpl :-
    lda #0
    sta gems
    sta gems+1
    sta gems+2
    sta star_timer
    sta jingle
    lda #START_TIER
    sta tier
    lda #START_FLOOR
    sta floor_num
    play_sfx SFX_UNPAUSE
    jmp card_init
.endproc

;; The tier's card: its number and name, with the mysterious music.
.proc card_init
    lda #$FF
    sta ckpt_row            ; no brazier lit yet
    jsr tier_card_list
    ldx #STATE_CARD
    jmp show_card
.endproc

;; Shows a card in state X: the texts of list A (low), Y (high) on a black screen, with the
;; mysterious music.
.proc show_card
    sta ptr1
    sty ptr1+1
    stx game_state
    jsr screen_off
    jsr clear_nametables
    lda ptr1
    ldy ptr1+1
    jsr draw_texts
    lda #<card_palette
    sta ptr0
    lda #>card_palette
    sta ptr0+1
    jsr load_palette
    lda #CTRL_NMI | CTRL_SPR_1000
    sta ppu_ctrl
    lda #0
    sta scroll_x
    sta scroll_y
    sta state_timer
    play_music MUS_MYSTERIOUS
    jmp screen_on
.endproc

;; The card stays a few seconds (a joined player's A moves on sooner); latecomers join.
.proc card_update
    jsr late_joins
    inc state_timer
    lda state_timer
    cmp #CARD_FRAMES
    bcs go
    cmp #60
    bcc done
    jsr joined_pressed_a
    bcs go
done:
    rts
go:
    lda #0
    sta continuing
    jmp floor_start
.endproc

;; Carry set when a player in the game pressed A this frame.
.proc joined_pressed_a
    ldx #NUM_PLAYERS - 1
:   lda pl_state,x
    beq :+
    lda pad_new,x
    and #BTN_A
    bne yes
:   dex
    bpl :--
    clc
    rts
yes:
    sec
    rts
.endproc

;; Players who were not in the game join with A (while a card shows or a floor has just
;; begun). Returns nothing; a player who joins during a floor appears beside the highest
;; mage.
.proc late_joins
    ldx #NUM_PLAYERS - 1
each:
    lda pl_state,x
    bne next
    lda pad_new,x
    and #BTN_A
    beq next
    lda pad_new,x
    and #<~BTN_A
    sta pad_new,x
    lda #3
    sta pl_hearts,x
    lda #PS_ALIVE
    sta pl_state,x
    play_sfx SFX_PAUSE
    lda game_state
    cmp #STATE_PLAY
    bne next
    jsr highest_mage
    cpy #$FF
    bne :+
    lda #PS_NONE            ; nobody to stand beside
    sta pl_state,x
    beq next
:   lda pl_y,y
    sta t0
    lda pl_yh,y
    sta t1
    lda pl_x,y
    jsr mage_join
next:
    dex
    bpl each
    rts
.endproc

;; Starts floor floor_num of the tier: at its bottom, or at its lit brazier after a continue.
.proc floor_start
    jsr screen_off
    ; where the view starts: the bottom, or the brazier 160 pixels from the top of the view
    jsr tier_floor
    lda floor_objs_lo,x
    sta ptr0
    lda floor_objs_hi,x
    sta ptr0+1
    jsr find_start
    lda ckpt_row
    cmp #$FF
    beq :+
    sta start_row
    lda ckpt_col
    sta start_col
:   jsr tier_floor
    lda start_row
    jsr floor_load
    jsr find_door
    jsr objects_init
    jsr bolts_init
    jsr crumble_init
    ; a lit brazier stays lit
    lda ckpt_row
    cmp #$FF
    beq :+
    ldy ckpt_col
    ldx #MT_BRAZIER_LIT
    jsr set_metatile
    jsr brazier_flame
:
    ; every player in the game starts alive, side by side; ghosts come back with a heart
    ldx #NUM_PLAYERS - 1
place:
    lda pl_state,x
    beq next
    lda pl_hearts,x         ; a new floor starts with three hearts at least
    cmp #3
    bcs :+
    lda #3
    sta pl_hearts,x
:   lda start_row
    asl a
    asl a
    asl a
    asl a
    sta t0
    lda start_row
    lsr a
    lsr a
    lsr a
    lsr a
    sta t1
    lda start_col
    asl a
    asl a
    asl a
    asl a
    clc
    adc start_dx,x
    cmp #16
    bcs :+
    lda #16
:   cmp #225
    bcc :+
    lda #224
:   jsr mage_join
next:
    dex
    bpl place

    jsr tier_floor          ; the floor's own colours
    lda floor_pal_lo,x
    sta ptr0
    lda floor_pal_hi,x
    sta ptr0+1
    jsr load_palette
    lda #CTRL_NMI | CTRL_SPR_1000
    sta ppu_ctrl
    lda #0
    sta scroll_x
    jsr camera_to_scroll
    lda #0
    sta floor_timer
    sta door_open
    sta gem_pitch
    lda #$FF
    sta gem_combo
    ldx #2
:   lda gems,x
    sta gems_start,x
    dex
    bpl :-
    lda #STATE_PLAY
    sta game_state
    ; the floor's music (started from the transition code); after a continue it picks up
    ; from its loop point (starting it again also ends the game over's fade)
    jsr tier_floor
    lda floor_music,x
    jsr music_choose
    jsr music_start2
    lda continuing
    beq :+
    lda #0
    sta continuing
    jsr music_reloop
:   jmp screen_on
.endproc

;; start_row/start_col := the floor's start marker (ptr0: its object list).
.proc find_start
    lda #0
    sta start_col
    ldy #0
:   lda (ptr0),y
    cmp #$FF
    beq none
    iny
    iny
    lda (ptr0),y
    iny
    cmp #ENT_START
    bne :-
    dey
    dey
    lda (ptr0),y
    sta start_col
    dey
    lda (ptr0),y
    sta start_row
    rts
none:
    lda lvl_rows
    sec
    sbc #2
    sta start_row
    lda #7
    sta start_col
    rts
.endproc

;; door_row/door_col := the exit door's lower metatile (searched in the floor map).
.proc find_door
    lda #0
    sta door_row
    sta door_col
    ldx #0
row:
    txa
    jsr map_row_ptr
    ldy #15
:   lda (ptr0),y
    cmp #MT_DOOR
    beq found
    dey
    bpl :-
    inx
    cpx lvl_rows
    bne row
    rts
found:
    stx door_row
    sty door_col
    rts
.endproc

;; One frame of a floor.
.proc play_update
    lda floor_timer
    cmp #JOIN_FRAMES
    bcs :+
    inc floor_timer
    jsr late_joins
:   jsr mage_update_all
    jsr bolts_update
    jsr objects_update
    jsr camera_update
    jsr floor_stream
    jsr objects_spawn
    jsr flush_pending
    jsr camera_to_scroll
    jsr crumble_update
    jsr timers
    jsr hud_draw
    jsr floor_captions
    jsr door_hint
    jsr mage_draw_all
    jsr bolts_draw
    jmp objects_draw
.endproc

;; The floor's first seconds: its name, and a line for each player who can still join
;; ("2P PRESS A" in that player's colours).
.proc floor_captions
    lda floor_timer
    cmp #JOIN_FRAMES
    bcs done
    cmp #CAPTION_FRAMES
    bcs joins
    jsr tier_floor
    txa
    clc
    adc #CAP_FLOOR
    tax
    jsr caption
joins:
    lda #JOIN_Y
    sta t1
    ldx #0
each:
    lda pl_state,x
    bne next
    stx t3                  ; the player's palette
    lda #JOIN_X
    sta t0
    txa
    clc
    adc #'1'
    jsr draw_sprite
    lda #JOIN_X + 8
    sta t0
    lda #<txt_join
    sta ptr0
    lda #>txt_join
    sta ptr0+1
    jsr draw_sprite_text
    lda t1
    clc
    adc #12
    sta t1
next:
    inx
    cpx #NUM_PLAYERS
    bne each
done:
    rts
.endproc

;; While a living mage stands in front of the open exit door, an arrow bobs over the door
;; and "UP" over the arrow.
.proc door_hint
    ldx #NUM_PLAYERS - 1
:   lda pl_state,x
    cmp #PS_ALIVE
    bne :+
    jsr mage_at_door
    bcs show
:   dex
    bpl :--
    rts
show:
    lda door_row            ; the top of the door: one row up
    sec
    sbc #1
    ldy door_col
    jsr cell_xy
    lda t1                  ; on the screen
    sec
    sbc cam_y
    sta t1
    lda t2
    sbc cam_y+1
    bne done
    lda t1
    cmp #HINT_ABOVE + 8
    bcc done
    lda frame_count         ; the arrow bobs
    lsr a
    lsr a
    lsr a
    and #3
    tax
    lda t1
    sec
    sbc #HINT_ABOVE
    clc
    adc hint_bob,x
    sta t1
    lda t0
    clc
    adc #4
    sta t0
    lda #3
    sta t3
    lda #TILE_ARROW_UP
    jsr draw_sprite
    lda t1
    sec
    sbc #9
    sta t1
    lda t0
    sec
    sbc #4
    sta t0
    lda #<txt_up
    sta ptr0
    lda #>txt_up
    sta ptr0+1
    jmp draw_sprite_text
done:
    rts
.endproc

;; The emerald combo, the wishing star and its jingle.
.proc timers
    lda gem_combo
    cmp #$FF
    beq :+
    inc gem_combo
:   lda star_timer
    beq :+
    dec star_timer
:   lda jingle
    beq done
    dec jingle
    bne done
    jsr music_resume        ; the jingle is over
done:
    rts
.endproc

;; The view climbs with the highest living mage and never goes back down.
.proc camera_update
    ldx #$FF
    jsr highest_mage
    cpy #$FF
    beq done
    lda pl_y,y              ; target := that mage's y - CAM_MARGIN (0 at least)
    sec
    sbc #CAM_MARGIN
    sta t0
    lda pl_yh,y
    sbc #0
    sta t1
    bcs :+
    lda #0
    sta t0
    sta t1
:   lda t0                  ; the view is already that high
    cmp cam_y
    lda t1
    sbc cam_y+1
    bcs done
    lda cam_y               ; distance = cam_y - target, at most CAM_SPEED
    sec
    sbc t0
    tax
    lda cam_y+1
    sbc t1
    bne fast
    cpx #CAM_SPEED
    bcc :+
fast:
    ldx #CAM_SPEED
:   stx t0
    lda cam_y
    sec
    sbc t0
    sta cam_y
    bcs done
    dec cam_y+1
done:
    rts
.endproc

;; Mage X picks up an emerald: quick pickups rise in pitch; every 100 give each mage a
;; heart. Keeps X.
.proc gem_collect
    lda gem_combo
    cmp #GEM_COMBO
    bcc :+
    lda #0
    sta gem_pitch
    beq sound
:   lda gem_pitch
    cmp #12
    bcs sound
    inc gem_pitch
sound:
    lda #0
    sta gem_combo
    lda #SFX_EMERALD
    ldy gem_pitch
    jsr sfx_play_y
    ; +1, in decimal
    inc gems
    lda gems
    cmp #10
    bcc done
    lda #0
    sta gems
    inc gems+1
    lda gems+1
    cmp #10
    bcc done
    lda #0
    sta gems+1
    lda gems+2
    cmp #9
    bcc :+
    lda #9                  ; 999 at most
    sta gems
    sta gems+1
    rts
:   inc gems+2
    ; a hundred: a heart for every living mage
    stx t6
    ldx #NUM_PLAYERS - 1
:   lda pl_state,x
    cmp #PS_ALIVE
    bne :+
    lda pl_hearts,x
    cmp #MAX_HEARTS
    bcs :+
    inc pl_hearts,x
:   dex
    bpl :--
    ldx t6
done:
    rts
.endproc
.export gem_collect

;; Mage X opened the chest of behaviour A at row t3, column t2: it stays open and lets out
;; what it held. Keeps X.
.proc open_chest
    sec
    sbc #MTT_CHEST_EMBER
    sta t5                  ; 0 ember, 1 emeralds, 2 heart, 3 star
    stx t6
    lda t3
    sta t4
    ldy t2
    sty t7
    ldx #MT_CHEST_OPEN
    jsr set_metatile
    play_sfx SFX_OPEN_CHEST
    ; what comes out rises from the chest
    lda t4
    ldy t7
    jsr cell_xy
    ldx t5
    lda chest_content,x
    jsr obj_spawn
    lda t5
    cmp #1                  ; emeralds: four more
    bne :+
    ldx #3
more:
    stx t7
    lda t0
    clc
    adc #2
    sta t0
    lda #KIND_GEM
    jsr obj_spawn
    ldx t7
    dex
    bne more
:   ldx t6
    rts
.endproc
.export open_chest
.export caption, joined_pressed_a, show_card

;; Mage X lit the brazier at row t3, column t2: the floor restarts here, ghosts come back,
;; every mage gets a heart. Keeps X.
.proc light_brazier
    stx t6
    lda t3
    sta ckpt_row
    lda t2
    sta ckpt_col
    ldy t2
    lda t3
    ldx #MT_BRAZIER_LIT
    jsr set_metatile
    play_sfx SFX_CHECKPOINT
    jsr brazier_flame
    ldy t6                  ; ghosts come back next to the one who lit it
    ldx #NUM_PLAYERS - 1
each:
    lda pl_state,x
    cmp #PS_GHOST
    bne :+
    jsr mage_revive
    jmp next
:   cmp #PS_ALIVE
    bne next
    lda pl_hearts,x
    cmp #MAX_HEARTS
    bcs next
    inc pl_hearts,x
next:
    dex
    bpl each
    ldx t6
    rts
.endproc
.export light_brazier

;; a flame object on the lit brazier at ckpt_row, ckpt_col
.proc brazier_flame
    lda ckpt_row
    ldy ckpt_col
    jsr cell_xy
    lda #KIND_FLAME
    jmp obj_spawn
.endproc

;; The floor pixels of the map cell at row A, column Y: x in t0, y in t1 (low) and t2
;; (high). Keeps X.
.proc cell_xy
    pha
    lsr a
    lsr a
    lsr a
    lsr a
    sta t2
    pla
    asl a
    asl a
    asl a
    asl a
    sta t1
    tya
    asl a
    asl a
    asl a
    asl a
    sta t0
    rts
.endproc
.export cell_xy

;; The ember reached the door: it opens.
.proc open_door
    lda door_row
    ldy door_col
    ldx #MT_DOOR_OPEN
    jsr set_metatile
    lda door_row
    sec
    sbc #1
    ldy door_col
    ldx #MT_DOOR_OPEN_TOP
    jsr set_metatile
    lda #1
    sta door_open
    play_sfx SFX_CHECKPOINT
    rts
.endproc
.export open_door

;; Mage X goes through the open exit door. When no living mage is left on the floor, the
;; floor is clear.
.proc mage_exits
    lda #PS_EXITED
    sta pl_state,x
    jsr count_alive
    beq last
    play_sfx SFX_LEVEL_EXIT
    rts
last:
    play_sfx SFX_LEVEL_EXIT2
    jmp floor_clear
.endproc
.export mage_exits

;; A = living mages on the floor (flags set by the count). Keeps X.
.proc count_alive
    ldy #0
    lda #PS_ALIVE
    cmp pl_state+0
    bne :+
    iny
:   cmp pl_state+1
    bne :+
    iny
:   cmp pl_state+2
    bne :+
    iny
:   cmp pl_state+3
    bne :+
    iny
:   tya
    rts
.endproc

;; Called when a mage became a ghost: with no living mage left the flame fades, unless
;; some went through the door already (then the floor is clear). Keeps X.
.proc game_over_check
    jsr count_alive
    bne done
    ldy #NUM_PLAYERS - 1
:   lda pl_state,y
    cmp #PS_EXITED
    beq clear
    dey
    bpl :-
    lda #STATE_OVER
    sta game_state
    lda #0
    sta state_timer
    jsr music_fade
done:
    rts
clear:
    jmp floor_clear
.endproc
.export game_over_check

;; The floor is clear: the fanfare plays once.
.proc floor_clear
    lda #STATE_CLEAR
    sta game_state
    lda #0
    sta state_timer
    play_music MUS_FANFARE
    rts
.endproc

;; Floor clear: the view stays, "CLEAR!" shows while the fanfare plays, then the next floor
;; (after a boss, the next tier's card; after the last, the ending).
.proc clear_update
    inc state_timer
    lda state_timer
    cmp #CLEAR_FRAMES
    beq next_floor
    jsr draw_floor_sprites
    ldx #CAP_CLEAR
    jmp caption
next_floor:
    lda #$FF
    sta ckpt_row
    inc floor_num
    lda floor_num
    cmp #TIER_FLOORS
    bcs tier_done
    jmp floor_start         ; everyone goes on; ghosts come back
tier_done:
    lda tier                ; the next tier's card, or the end
    cmp #NUM_TIERS - 1
    bcs :+
    inc tier
    lda #0
    sta floor_num
    jmp card_init
:   jmp end_init
.endproc

;; Game over: the music fades; a joined player's A continues the floor with full hearts
;; and the emeralds it started with.
.proc over_update
    lda state_timer
    cmp #$FF
    beq :+
    inc state_timer
:   jsr draw_floor_sprites
    ldx #CAP_OVER
    jsr caption
    lda state_timer
    cmp #90
    bcc done
    ldx #CAP_PRESS_A
    jsr caption
    jsr joined_pressed_a
    bcs continue
done:
    rts
continue:
    ldx #NUM_PLAYERS - 1
:   lda pl_state,x
    beq :+
    lda #PS_ALIVE
    sta pl_state,x
    lda #3
    sta pl_hearts,x
:   dex
    bpl :--
    ldx #2
:   lda gems_start,x
    sta gems,x
    dex
    bpl :-
    lda #0
    sta star_timer
    lda #1
    sta continuing
    jmp floor_start
.endproc

;; The floor's sprites while it stands still: the status display, the mages, the objects.
.proc draw_floor_sprites
    jsr hud_draw
    jsr mage_draw_all
    jmp objects_draw
.endproc

;; Draws caption X of the caption table in sprites.
.proc caption
    lda cap_lo,x
    sta ptr0
    lda cap_hi,x
    sta ptr0+1
    lda cap_x,x
    sta t0
    lda cap_y,x
    sta t1
    lda cap_pal,x
    sta t3
    jmp draw_sprite_text
.endproc

.assert START_FLOOR < TIER_FLOORS, error, "START_FLOOR is past the tier"
.assert START_TIER < NUM_TIERS, error, "START_TIER is past the spire"

.segment "RODATA"
start_dx: .byte 0, 24, <-24, 48    ; the four mages start side by side

;; what each chest holds, by its behaviour (ember, emeralds, heart, star)
chest_content: .byte KIND_EMBER, KIND_GEM, KIND_HEART, KIND_STAR

;; captions in sprites (at most 8 letters a line): text, screen x and y, palette
CAP_CLEAR = 0
CAP_OVER = 1
CAP_PRESS_A = 2
CAP_PRESS_A_END = 3
CAP_FLOOR = 4               ; the floors' names follow, one per floor of the spire
.define CAPTIONS txt_clear, txt_over, txt_press_a, txt_press_a, txt_floor1, txt_floor2, txt_floor3, txt_floor4, txt_floor21, txt_floor22, txt_floor23, txt_floor24, txt_floor31, txt_floor32, txt_floor33, txt_floor34, txt_floor41, txt_floor42, txt_floor43, txt_floor44
cap_lo:  .lobytes CAPTIONS
cap_hi:  .hibytes CAPTIONS
cap_x:   .byte 104, 92, 100, 100, 92, 92, 92, 96, 92, 92, 92, 96, 92, 92, 92, 96, 92, 92, 92, 96
cap_y:   .byte 96, 88, 112, 208, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 64
cap_pal: .byte 3, 0, 3, 3, 3, 3, 3, 0, 3, 3, 3, 0, 3, 3, 3, 0, 3, 3, 3, 0
.assert * - cap_pal = CAP_FLOOR + NUM_TIERS * TIER_FLOORS, error, "a caption per floor"
txt_clear:    .byte "CLEAR!", TXT_END
txt_over:     .byte "GAME OVER", TXT_END
txt_press_a:  .byte "PRESS A", TXT_END
txt_floor1:   .byte "FLOOR 1-1", TXT_END
txt_floor2:   .byte "FLOOR 1-2", TXT_END
txt_floor3:   .byte "FLOOR 1-3", TXT_END
txt_floor4:   .byte "BOSS 1-4", TXT_END
txt_floor21:  .byte "FLOOR 2-1", TXT_END
txt_floor22:  .byte "FLOOR 2-2", TXT_END
txt_floor23:  .byte "FLOOR 2-3", TXT_END
txt_floor24:  .byte "BOSS 2-4", TXT_END
txt_floor31:  .byte "FLOOR 3-1", TXT_END
txt_floor32:  .byte "FLOOR 3-2", TXT_END
txt_floor33:  .byte "FLOOR 3-3", TXT_END
txt_floor34:  .byte "BOSS 3-4", TXT_END
txt_floor41:  .byte "FLOOR 4-1", TXT_END
txt_floor42:  .byte "FLOOR 4-2", TXT_END
txt_floor43:  .byte "FLOOR 4-3", TXT_END
txt_floor44:  .byte "BOSS 4-4", TXT_END
txt_join:     .byte "P PRESS A", TXT_END
txt_up:       .byte "UP", TXT_END
hint_bob:     .byte 0, 1, 2, 1

card_palette:
    .byte $0F, $00, $10, $30, $0F, $06, $27, $38, $0F, $00, $10, $30, $0F, $00, $10, $30
    .byte $0F, $16, $0F, $30, $0F, $12, $0F, $30, $0F, $1A, $0F, $30, $0F, $27, $0F, $30

;; Each floor in its own colours: the wall (bricks, and the tier's own decoration in its
;; two colours: moss and roots, books and gold, vines and moonlit leaves), stone (shadow,
;; stone, top), wood and webs (dark, wood, light), treasure and portals (dark, green,
;; shine); then the four mages' colours. Colour 1 is the bricks' colour in every background
;; palette. Every floor's wall is the one brick metatile (MT_WALL), which chests, doors,
;; ledges and emeralds draw around themselves: a floor's look is in its colours alone.
.macro floor_colours bricks, deco, deco_light, stone, stone_top
    .byte $0F, bricks, deco, deco_light
    .byte $0F, bricks, stone, stone_top
    .byte $0F, bricks, $17, $37
    .byte $0F, bricks, $2A, $30
    .byte $0F, $16, $0F, $30    ; player 1 red (also hearts, spiders, the troll)
    .byte $0F, $12, $0F, $30    ; player 2 blue
    .byte $0F, $1A, $0F, $30    ; player 3 green (also emeralds, snakes)
    .byte $0F, $27, $0F, $30    ; player 4 orange (also ducks, stars, embers, flames)
.endmacro

;; the Cellars: mossy stone and roots
floor_look1: floor_colours $0C, $1B, $17, $00, $1A    ; the stairs: teal bricks, moss
floor_look2: floor_colours $08, $19, $17, $00, $19    ; the spider cellar: olive, overgrown
floor_look3: floor_colours $01, $0B, $07, $00, $2B    ; the deep cellar: blue, grey old stone
floor_look4: floor_colours $06, $06, $17, $00, $26    ; the troll's hall: ember-red brick

;; the Library: panelled walls with shelves of red and gold books and candles
floor_look21: floor_colours $07, $16, $28, $00, $10  ; the reading room: brown, red books
floor_look22: floor_colours $07, $12, $27, $00, $10  ; the hall of spears: blue bindings
floor_look23: floor_colours $08, $14, $28, $00, $3D  ; the sparking stacks: olive, purple
floor_look24: floor_colours $0F, $16, $28, $2D, $00  ; the Ink Goat's hall: black and red

;; the Gardens: a dark wall under the moon with vines and moonlit leaves
floor_look31: floor_colours $0B, $1A, $38, $18, $2A  ; the moon lawn: dark green, olive
floor_look32: floor_colours $02, $19, $3C, $0C, $2C  ; the web walk: night blue, teal
floor_look33: floor_colours $0C, $1A, $3A, $09, $1B  ; the sealed garden: deep teal
floor_look34: floor_colours $0F, $09, $38, $0B, $2A  ; the Thorn Serpent's court: black

;; the Crown: bare grey stone under the storm, with storm clouds and lightning
floor_look41: floor_colours $0C, $11, $38, $00, $10  ; the broken stair: grey stone, storm teal
floor_look42: floor_colours $2D, $01, $30, $00, $10  ; the storm gallery: dark grey
floor_look43: floor_colours $03, $02, $3C, $00, $10  ; the crumbling crown: purple
floor_look44: floor_colours $0F, $04, $34, $2D, $13  ; the Hollow Wisp's court: black

;; each floor of the spire's colours, by tier * 4 + floor
.define FLOOR_LOOKS floor_look1, floor_look2, floor_look3, floor_look4, floor_look21, floor_look22, floor_look23, floor_look24, floor_look31, floor_look32, floor_look33, floor_look34, floor_look41, floor_look42, floor_look43, floor_look44
floor_pal_lo: .lobytes FLOOR_LOOKS
floor_pal_hi: .hibytes FLOOR_LOOKS
