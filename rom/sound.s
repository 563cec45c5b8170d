; The sound driver. The program that carries this cartridge listens for jumps to the nine
; entry points below and plays the music and effects itself; the driver keeps track of
; what is playing in RAM (track, position, pause, fade and three effect voices), so the game
; can ask, and nothing here depends on a sound chip. Every entry point keeps X and Y; only
; the effect entries and the choose entry are called with arguments (in A and Y).
;
; The entry points sit at fixed addresses, some of them only one to three bytes apart:
;   $9100 start       $912E start (second way in)   $91C5 fade   $91C8 restart loop
;   $91C9 choose      $9208 pause   $9215 resume    $9230 effect with pitch   $9232 effect
; Internal routines fill the gaps and are only ever entered by their own labels: no jump
; inside the driver targets an entry point, so each hook fires once per call.

.include "ember.inc"

SND_PLAYING = $01   ; snd_flags bits
SND_PAUSED  = $02
SND_FADING  = $04

FADE_FRAMES = 90    ; frames from full volume to silence
SFX_FRAMES  = 30    ; frames an effect voice counts as busy

.segment "SOUNDZP": zeropage
;; $90-$9F: the driver's page-zero state. snd_pending must be $91: the restart entry at
;; $91C8 is a JMP whose operand bytes ($85 $91) are the choose entry's "sta $91".
snd_flags:     .res 1   ; SND_* bits
snd_pending:   .res 1   ; track chosen for the next start, $FF: none
snd_track:     .res 1   ; track playing, $FF: none
snd_fade:      .res 1   ; frames of fade left
snd_sfx_arg:   .res 1   ; pitch for the next effect: set by $9230, used and cleared by $9232
snd_sfx_num:   .res 1   ; the effect being started
snd_next:      .res 1   ; the voice the next effect takes (round robin)
snd_time:      .res 2   ; frames since the track started or looped
snd_loops:     .res 1   ; how often the game restarted the loop

.segment "BSS"
snd_voice_sfx:   .res 3 ; effect number per voice
snd_voice_pitch: .res 3 ; pitch steps per voice (signed)
snd_voice_time:  .res 3 ; frames left per voice, 0: idle
.export snd_voice_sfx, snd_voice_pitch, snd_voice_time
.exportzp snd_flags, snd_pending, snd_track, snd_time

.assert snd_pending = $91, error, "snd_pending must be at $91"

;; pads the driver up to the entry point at ADDR
.macro pad_to addr
    .res (addr - $9100) - (* - driver_base), $EA
.endmacro

.segment "SOUND"
driver_base:

;; $9100: starts the chosen track, or stops the music when none is chosen.
.proc entry_start
    jsr start_common
    rts
.endproc

;; plays snd_pending if one is chosen (and forgets it), otherwise stops
.proc start_common
    lda snd_pending
    bmi stop
    sta snd_track
    lda #$FF
    sta snd_pending
    lda #SND_PLAYING
    sta snd_flags
    lda #0
    sta snd_time
    sta snd_time+1
    rts
stop:
    lda #$FF
    sta snd_track
    lda #0
    sta snd_flags
    rts
.endproc

    pad_to $912E
;; $912E: the same as $9100, for the transition code.
.proc entry_start2
    jsr start_common
    rts
.endproc

;; once per frame: advances the track position and the fade, and frees finished voices
.proc sound_update
    lda snd_flags
    and #SND_PLAYING
    beq voices
    lda snd_flags
    and #SND_PAUSED
    bne voices
    inc snd_time
    bne :+
    inc snd_time+1
:   lda snd_flags
    and #SND_FADING
    beq voices
    dec snd_fade
    bne voices
    lda #0                  ; faded out: silence
    sta snd_flags
    lda #$FF
    sta snd_track
voices:
    ldx #2
loop:
    lda snd_voice_time,x
    beq :+
    dec snd_voice_time,x
:   dex
    bpl loop
    rts
.endproc

    pad_to $9185
;; reached from the restart entry ($91C8): back to the loop point, at full volume
.proc reloop_impl
    lda snd_track
    bmi done                ; nothing to restart
    lda #SND_PLAYING
    sta snd_flags
    lda #0
    sta snd_time
    sta snd_time+1
    inc snd_loops
done:
    rts
.endproc

;; silence and empty voices, at power-on
.proc sound_init
    lda #$FF
    sta snd_pending
    sta snd_track
    lda #0
    sta snd_flags
    sta snd_sfx_arg
    sta snd_next
    sta snd_loops
    ldx #2
:   sta snd_voice_time,x
    dex
    bpl :-
    rts
.endproc

    pad_to $91C5
;; $91C5: fades the music out.
.proc entry_fade
    jmp fade_impl
.endproc

;; $91C8: restarts the music from its loop point. The JMP's operand doubles as the code of
;; the choose entry one byte further on.
entry_reloop:
    .byte $4C               ; jmp $9185 (reloop_impl): the next two bytes are $85 $91
;; $91C9: A = the track that the next start plays.
entry_choose:
    sta snd_pending         ; $85 $91
    rts

.proc fade_impl
    lda snd_flags
    and #SND_PLAYING
    beq done
    lda snd_flags
    ora #SND_FADING
    sta snd_flags
    lda #FADE_FRAMES
    sta snd_fade
done:
    rts
.endproc

    pad_to $9208
;; $9208: pauses the music (the position stops advancing).
.proc entry_pause
    pha
    lda snd_flags
    ora #SND_PAUSED
    sta snd_flags
    pla
    rts
.endproc

    pad_to $9215
;; $9215: resumes the paused music.
.proc entry_resume
    pha
    lda snd_flags
    and #<~SND_PAUSED
    sta snd_flags
    pla
    rts
.endproc

    pad_to $9230
;; $9230: effect A with Y pitch steps; falls into the plain effect entry.
entry_sfx_pitch:
    sty snd_sfx_arg         ; two bytes: the next entry follows at once
;; $9232: effect A at its normal pitch (or at the pitch just stored above).
.proc entry_sfx
    sta snd_sfx_num
    txa
    pha
    ldx snd_next
    lda snd_sfx_num
    sta snd_voice_sfx,x
    lda snd_sfx_arg
    sta snd_voice_pitch,x
    lda #SFX_FRAMES
    sta snd_voice_time,x
    inx
    cpx #3
    bcc :+
    ldx #0
:   stx snd_next
    lda #0                  ; the pitch applies to one effect only
    sta snd_sfx_arg
    pla
    tax
    lda snd_sfx_num
    rts
.endproc

.assert entry_start     = music_start,  error, "start entry must be at $9100"
.assert entry_start2    = music_start2, error, "second start entry must be at $912E"
.assert reloop_impl     = $9185,        error, "the restart entry jumps to $9185"
.assert entry_fade      = music_fade,   error, "fade entry must be at $91C5"
.assert entry_reloop    = music_reloop, error, "restart entry must be at $91C8"
.assert entry_choose    = music_choose, error, "choose entry must be at $91C9"
.assert entry_pause     = music_pause,  error, "pause entry must be at $9208"
.assert entry_resume    = music_resume, error, "resume entry must be at $9215"
.assert entry_sfx_pitch = sfx_play_y,   error, "pitched effect entry must be at $9230"
.assert entry_sfx       = sfx_play,     error, "effect entry must be at $9232"
