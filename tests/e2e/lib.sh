# Shared pieces of the end-to-end tests: a private X server, the program started in a
# directory of the test's own, windows found and closed, screenshots taken.
# Expects GAME (the program), XCLOSE (tools/xclose) and WORK (a scratch directory).

FAILS=0
PASSES=0

pass() { echo "PASS: $*"; PASSES=$((PASSES + 1)); }
fail() { echo "FAIL: $*"; FAILS=$((FAILS + 1)); }
expect_eq() {  # expect_eq WHAT ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then pass "$1"; else fail "$1: got '$2', expected '$3'"; return 1; fi
}
check() {  # check DESCRIPTION COMMAND...
    local what=$1; shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# within SECONDS COMMAND...: runs COMMAND and gives its status. One still running after
# SECONDS is stuck: the stacks of its threads are printed (when gdb is installed), it is
# killed and the status is 124, so that a hang fails its own test at once, with the place
within() {
    local limit=$1 report status watcher pid
    shift
    report=$(mktemp)
    "$@" &
    pid=$!
    # the watcher keeps no descriptor of the test's output: the test can end before it does
    (
        sleep "$limit" &
        trap 'kill $!; exit 0' TERM
        wait $!
        kill -0 $pid 2>/dev/null || exit 0
        echo "stuck after $limit s: $*" >"$report"
        command -v gdb >/dev/null && gdb -p $pid -batch -ex "thread apply all bt" >>"$report" 2>&1
        kill -9 $pid
    ) </dev/null >/dev/null 2>&1 &
    watcher=$!
    wait $pid
    status=$?
    kill $watcher 2>/dev/null
    wait $watcher 2>/dev/null
    if [ -s "$report" ]; then
        cat "$report" >&2
        status=124
    fi
    rm -f "$report"
    return $status
}

start_xvfb() {
    # the server chooses a free display number itself: other test runs may be starting theirs
    # at the same moment
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$WORK/display" ] && break
        kill -0 $XVFB_PID 2>/dev/null || break
        sleep 0.1
    done
    local n; n=$(head -n 1 "$WORK/display" 2>/dev/null)
    if [ -n "$n" ] && kill -0 $XVFB_PID 2>/dev/null; then
        export DISPLAY=:$n
        for _ in $(seq 50); do
            if xdotool getdisplaygeometry >/dev/null 2>&1; then
                # a window manager, as on a desktop: it places and moves windows,
                # tells programs where they are and hands out the focus
                openbox >"$WORK/openbox.log" 2>&1 &
                WM_PID=$!
                sleep 0.5
                return 0
            fi
            sleep 0.1
        done
    fi
    kill $XVFB_PID 2>/dev/null
    echo "could not start Xvfb" >&2
    return 1
}

stop_xvfb() {
    [ -n "${WM_PID:-}" ] && kill $WM_PID 2>/dev/null && wait $WM_PID 2>/dev/null
    WM_PID=
    [ -n "${XVFB_PID:-}" ] && kill $XVFB_PID 2>/dev/null && wait $XVFB_PID 2>/dev/null
    XVFB_PID=
}

# start_game DIR: runs the program with DIR as its working directory; sets GAME_PID
start_game() {
    (cd "$1" && exec "$GAME" >"$1/stdout.log" 2>"$1/stderr.log") &
    GAME_PID=$!
}

# wait_window: sets WIN to the program's window id, waiting up to 20 s
wait_window() {
    WIN=
    for _ in $(seq 200); do
        WIN=$(xdotool search --pid $GAME_PID --name 'Ember Spire' 2>/dev/null | head -n 1)
        [ -n "$WIN" ] && return 0
        if ! kill -0 $GAME_PID 2>/dev/null; then return 1; fi
        sleep 0.1
    done
    return 1
}

# wait_exit SECONDS: waits for the program to end; sets GAME_STATUS (124 on time-out)
wait_exit() {
    local limit=$(( $1 * 10 ))
    for _ in $(seq $limit); do
        if ! kill -0 $GAME_PID 2>/dev/null; then
            wait $GAME_PID
            GAME_STATUS=$?
            return 0
        fi
        sleep 0.1
    done
    kill -9 $GAME_PID 2>/dev/null
    wait $GAME_PID 2>/dev/null
    GAME_STATUS=124
    return 1
}

# key_to_window KEY: one press of KEY as a real keyboard gives it (XTEST), to the window that
# has the focus. A key sent to a window that the program then replaced (a mode switch) would
# lose its release there, and the program would take the next press for a held key
key_to_window() {
    xdotool key --clearmodifiers "$1"
}

window_geometry() {  # prints "X Y W H" of WIN
    xdotool getwindowgeometry --shell "$WIN" | awk -F= '
        /^X=/ {x=$2} /^Y=/ {y=$2} /^WIDTH=/ {w=$2} /^HEIGHT=/ {h=$2}
        END {print x, y, w, h}'
}

# screenshot FILE: the program's window as a PNG
screenshot() {
    /usr/bin/import -window "$WIN" "$1" 2>/dev/null
}

# cfg_value KEY [DIR]: a value from the configuration file
cfg_value() {
    local dir=${2:-$RUN}
    grep -m1 "^$1=" "$dir/Ember Spire.cfg" 2>/dev/null | cut -d= -f2-
}

# pixel NAME X Y: the colour of one pixel of the screenshot $WORK/NAME.png
pixel() {
    /usr/bin/convert "$WORK/$1.png" -format "%[pixel:p{$2,$3}]" info: 2>/dev/null
}

# is_grey LEVEL COLOUR: COLOUR (as ImageMagick names it) is the grey LEVEL,LEVEL,LEVEL
is_grey() {
    grep -qE "^(gray\($1\)|s?rgb\($1,$1,$1\))$" <<<"$2"
}

# pixel_diff A B: number of differing pixels between two images of one size; nothing when
# an image is missing or the sizes differ
pixel_diff() {
    local out
    out=$(/usr/bin/compare -metric AE "$1" "$2" null: 2>&1)
    [ $? -le 1 ] && awk '{print int($1)}' <<<"$out"
}

# The title screen twinkles and flickers in a cycle of TITLE_CYCLE frames. title_frames DIR:
# the runner's pictures of one whole cycle of the idle title, DIR/title-N.png (1x)
TITLE_CYCLE=64
title_frames() {
    local f shots=()
    mkdir -p "$1"
    for f in $(seq 300 $((300 + TITLE_CYCLE - 1))); do shots+=(--shot "$f:$1/title-$f.png"); done
    "$RUNNER" --frames $((300 + TITLE_CYCLE)) "${shots[@]}" >/dev/null 2>&1
}

# title_mask DIR SCALE OUT: white where the pictures in DIR ever differ (the stars and the
# flames), black elsewhere, scaled by SCALE (a percentage)
title_mask() {
    /usr/bin/convert "$1"/title-*.png -evaluate-sequence max "$1/max.png" &&
    /usr/bin/convert "$1"/title-*.png -evaluate-sequence min "$1/min.png" &&
    /usr/bin/convert "$1/max.png" "$1/min.png" -compose difference -composite \
        -colorspace gray -threshold 0 -sample "$2%" "$3"
}

# masked_diff A B MASK: pixels that differ between A and B outside the white of MASK
masked_diff() {
    /usr/bin/convert "$1" \( "$3" -negate \) -compose multiply -composite "$WORK/masked-a.png" &&
    /usr/bin/convert "$2" \( "$3" -negate \) -compose multiply -composite "$WORK/masked-b.png" &&
    pixel_diff "$WORK/masked-a.png" "$WORK/masked-b.png"
}

# nearest_diff IMAGE DIR: the fewest pixels by which IMAGE differs from a picture in DIR
nearest_diff() {
    local f d best=
    for f in "$2"/title-*.png; do
        d=$(pixel_diff "$1" "$f")
        [ -n "$d" ] && { [ -z "$best" ] || [ "$d" -lt "$best" ]; } && best=$d
        [ "$best" = 0 ] && break
    done
    echo "$best"
}

finish() {
    stop_xvfb
    echo "$PASSES passed, $FAILS failed"
    [ "$FAILS" -eq 0 ]
}
