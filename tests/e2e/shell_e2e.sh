#!/usr/bin/env bash
# The real program under Xvfb: window, title with the frame rate, the picture, closing,
# the window position kept across runs (and brought back from off the screen), Alt+Enter
# held down, no display, a display re-creation that fails (the notice on screen and the
# settings file after it), a read-only working directory.
# usage: shell_e2e.sh GAME XCLOSE RUNNER FAILING_DISPLAY
set -u
GAME=$(realpath "$1"); XCLOSE=$(realpath "$2"); RUNNER=$(realpath "$3"); FAILING=$(realpath "$4")
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
    check "the title shows the frame rate of about 60 ('$title')" [ "${fps:-0}" -ge 50 -a "${fps:-0}" -le 62 ]
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
    check "the window shows the cartridge's title screen ($diff of 61440 pixels differ)" [ "${diff:-x}" = 0 ]
    [ -n "${VEK_E2E_KEEP:-}" ] && cp "$WORK/window.png" "$VEK_E2E_KEEP/shell-window.png"
else
    fail "the picture test shows a window"
fi

# --- a stored position on no monitor: right of the 1920-wide screen, title bar above its top
RUN=$WORK/offscreen; mkdir -p "$RUN"
printf 'skipControllerConfig=1\nwindowViewportX=3000\nwindowViewportY=-40\n' >"$RUN/Ember Spire.cfg"
start_game "$RUN"
if wait_window; then
    sleep 1.5
    read -r x y w h <<<"$(window_geometry)"
    # the window manager's frame adds a pixel or two around the window
    check "a window stored off the screen opens on it ($x,$y ${w}x$h)" [ "$x" -ge 0 -a $((x + w)) -le 1924 -a "$y" -ge 0 ]
    "$XCLOSE" "$WIN"; wait_exit 10
    check "and that place is kept ($(cfg_value windowViewportX),$(cfg_value windowViewportY))" \
        [ "$(cfg_value windowViewportX)" -le $((1920 - 768)) -a "$(cfg_value windowViewportY)" -ge 0 ]
else
    fail "a window stored off the screen appears"
fi

# --- Alt+Enter held down, then typed quickly: one switch per press, the notice takes the
# next Enter, and the window comes back to where it was. Typed as on a keyboard, to the window with the focus.
RUN=$WORK/altenter; mkdir -p "$RUN"
printf 'skipControllerConfig=1\nwindowViewportX=100\nwindowViewportY=100\n' >"$RUN/Ember Spire.cfg"
start_game "$RUN"
hold_alt_enter() {
    xdotool keydown alt keydown Return
    sleep 1.5
    xdotool keyup Return keyup alt
    sleep 1
    wait_window && xdotool windowactivate --sync "$WIN" 2>/dev/null
    sleep 0.5
}
# enter_closes_notice NAME DESCRIPTION: one Enter changes the window's picture as the
# notice on it closes
enter_closes_notice() {
    timeout 10 /usr/bin/import -window "$WIN" "$WORK/$1-notice.png"
    xdotool key Return
    sleep 0.5
    timeout 10 /usr/bin/import -window "$WIN" "$WORK/$1-continued.png"
    local d; d=$(pixel_diff "$WORK/$1-notice.png" "$WORK/$1-continued.png")
    check "$2 ($d pixels changed)" [ "${d:-0}" -ge 2000 ]
    [ -n "${VEK_E2E_KEEP:-}" ] && cp "$WORK/$1-notice.png" "$WORK/$1-continued.png" "$VEK_E2E_KEEP/"
}
if wait_window; then
    xdotool windowactivate --sync "$WIN" 2>/dev/null
    sleep 1.5
    before=$(window_geometry)
    hold_alt_enter
    check "held Alt+Enter switches to full screen once (fullscreen=$(cfg_value fullscreen))" [ "$(cfg_value fullscreen)" = 1 ]
    enter_closes_notice held "the notice takes the next Enter"
    # typed quickly, as most players do: the Enter is let go while the window is being
    # replaced, and the first Enter after it still closes the notice
    xdotool key alt+Return
    sleep 1.5
    wait_window && xdotool windowactivate --sync "$WIN" 2>/dev/null
    sleep 0.5
    enter_closes_notice quick "after a quick Alt+Enter the first Enter closes the notice"
    check "typed quickly: back in the window, which has not moved ($before -> $(window_geometry))" \
        [ "$(cfg_value fullscreen)" = 0 -a "$(window_geometry)" = "$before" ]
    check "no surplus notices were asked for" bash -c "! grep -q 'multiple modal' '$RUN/error.log'"
    "$XCLOSE" "$WIN"; wait_exit 10
    check "the place stays stored ($(cfg_value windowViewportX),$(cfg_value windowViewportY))" \
        [ "$(cfg_value windowViewportX),$(cfg_value windowViewportY)" = "100,100" ]
else
    fail "the Alt+Enter test shows a window"
fi

# --- a screen-mode switch whose new display the system refuses: the program stays in the
# mode it was in (a window, or full screen), its notice says so, and the settings file keeps
# that mode and every other value as it was; when the display of that mode is refused too,
# the program ends with status 1
DATA=$(realpath "$(dirname "$0")/../data")
# settings_of FILE: the key=value lines of a settings file, sorted
settings_of() { grep -v '^#' "$1" | grep '=' | sort; }
# expected_settings KEY=VALUE...: the default file's settings with these values in place
expected_settings() {
    local kv lines; lines=$(settings_of "$DATA/default.cfg")
    for kv in "$@"; do lines=$(sed "s|^${kv%%=*}=.*|$kv|" <<<"$lines"); done
    echo "$lines"
}
# notice_matches SHOT SCALE REFERENCE [HEIGHT]: the 150 x HEIGHT notice (90 unless given) in
# the middle of the picture (drawn SCALE times, centred in the screenshot SHOT) is, pixel for
# pixel, the one of the unit test's reference picture REFERENCE (1:1): its text and option
# inside the outline. The outline is left out: the display's line drawing may put it a row
# away from where the memory bitmaps of the unit test have it.
notice_matches() {
    local w h d inside="144x$((${4:-90} - 8))+56+$((120 - ${4:-90} / 2 + 4))"
    read -r w h <<<"$(/usr/bin/identify -format '%w %h' "$1")"
    /usr/bin/convert "$1" -alpha off -crop "$((256 * $2))x$((240 * $2))+$((w / 2 - 128 * $2))+$((h / 2 - 120 * $2))" \
        +repage -sample '256x240!' -crop "$inside" +repage "$WORK/notice-seen.png" &&
    /usr/bin/convert "$3" -alpha off -crop "$inside" +repage "$WORK/notice-expected.png" || return 1
    d=$(pixel_diff "$WORK/notice-seen.png" "$WORK/notice-expected.png")
    [ "${d:-x}" = 0 ] || { echo "  the notice on screen differs from $(basename "$3") in ${d:-all} pixels"; return 1; }
}
for case in window fullscreen vsync lost; do
    RUN=$WORK/refused-$case; mkdir -p "$RUN"
    fails=1; scale=3; notice=dialog_fullscreen_refused; mode=0; height=90
    case $case in
    vsync)
        printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"
        notice=dialog_vsync_refused; height=60 ;;
    window|lost)
        printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"
        [ $case = lost ] && fails=2 ;;
    fullscreen)
        # a fixed 4x picture on the 1920 x 1080 screen, its size already stored
        stored="skipControllerConfig=1 fullscreen=1 fullscreenViewportX=0 fullscreenViewportY=0
                fullscreenViewportW=1024 fullscreenViewportH=960 zoom=4"
        printf '%s\n' $stored >"$RUN/Ember Spire.cfg"
        scale=4; notice=dialog_windowed_refused; mode=1 ;;
    esac
    (cd "$RUN" && exec "$FAILING" $fails >"$RUN/stdout.log" 2>"$RUN/stderr.log") &
    GAME_PID=$!
    if ! wait_window; then
        fail "the failing-display program shows a window ($case)"
        continue
    fi
    xdotool windowactivate --sync "$WIN" 2>/dev/null
    sleep 2.5   # a window's place is recorded once a second
    if [ $case = fullscreen ]; then
        expected_settings $stored >"$WORK/expected.txt"
    else
        settings_of "$RUN/Ember Spire.cfg" >"$WORK/expected.txt"
    fi
    if [ $case = vsync ]; then
        # Video Settings, then Right on Vsync; the notice comes over the dialog
        for k in Escape Down Down Return Down Down Right; do key_to_window $k; sleep 0.3; done
        sleep 1
        wait_window && xdotool windowactivate --sync "$WIN" 2>/dev/null
        sleep 0.5
    else
        # held as a hand holds it: the releases reach the window that has the focus by then
        hold_alt_enter
    fi
    if [ $case = lost ]; then
        wait_exit 10
        check "with no display at all it exits with status 1 (got $GAME_STATUS)" [ "$GAME_STATUS" = 1 ]
    else
        sleep 1
        title=$(xdotool getwindowname "$WIN" 2>/dev/null)
        timeout 10 /usr/bin/import -window "$WIN" "$WORK/refused-$case.png" 2>/dev/null
        size=$(/usr/bin/identify -format '%wx%h' "$WORK/refused-$case.png" 2>/dev/null)
        [ -n "${VEK_E2E_KEEP:-}" ] && cp "$WORK/refused-$case.png" "$VEK_E2E_KEEP/shell-refused-$case.png"
        if [ $case != fullscreen ]; then
            check "a refused $case switch leaves the game running in a window ('$title', $size)" \
                [ "${title%fps)}" != "$title" -a "$size" = 768x720 ]
        else
            check "a refused window leaves the game running in full screen ($size)" [ "$size" = 1920x1080 ]
        fi
        check "the notice on screen says the setting could not be changed ($notice)" \
            notice_matches "$WORK/refused-$case.png" $scale "$DATA/$notice.png" $height
        check "the settings file keeps the mode in use (fullscreen=$(cfg_value fullscreen))" [ "$(cfg_value fullscreen)" = $mode ]
        settings_of "$RUN/Ember Spire.cfg" >"$WORK/saved.txt"
        check "and every other setting as it was ($(diff "$WORK/expected.txt" "$WORK/saved.txt" | grep '^[<>]' | tr '\n' ' '))" \
            diff -q "$WORK/expected.txt" "$WORK/saved.txt"
        xdotool key Return
        sleep 0.5
        timeout 10 /usr/bin/import -window "$WIN" "$WORK/refused-$case-continued.png" 2>/dev/null
        d=$(pixel_diff "$WORK/refused-$case.png" "$WORK/refused-$case-continued.png")
        check "Continue closes the notice ($d pixels changed)" [ "${d:-0}" -ge 2000 ]
        "$XCLOSE" "$WIN"; wait_exit 10
        check "the program then ends normally (status $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
        settings_of "$RUN/Ember Spire.cfg" >"$WORK/saved.txt"
        check "and leaves the settings as they were ($(diff "$WORK/expected.txt" "$WORK/saved.txt" | grep '^[<>]' | tr '\n' ' '))" \
            diff -q "$WORK/expected.txt" "$WORK/saved.txt"
    fi
    check "the refusal is in error.log ($case)" grep -q "could not be re-created" "$RUN/error.log"
done

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
