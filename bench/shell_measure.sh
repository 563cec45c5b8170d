#!/usr/bin/env bash
# Measures the real program under Xvfb: the time from process start until its first picture
# is on screen (read back from the X server by bench/first-picture; several runs, median),
# and the CPU the program uses while it runs the title screen at 60 fps.
# Several programs (an older build beside the new one, say) are measured in turn, run for
# run, so that the load of a shared machine falls on each alike.
# usage: bench/shell_measure.sh [RUNS [PROGRAM...]]   (from the source folder; the build
#        folder is $BUILD, default build; needs Xvfb and xdotool)
set -u
BUILD=$(realpath "${BUILD:-build}")
RUNS=${1:-9}
shift
PROGRAMS=("$@")
[ ${#PROGRAMS[@]} -gt 0 ] || PROGRAMS=("$BUILD/game/ember-spire")
PROBE=$BUILD/bench/first-picture
WORK=$(mktemp -d /tmp/vek-measure.XXXXXX)
. "$(dirname "$0")/../tests/e2e/lib.sh"
trap '[ -n "${GAME_PID:-}" ] && kill -9 $GAME_PID 2>/dev/null && wait $GAME_PID 2>/dev/null; stop_xvfb; rm -rf "$WORK"' EXIT
[ -x "$PROBE" ] || { echo "build $PROBE first"; exit 1; }
export ALSOFT_DRIVERS=${ALSOFT_DRIVERS:-null}
start_xvfb || exit 1

fresh_run() {  # a working directory with the assets and a settings file that asks nothing
    RUN=$WORK/run; rm -rf "$RUN"; mkdir -p "$RUN"
    ln -s "$BUILD/game/music" "$RUN/music"; ln -s "$BUILD/game/sfx" "$RUN/sfx"
    printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"
}

declare -A times
for i in $(seq "$RUNS"); do
    for p in "${!PROGRAMS[@]}"; do
        fresh_run
        ms=$("$PROBE" "$RUN" "$(realpath "${PROGRAMS[$p]}")" 2>"$WORK/pid")
        GAME_PID=$(head -n 1 "$WORK/pid")
        kill -9 "$GAME_PID" 2>/dev/null; wait "$GAME_PID" 2>/dev/null; GAME_PID=
        [ -n "$ms" ] || { echo "${PROGRAMS[$p]} run $i: no picture"; exit 1; }
        times[$p]="${times[$p]:-} $ms"
        sleep 0.3
    done
done
for p in "${!PROGRAMS[@]}"; do
    sorted=$(printf '%s\n' ${times[$p]} | sort -n | tr '\n' ' ')
    median=$(printf '%s\n' ${times[$p]} | sort -n |
        awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2] + v[NR/2+1]) / 2}')
    printf 'start to first picture on screen: median %s ms of %d runs (%s) %s\n' \
        "$median" "$RUNS" "$sorted" "${PROGRAMS[$p]}"
done

GAME=$(realpath "${PROGRAMS[0]}")
fresh_run
start_game "$RUN"
wait_window || { echo "no window"; exit 1; }
sleep 3
hz=$(getconf CLK_TCK)
read -r u0 s0 < <(awk '{print $14, $15}' /proc/$GAME_PID/stat)
w0=$(date +%s.%N)
sleep 10
read -r u1 s1 < <(awk '{print $14, $15}' /proc/$GAME_PID/stat)
w1=$(date +%s.%N)
title=$(xdotool getwindowname "$WIN")
printf 'CPU while running the title screen: %.1f %% of one core (%s)\n' \
    "$(echo "(($u1 + $s1 - $u0 - $s0) / $hz) / ($w1 - $w0) * 100" | bc -l)" "$title"
