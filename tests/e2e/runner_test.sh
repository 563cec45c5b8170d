#!/usr/bin/env bash
# vek-runner against the probe cartridge (runner_probe.s), whose pictures, RAM and reports
# are known in advance: input scripts, screenshots, hashes, budget reports, dumps, failures.
# usage: runner_test.sh VEK_RUNNER PROBE_IMAGE WORK_DIR
set -u
RUNNER=$(realpath "$1")
PROBE=$(realpath "$2")
WORK=$3
. "$(dirname "$(realpath "$0")")/lib.sh"
rm -rf "$WORK"
mkdir -p "$WORK"
cd "$WORK" || exit 1

pixel_at() {  # pixel_at FILE X Y: RRGGBB
    /usr/bin/convert "$1" -alpha off -format "%[hex:p{$2,$3}]" info: 2>/dev/null
}
run() {  # run ARGS...: the runner on the probe; output in out.txt, status in STATUS
    within 60 "$RUNNER" --rom "$PROBE" "$@" >out.txt 2>err.txt
    STATUS=$?
    [ $STATUS = 124 ] && fail "the runner got stuck with $*: $(cat err.txt)"
}

# a script: A held on frames 3 and 4, a soft reset before frame 6
cat >script.txt <<'SCRIPT'
# frame player buttons
3 1 A       # A from frame 3 on
5 1 -       # nothing from frame 5 on
6 reset
SCRIPT
run --frames 8 --input script.txt --shot 2:f2.png --shot 3:f3.png --shot 5:f5.png --shot 7:f7.png
expect_eq "script run exits 0" "$STATUS" 0
expect_eq "tile 1 at the top-left" "$(pixel_at f2.png 0 0)$(pixel_at f2.png 7 7)$(pixel_at f2.png 8 8)" A62721A62721000000
expect_eq "backdrop black before A" "$(pixel_at f2.png 100 100)" 000000
expect_eq "backdrop white while A is held" "$(pixel_at f3.png 100 100)" FFFFFF
expect_eq "backdrop black after A is let go" "$(pixel_at f5.png 100 100)" 000000
# frame 2 is the third frame: the sprite stands at x 3, rows 64-71
expect_eq "sprite placed by frame count" \
    "$(pixel_at f2.png 2 64) $(pixel_at f2.png 3 64) $(pixel_at f2.png 10 71) $(pixel_at f2.png 11 64) $(pixel_at f2.png 3 72)" \
    "000000 FFFFFF FFFFFF 000000 000000"
# the reset before frame 6 starts the walk again: x 2 after frame 7
expect_eq "soft reset from the script" "$(pixel_at f7.png 1 64) $(pixel_at f7.png 2 64) $(pixel_at f7.png 9 64)" \
    "000000 FFFFFF FFFFFF"
expect_eq "screenshot size" "$(/usr/bin/identify -format '%wx%h' f7.png)" 256x240
expect_eq "no budget frames" "$(tail -n 1 out.txt)" "runner: 8 frames, 0 ended by budget"
run --frames 8 --input script.txt --shot 7:m7.png --margins
expect_eq "screenshot with margins" "$(/usr/bin/identify -format '%wx%h' m7.png) $(pixel_at m7.png 10 72)" \
    "272x264 FFFFFF"

# hashes: one line per frame, equal pictures hash equal, stored hashes are checked
run --frames 6 --hashes --hold 0:1:A
expect_eq "hashes exit 0" "$STATUS" 0
expect_eq "one hash line per frame" "$(grep -c '^frame [0-9]* hash [0-9a-f]\{16\}$' out.txt)" 6
cp out.txt hashes.txt
run --frames 6 --hold 0:1:0x01 --expect hashes.txt
expect_eq "same run matches its stored hashes" "$STATUS $(tail -n 1 out.txt)" "0 runner: 0 of 6 hashes checked differ"
sed 's/^frame 4 hash .*/frame 4 hash 0123456789abcdef/' hashes.txt >changed.txt
mkdir -p mismatch
run --frames 6 --hold '0:1:$01' --expect changed.txt --mismatch-dir mismatch
expect_eq "a changed hash fails with status 2" "$STATUS" 2
expect_eq "the changed frame is named" "$(grep -c '^frame 4 hash .* differs: expected 0123456789abcdef' out.txt)" 1
expect_eq "its picture is saved" "$(pixel_at mismatch/frame-4.png 100 100)" FFFFFF
run --frames 6 --expect hashes.txt
expect_eq "other input gives other pictures" "$STATUS" 2

# a frame without the frame-done marker (B held in frame 2) is reported, and fails --strict
run --frames 5 --cycles --hold 2:1:B --hold 3:1:-
expect_eq "budget frame is not a failure by default" "$STATUS" 0
expect_eq "budget frame reported" "$(grep '^frame 2 ended by budget' out.txt | wc -l) $(tail -n 1 out.txt)" \
    "1 runner: 5 frames, 1 ended by budget: 2"
expect_eq "cycles of the budget frame" "$(grep -c '^frame 2 cycles 5956[2-9]$' out.txt)" 1
expect_eq "cycles of a frame that ends at the marker" "$(grep -c '^frame 3 cycles 2978[0-9] vblank [0-9]*$' out.txt)" 1
run --frames 5 --strict --hold 2:1:B --hold 3:1:-
expect_eq "budget frame fails --strict" "$STATUS" 2

# RAM after 10 frames: the buttons last read and the sprite's x
run --frames 10 --hold 0:2:A --hold 0:1:RLDUSsA --hold 9:1:0x81 --dump-ram ram.bin --dump-vram vram.bin
expect_eq "dumps exit 0" "$STATUS" 0
expect_eq "RAM dump size" "$(stat -c %s ram.bin) $(stat -c %s vram.bin)" "2048 16384"
expect_eq "RAM holds buttons and position" "$(od -An -tx1 -N2 ram.bin | tr -d ' ')" 810a
expect_eq "video memory holds the backdrop byte" "$(od -An -tx1 -j $((0x3F00)) -N2 vram.bin | tr -d ' ')" 3016

# the CPU trace of one frame: the interrupt handler's controller loop and its return
run --frames 4 --trace 2:trace.txt
expect_eq "trace exits 0" "$STATUS" 0
expect_eq "trace holds the frame's instructions" \
    "$(grep -c ' LSR$' trace.txt) $(grep -c ' RTI$' trace.txt)" "8 1"

# mistakes are refused with status 1
head -c 1000 "$PROBE" >short.bin
"$RUNNER" --rom short.bin --frames 1 >/dev/null 2>&1
expect_eq "short image refused" "$?" 1
printf '3 5 A\n' >bad.txt
run --frames 1 --input bad.txt
expect_eq "player 5 refused" "$STATUS $(grep -c 'bad.txt:1: player must be 1 to 4' err.txt)" "1 1"
printf '3 1 AX\n' >bad.txt
run --frames 1 --input bad.txt
expect_eq "unknown button refused" "$STATUS" 1
run --frames 3 --shot 3:late.png
expect_eq "screenshot past the last frame refused" "$STATUS" 1
run --frames 1 --shot 0:/nonexistent/dir/x.png
expect_eq "unwritable screenshot refused" "$STATUS" 1
run --frames 1 --bogus
expect_eq "unknown option refused" "$STATUS" 1
"$RUNNER" --help >help.txt 2>&1
expect_eq "help" "$? $(grep -c 'FRAME PLAYER BUTTONS' help.txt)" "0 1"

echo "$FAILS failed"
[ "$FAILS" -eq 0 ]
