#!/usr/bin/env bash
# The video settings dialog of the real program under Xvfb, driven with the keyboard:
# scaling resizes the window and is saved, the border colour cycles, the vsync and
# screen-mode switches show their notices over the dialog and are saved, the dialog is seen
# again when a notice closes, full screen and back puts the window back where it was with
# its zoom, and a change made as the window closes is saved.
# usage: video_e2e.sh GAME XCLOSE [SCREENSHOT_DIR]
set -u
GAME=$(realpath "$1"); XCLOSE=$(realpath "$2"); SHOTS=${3:-}
WORK=$(mktemp -d /tmp/vek-e2e-video.XXXXXX)
. "$(dirname "$0")/lib.sh"
trap 'stop_xvfb; [ -n "${GAME_PID:-}" ] && kill -9 $GAME_PID 2>/dev/null; rm -rf "$WORK"' EXIT
[ -n "$SHOTS" ] && mkdir -p "$SHOTS"

keys() {  # keys KEY...: one press each, with time for a frame or two in between
    local k
    for k in "$@"; do
        key_to_window "$k"
        sleep 0.3
    done
}
shot() {  # with a time limit: a window that was just replaced cannot be captured
    timeout 10 /usr/bin/import -window "$WIN" "$WORK/$1.png" 2>/dev/null
    [ -n "$SHOTS" ] && cp "$WORK/$1.png" "$SHOTS/video-$1.png"
}
differs() {  # differs A B MIN: at least MIN pixels differ
    local d; d=$(pixel_diff "$WORK/$1.png" "$WORK/$2.png")
    [ -n "$d" ] && [ "$d" -ge "$3" ]
}
size_is() {  # size_is W H: the window's size
    local g; g=$(window_geometry)
    [ "$(echo "$g" | cut -d' ' -f3-4)" = "$1 $2" ]
}
# the vsync and screen-mode switches create a new window: find it again
refind() {
    sleep 1
    wait_window || return 1
    xdotool windowactivate --sync "$WIN" 2>/dev/null; xdotool windowfocus --sync "$WIN" 2>/dev/null
    sleep 0.5
}
# the configuration file is written at the end of the drawn frame after the change
settled() { sleep 0.5; }
# the video dialog (200 x 68) in a window that its picture fills: a point inside its left
# edge (overlay 31,140), outside any notice
dialog_seen() {
    local w; w=$(/usr/bin/identify -format '%w' "$WORK/$1.png" 2>/dev/null)
    is_grey 72 "$(pixel "$1" $(( 31 * ${w:-0} / 256 + 1 )) $(( 140 * ${w:-0} / 256 + 1 )))"
}

start_xvfb || exit 1
RUN=$WORK/run; mkdir -p "$RUN"
printf 'skipControllerConfig=1\nwindowViewportX=100\nwindowViewportY=100\n' >"$RUN/Ember Spire.cfg"
start_game "$RUN"
wait_window || { fail "a window appears"; cat "$RUN/stderr.log"; finish; exit 1; }
xdotool windowactivate --sync "$WIN" 2>/dev/null; xdotool windowfocus --sync "$WIN" 2>/dev/null
sleep 2

# --- menu -> Video Settings
keys Escape Down Down Return
settled
shot dialog
check "the video dialog opens from the menu" [ -s "$WORK/dialog.png" ]

# --- Scaling: -1 -> 0 -> 2 (the window takes the 2x size) -> 0 -> -1
keys Down Right
settled
check "Right on Scaling gives integral scaling (zoom=$(cfg_value zoom))" [ "$(cfg_value zoom)" = 0 ]
shot integral
check "the dialog shows the new scaling" differs dialog integral 10
keys Right
settled
check "Right again skips 1 and forces 2x (zoom=$(cfg_value zoom))" [ "$(cfg_value zoom)" = 2 ]
check "forced 2x sizes the window to 512 x 480 ($(window_geometry))" size_is 512 480
keys Left Left
settled
check "Left twice goes back to stretching (zoom=$(cfg_value zoom))" [ "$(cfg_value zoom)" = -1 ]

# --- Border Color: dark gray -> black -> gray
keys Down Down Right
settled
check "Right on Border Color from dark gray gives black ($(cfg_value borderColor))" [ "$(cfg_value borderColor)" = 000000 ]
keys Right
settled
check "and then gray ($(cfg_value borderColor))" [ "$(cfg_value borderColor)" = 222222 ]

# --- Vsync: off -> on, with its notice over the dialog
keys Up Right
refind
shot vsync-notice
check "Right on Vsync switches it on (vsync=$(cfg_value vsync))" [ "$(cfg_value vsync)" = 1 ]
keys Return
sleep 0.5
shot after-vsync
check "Continue closes the notice" differs vsync-notice after-vsync 200
check "and the video dialog under it is seen again at once" dialog_seen after-vsync

# --- Mode: windowed -> fullscreen -> windowed, each with its notice; the window comes back
# to its place and size
before=$(window_geometry)
keys Up Up Right
refind
shot fullscreen-notice
check "Right on Mode switches to full screen (fullscreen=$(cfg_value fullscreen))" [ "$(cfg_value fullscreen)" = 1 ]
keys Return Left
refind
shot windowed-notice
check "Left on Mode switches back to a window (fullscreen=$(cfg_value fullscreen))" [ "$(cfg_value fullscreen)" = 0 ]
keys Return
sleep 1.5   # the position is recorded once a second
check "stretched, the window is back at its place and size ($before -> $(window_geometry))" [ "$(window_geometry)" = "$before" ]

# --- Force 2x: full screen and back twice keeps the zoom, the window's place and its size
keys Down Right Right
settled
before=$(window_geometry)
check "forced 2x again (zoom=$(cfg_value zoom), $before)" [ "$(cfg_value zoom)" = 2 ]
keys Up
for round in 1 2; do
    keys Right
    refind
    check "full screen at 2x (round $round: fullscreen=$(cfg_value fullscreen), zoom=$(cfg_value zoom))" \
        [ "$(cfg_value fullscreen)/$(cfg_value zoom)" = "1/2" ]
    keys Return Left
    refind
    keys Return
    sleep 1.5   # the position is recorded once a second
    check "and back: the window at its place and size, still 2x (round $round: $before -> $(window_geometry), zoom=$(cfg_value zoom))" \
        [ "$(window_geometry)" = "$before" -a "$(cfg_value zoom)" = 2 ]
done
check "its place is the one it started at ($(cfg_value windowViewportX),$(cfg_value windowViewportY))" \
    [ "$(cfg_value windowViewportX),$(cfg_value windowViewportY)" = "100,100" ]
keys Down Left Left   # back to stretching
settled

# --- Back twice: the main menu with Video Settings marked, whose Accept reopens the dialog
keys Escape Escape
sleep 0.3
shot menu
keys Return
sleep 0.3
shot dialog-again
check "Back twice returns to the menu with Video Settings marked" differs menu dialog-again 200

# --- a change made as the window closes: the program is held still while the key and the
# close request queue up, so that no frame is drawn between them
keys Down Down Down   # Border Color
kill -STOP $GAME_PID
xdotool key --window "$WIN" Right 2>/dev/null
"$XCLOSE" "$WIN" >/dev/null 2>&1
kill -CONT $GAME_PID
wait_exit 10
check "the program ends when its window is closed (status $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
check "the settings are in the file after exit, the last one made as the window closed" \
    [ "$(cfg_value zoom)/$(cfg_value borderColor)/$(cfg_value vsync)/$(cfg_value fullscreen)" = "-1/111111/1/0" ]

finish
