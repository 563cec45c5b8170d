#!/usr/bin/env bash
# The overlay menus of the real program under Xvfb, driven with the keyboard through
# xdotool: the start-up question answered Yes and its capture saved, the main menu pausing
# the game, keys let go in a menu, audio and input settings reaching the configuration file,
# a rebound key playing the game, reset and exit.
# usage: menus_e2e.sh GAME XCLOSE RUNNER [SCREENSHOT_DIR]
set -u
GAME=$(realpath "$1"); XCLOSE=$(realpath "$2"); RUNNER=$(realpath "$3"); SHOTS=${4:-}
WORK=$(mktemp -d /tmp/vek-e2e-menus.XXXXXX)
. "$(dirname "$0")/lib.sh"
trap 'stop_xvfb; [ -n "${GAME_PID:-}" ] && kill -9 $GAME_PID 2>/dev/null; rm -rf "$WORK"' EXIT
[ -n "$SHOTS" ] && mkdir -p "$SHOTS"

keys() {  # keys KEY...: one press each, with time for a frame or two in between
    local k
    for k in "$@"; do
        key_to_window "$k"
        sleep 0.25
    done
}
press() {  # press KEY: held for a few frames, so that the game sees it
    xdotool keydown --window "$WIN" "$1" 2>/dev/null || xdotool keydown "$1"
    sleep 0.2
    xdotool keyup --window "$WIN" "$1" 2>/dev/null || xdotool keyup "$1"
}
shot() {  # shot NAME: screenshot into the work folder (and the kept folder)
    screenshot "$WORK/$1.png"
    [ -n "$SHOTS" ] && cp "$WORK/$1.png" "$SHOTS/menus-$1.png"
}
# the title's stars and flames move by themselves: pictures are compared without them
differs() {  # differs A B MIN: at least MIN pixels differ
    local d; d=$(masked_diff "$WORK/$1.png" "$WORK/$2.png" "$WORK/title-mask.png")
    [ -n "$d" ] && [ "$d" -ge "$3" ]
}
same() {  # same A B: at most a handful of pixels differ
    local d; d=$(masked_diff "$WORK/$1.png" "$WORK/$2.png" "$WORK/title-mask.png")
    [ -n "$d" ] && [ "$d" -le 50 ]
}

title_frames "$WORK/title" && title_mask "$WORK/title" 300 "$WORK/title-mask.png" ||
    { fail "the runner's title pictures"; exit 1; }

start_xvfb || exit 1
RUN=$WORK/run; mkdir -p "$RUN"
start_game "$RUN"
wait_window || { fail "a window appears"; cat "$RUN/stderr.log"; finish; exit 1; }
xdotool windowactivate --sync "$WIN" 2>/dev/null; xdotool windowfocus --sync "$WIN" 2>/dev/null
sleep 2


# --- first start: the question about configuring a controller, answered Yes; the capture of
# player 1's eight buttons follows, where Escape keeps a button's binding and moves on
shot question
# the question's box (128 x 50, centred, grey 72) at 3x: its inside left edge
px=$(pixel question 205 300)
check "a first start asks about configuring a controller (box colour $px)" is_grey 72 "$px"
keys Return
shot capture
keys Escape Escape Escape Escape a f Escape Escape
sleep 0.3
shot captured
keys Return   # "Return to Game"
sleep 1
check "the answer is remembered (skipControllerConfig=$(cfg_value skipControllerConfig))" \
    [ "$(cfg_value skipControllerConfig)" = 1 ]
check "the captured key is saved (player1ControlB=$(cfg_value player1ControlB))" [ "$(cfg_value player1ControlB)" = "97:" ]
check "Escape kept the other bindings ($(cfg_value player1ControlLeft) $(cfg_value player1ControlDown) $(cfg_value player1ControlStart))" \
    [ "$(cfg_value player1ControlLeft)/$(cfg_value player1ControlDown)/$(cfg_value player1ControlStart)" = "1313:/1361:/369:" ]
sleep 2
shot title

# --- Escape opens the menu and the game stands still
press a  # player 1 joins
sleep 0.5
xdotool keydown Right; sleep 0.3   # not as far as the wall: the walk goes on after the menu
shot walking1
sleep 0.3
shot walking2
check "without a menu the mage walks (picture changes)" differs walking1 walking2 20
keys Escape
sleep 0.5
shot menu1
sleep 1
shot menu2
xdotool keyup Right
check "Escape opens the main menu over the game" differs walking2 menu1 200
check "while the menu is open the game does not advance" same menu1 menu2

# --- Audio Settings: music volume 100 -> 80, kept in the file after exit
keys Down Down Down Return
sleep 0.3
shot audio-before
keys Left Left
sleep 0.3
shot audio
check "the audio dialog draws the lower volume" differs audio-before audio 5
keys Escape Escape   # Back marks "Return to Menu", Back again returns to the menu
shot menu-audio-marked
keys Escape          # Back on the main menu resumes the game

# --- Right was let go while the menu was open: the mage stands still once it closes
shot resumed1
sleep 0.7
shot resumed2
# the stars and flames are masked out; the fairy's wings still flap (a few hundred pixels),
# a walking mage changes thousands
d=$(masked_diff "$WORK/resumed1.png" "$WORK/resumed2.png" "$WORK/title-mask.png")
check "a key let go in the menu is let go in the game ($d pixels changed)" [ "${d:-999999}" -lt 600 ]

# --- Down pressed in the menu and let go in the game leaves nothing behind: the next menu
# does not scroll by itself
keys Escape
xdotool keydown --window "$WIN" Down 2>/dev/null || xdotool keydown Down
sleep 0.1
keys Escape
xdotool keyup --window "$WIN" Down 2>/dev/null || xdotool keyup Down
keys Escape
sleep 1.5
shot menu-still
# the selection bar on "Resume" (overlay 83,91 at 3x)
px=$(pixel menu-still 252 285)
check "the next menu stays on Resume (bar colour $px)" is_grey 120 "$px"
keys Escape
sleep 0.5

# --- Input Settings: keys shown by name, then player 1's A rebound to J
keys Escape Down Return
sleep 0.3
shot input
keys Down Down Down Down Down Down Down Down Down Return
sleep 0.3
shot input-capture
# the dialog at 3x (rows 150 to 569 of the window) names the keys as the picture the dialog
# tests approved for this state: "[ LEFT ]" in the Left row, "[ S ]" in the Select row (the
# window system draws the frames' lines a row apart from the memory bitmaps: text only)
/usr/bin/convert "$WORK/input-capture.png" -crop 768x420+0+150 +repage -sample 256x140 "$WORK/input-dialog.png"
/usr/bin/convert "$(dirname "$0")/../data/dialog_input_capture.png" -crop 256x140+0+50 +repage "$WORK/input-reference.png"
for row in 34 104; do
    /usr/bin/convert "$WORK/input-dialog.png" -crop 155x8+95+$row +repage "$WORK/keys-$row.png"
    /usr/bin/convert "$WORK/input-reference.png" -crop 155x8+95+$row +repage "$WORK/keys-ref-$row.png"
    d=$(pixel_diff "$WORK/keys-$row.png" "$WORK/keys-ref-$row.png")
    check "Input Settings names the bound key as the approved picture does (line at $row: $d pixels differ)" [ "$d" = 0 ]
done
keys s Up Up Up Return   # Select keeps S; then A
sleep 0.3
keys j
sleep 0.3
shot input-rebound
check "the rebinding is saved (player1ControlA=$(cfg_value player1ControlA))" [ "$(cfg_value player1ControlA)" = "161:" ]
keys Escape Escape Escape
sleep 0.5

# --- reset through its confirmation: the joined mage is gone afterwards
keys Escape Up Up Return
sleep 0.3
shot reset-question
keys Return
for _ in $(seq 10); do
    sleep 0.5
    shot after-reset
    same title after-reset && break
done
check "Reset Game brings back the empty title screen" same title after-reset

# --- the rebound key plays the game: J joins player 1, A no longer does
press a
sleep 1
shot after-a
check "the old key A no longer makes the mage appear" same after-reset after-a
press j
# a busy machine may take a moment: look again for up to five seconds
for _ in $(seq 10); do
    sleep 0.5
    shot after-j
    differs after-reset after-j 20 && break
done
check "the new key J makes player 1's mage appear" differs after-reset after-j 20

# --- Exit through its confirmation
keys Escape Up Return
sleep 0.3
shot exit-question
keys Return
wait_exit 10
check "Exit ends the program with status 0 (got $GAME_STATUS)" [ "$GAME_STATUS" = 0 ]
check "the music volume is in the file after the program exits ($(cfg_value musicVolume))" \
    [ "$(cfg_value musicVolume)" = 80 ]

finish
