#!/usr/bin/env bash
# The real program under Xvfb: window, title with the frame rate, the picture, closing,
# the window position kept across runs, no display, a read-only working directory.
# usage: shell_e2e.sh GAME XCLOSE RUNNER
set -u
GAME=$(realpath "$1"); XCLOSE=$(realpath "$2"); RUNNER=$(realpath "$3")
WORK=$(mktemp -d /tmp/vek-e2e-shell.XXXXXX)
chmod 755 "$WORK"
. "$(dirname "$0")/lib.sh"
trap 'stop_xvfb; [ -n "${GAME_PID:-}" ] && kill -9 $GAME_PID 2>/dev/null; rm -rf "$WORK"' EXIT

start_xvfb || exit 1

# --- a first start in an empty directory
RUN=$WORK/first; mkdir -p "$RUN"
start_game "$RUN"
if wait_window; then
    pass "a window appears"
    read -r x y w h <<<"$(window_geometry)"
    check "the window is 768 x 720 (got ${w}x${h})" [ "$w" = 768 -a "$h" = 720 ]
    sleep 4
    title=$(xdotool getwindowname "$WIN")
    fps=$(sed -n 's/^Ember Spire (\([0-9]*\) fps)$/\1/p' <<<"$title")
    check "the title shows the frame rate of about 60 ('$title')" [ -n "$fps" ] && [ "${fps:-0}" -ge 50 ] && [ "${fps:-0}" -le 62 ]
    # move the window and let the loop record the new position (once a second)
    xdotool windowmove "$WIN" 210 140
    sleep 2.5
    read -r mx my w h <<<"$(window_geometry)"
    "$XCLOSE" "$WIN"
    wait_exit 10
    check "closing the window ends the program with status 0 (got $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
    check "a configuration file was written" [ -f "$RUN/Ember Spire.cfg" ]
    # the window manager's frame shifts the numbers a little; what matters is the same place
    cx=$(cfg_value windowViewportX); cy=$(cfg_value windowViewportY)
    check "the moved window's position is in it ($cx,$cy for a window at $mx,$my)" \
        [ "${cx:-0}" -ge 200 -a "${cx:-0}" -le 220 -a "${cy:-0}" -ge 130 -a "${cy:-0}" -le 190 ]
    check "the missing configuration was reported in error.log" \
        grep -q "Failed to load configuration file 'Ember Spire.cfg'" "$RUN/error.log"

    # --- the second start puts the window back
    start_game "$RUN"
    if wait_window; then
        sleep 1
        read -r x y w h <<<"$(window_geometry)"
        check "a second start puts the window back at $mx,$my (got $x,$y)" [ "$x" = "$mx" -a "$y" = "$my" ]
        "$XCLOSE" "$WIN"; wait_exit 10
    else
        fail "second start shows a window"
    fi
else
    fail "a window appears"
    cat "$RUN/stderr.log"
fi

# --- the title screen, scaled into the window (controller question answered before)
RUN=$WORK/picture; mkdir -p "$RUN"
printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"
start_game "$RUN"
if wait_window; then
    sleep 5
    screenshot "$WORK/window.png"
    "$XCLOSE" "$WIN"; wait_exit 10
    # the window shows the console picture at 3x: scale it back down and find it among the
    # headless runner's pictures of one cycle of the title's stars and flames
    /usr/bin/convert "$WORK/window.png" -sample 256x240\! "$WORK/window-1x.png"
    title_frames "$WORK/title"
    diff=$(nearest_diff "$WORK/window-1x.png" "$WORK/title")
    check "the window shows the cartridge's title screen ($diff of 61440 pixels differ)" [ -n "$diff" ] && [ "$diff" = 0 ]
    [ -n "${VEK_E2E_KEEP:-}" ] && cp "$WORK/window.png" "$VEK_E2E_KEEP/shell-window.png"
else
    fail "the picture test shows a window"
fi

# --- no display: status 1 and the reason in error.log
RUN=$WORK/nodisplay; mkdir -p "$RUN"
(cd "$RUN" && DISPLAY= timeout 20 "$GAME" >/dev/null 2>&1); status=$?
check "without a display the program exits with status 1 (got $status)" [ "$status" = 1 ]
check "error.log names al_create_display" grep -q "al_create_display failed" "$RUN/error.log"

# --- a read-only working directory: run as an unprivileged user, who cannot write there
RUN=$WORK/readonly; mkdir -p "$RUN"; chmod 555 "$RUN"
if command -v setpriv >/dev/null && [ "$(id -u)" = 0 ]; then
    (cd "$RUN" && exec setpriv --reuid=65534 --regid=65534 --clear-groups "$GAME" >"$WORK/ro-stdout.log" 2>"$WORK/ro-stderr.log") &
    GAME_PID=$!
    if wait_window; then
        sleep 3
        title=$(xdotool getwindowname "$WIN")
        check "in a read-only directory the game still runs ('$title')" grep -q 'fps)' <<<"$title"
        "$XCLOSE" "$WIN"; wait_exit 10
        check "and exits with status 0 (got $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
        check "the failed save is reported on standard error" grep -qi "save" "$WORK/ro-stderr.log"
    else
        fail "in a read-only directory the game shows a window"
        cat "$WORK/ro-stderr.log"
    fi
else
    echo "SKIP: read-only directory test needs root and setpriv"
fi

finish
