#!/usr/bin/env bash
# Measures the real program under Xvfb: the time from process start until the title screen
# is on screen, and the CPU the program uses while it runs the title screen at 60 fps.
# usage: bench/shell_measure.sh [build/game/ember-spire]   (needs Xvfb, xdotool, ImageMagick)
set -u
GAME=$(realpath "${1:-build/game/ember-spire}")
WORK=$(mktemp -d /tmp/vek-measure.XXXXXX)
. "$(dirname "$0")/../tests/e2e/lib.sh"
trap 'stop_xvfb; [ -n "${GAME_PID:-}" ] && kill -9 $GAME_PID 2>/dev/null; rm -rf "$WORK"' EXIT
start_xvfb || exit 1

RUN=$WORK/run; mkdir -p "$RUN"
cp -r "$(dirname "$GAME")/music" "$(dirname "$GAME")/sfx" "$RUN/" 2>/dev/null
printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"

t0=$(date +%s.%N)
start_game "$RUN"
wait_window || { echo "no window"; exit 1; }
# the first screenshot with anything but black in it
while :; do
    /usr/bin/import -window "$WIN" "$WORK/s.png" 2>/dev/null || continue
    colours=$(/usr/bin/identify -format '%k' "$WORK/s.png" 2>/dev/null)
    [ "${colours:-1}" -gt 1 ] && break
    [ "$(echo "$(date +%s.%N) - $t0 > 20" | bc)" = 1 ] && { echo "no picture after 20 s"; exit 1; }
done
t1=$(date +%s.%N)
printf 'start to title screen on screen: %.0f ms\n' "$(echo "($t1 - $t0) * 1000" | bc)"

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
