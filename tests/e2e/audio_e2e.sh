#!/usr/bin/env bash
# The program's sound under Xvfb: OpenAL Soft's wave back-end records the mixed output,
# and the recording of the first seconds after start holds the title music.
# usage: audio_e2e.sh GAME XCLOSE GAME_DIR
set -u
GAME=$(realpath "$1"); XCLOSE=$(realpath "$2"); ASSETS=$(realpath "$3")
WORK=$(mktemp -d /tmp/vek-e2e-audio.XXXXXX)
. "$(dirname "$0")/lib.sh"
trap 'stop_xvfb; [ -n "${GAME_PID:-}" ] && kill -9 $GAME_PID 2>/dev/null; rm -rf "$WORK"' EXIT

start_xvfb || exit 1
RUN=$WORK/run; mkdir -p "$RUN"
cp -r "$ASSETS/music" "$ASSETS/sfx" "$RUN/"
printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"
cat >"$WORK/alsoft.conf" <<CONF
[general]
drivers = wave
[wave]
file = $WORK/out.wav
CONF

(cd "$RUN" && ALSOFT_DRIVERS= ALSOFT_CONF="$WORK/alsoft.conf" exec "$GAME" >"$RUN/stdout.log" 2>"$RUN/stderr.log") &
GAME_PID=$!
if wait_window; then
    sleep 6
    "$XCLOSE" "$WIN"
    wait_exit 15
    check "the program exits with status 0 (got $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
    check "the title screen asked for the intro music" grep -q 'jsr-hook \$91C9 (play music)' "$RUN/stdout.log"
    check "no sound file failed to load" bash -c "! grep -q 'Could not load' '$RUN/stderr.log'"
    check "the output was recorded" [ -s "$WORK/out.wav" ]
    if [ -s "$WORK/out.wav" ]; then
        # loudness of the recording after the first half second
        rms=$(sox "$WORK/out.wav" -n trim 0.5 stat 2>&1 | awk '/RMS +amplitude/ {print $3}')
        len=$(sox "$WORK/out.wav" -n stat 2>&1 | awk '/Length \(seconds\)/ {print $3}')
        check "the recording lasts seconds ($len s)" awk -v l="${len:-0}" 'BEGIN {exit !(l >= 3)}'
        check "the recording is not silent (RMS $rms)" awk -v r="${rms:-0}" 'BEGIN {exit !(r > 0.01)}'
    fi
else
    fail "a window appears"
    cat "$RUN/stderr.log"
fi
finish
