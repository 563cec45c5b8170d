#!/usr/bin/env bash
# The video settings dialog of the real program under Xvfb, driven with the keyboard:
# scaling resizes the window and is saved, the border colour cycles, the vsync and
# screen-mode switches show their notices over the dialog and are saved.
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
        xdotool key --window "$WIN" --clearmodifiers "$k" 2>/dev/null || xdotool key "$k"
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

start_xvfb || exit 1
RUN=$WORK/run; mkdir -p "$RUN"
printf 'skipControllerConfig=1\n' >"$RUN/Ember Spire.cfg"
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

# --- Mode: windowed -> fullscreen -> windowed, each with its notice
keys Up Up Right
refind
shot fullscreen-notice
check "Right on Mode switches to full screen (fullscreen=$(cfg_value fullscreen))" [ "$(cfg_value fullscreen)" = 1 ]
keys Return Left
refind
shot windowed-notice
check "Left on Mode switches back to a window (fullscreen=$(cfg_value fullscreen))" [ "$(cfg_value fullscreen)" = 0 ]
keys Return

# --- Back twice: the main menu with Video Settings marked, whose Accept reopens the dialog
keys Escape Escape
sleep 0.3
shot menu
keys Return
sleep 0.3
shot dialog-again
check "Back twice returns to the menu with Video Settings marked" differs menu dialog-again 200

"$XCLOSE" "$WIN" >/dev/null 2>&1
wait_exit 10
check "the program ends when its window is closed (status $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
check "the settings are in the file after exit" \
    [ "$(cfg_value zoom)/$(cfg_value borderColor)/$(cfg_value vsync)/$(cfg_value fullscreen)" = "-1/222222/1/0" ]

finish
