#!/usr/bin/env bash
# The game's recorded runs (tests/data/runs/*.txt, made by tools/autoplay from the .plan files
# beside them) played by vek-runner on the embedded cartridge: every frame after power-on
# ends at the frame-done marker, the game never misses a vertical blank, and the RAM at the
# end of each run holds what the run achieved. Screenshots of the marked moments are left
# in WORK_DIR/shots for people to look at.
# usage: game_runs.sh VEK_RUNNER RUNS_DIR LABEL_FILE WORK_DIR
set -u
RUNNER=$1
RUNS=$2
LABELS=$3
WORK=$4
. "$(dirname "$(realpath "$0")")/lib.sh"
rm -rf "$WORK"
mkdir -p "$WORK/shots"
cd "$WORK" || exit 1

# ram NAME [INDEX]: the byte of work RAM at the label NAME (+ INDEX) after the last run
ram() {
    local hex addr
    hex=$(awk -v n=".$1" '$3 == n { print $2; exit }' "$LABELS")
    if [ -z "$hex" ]; then echo "no-label-$1"; return; fi
    addr=$(( (16#$hex + ${2:-0}) & 0x7FF ))
    od -An -tu1 -j "$addr" -N 1 ram.bin | tr -d ' '
}

# play RUN: the whole recording, with a screenshot at each marked moment
play() {
    local run=$1 script="$RUNS/$1.txt" frames shots=()
    frames=$(awk '/^# end at frame/ { print $5 + 1 }' "$script")
    if [ -z "$frames" ]; then fail "$run: no end mark in the recording"; return 1; fi
    while read -r name frame; do
        shots+=(--shot "$frame:shots/$run-$name.png")
    done < <(awk '$1 == "#" && $3 == "at" && $4 == "frame" && $2 != "end" { print $2, $5 }' "$script")
    within 120 "$RUNNER" --frames "$frames" --input "$script" --dump-ram ram.bin --cycles \
        --sound-log "$run.sound" "${shots[@]}" >"$run.out" 2>"$run.err"
    expect_eq "$run: runner exits 0" "$?" 0 || cat "$run.err"
    # the power-on frame polls vertical blank with the NMI off; every later frame has a marker
    expect_eq "$run: only the power-on frame ends by budget" \
        "$(grep -o 'ended by budget.*' "$run.out" | tail -1)" "ended by budget: 0"
    expect_eq "$run: no lag frame" "$(ram lag_count)" 0
    # the NMI's video work must fit in the console's vertical blank (2,273 CPU cycles)
    local vblank
    vblank=$(awk '$3 == "cycles" && $5 == "vblank" && $6 + 0 > m { m = $6 + 0 } END { print m + 0 }' "$run.out")
    if [ "$vblank" -le 2273 ]; then pass "$run: vertical-blank work at most $vblank cycles"; else fail "$run: vertical-blank work $vblank cycles"; fi
}

# heard RUN ENTRY A: the run's sound log holds a call of ENTRY (e.g. 9232) with that A (hex)
heard() {
    grep -q "^frame [0-9]* \\\$$2 A=\\\$$3 " "$1.sound"
}
# expect_heard RUN WHAT ENTRY A...: each A value reached the driver through ENTRY
expect_heard() {
    local run=$1 what=$2 entry=$3 a
    shift 3
    for a in "$@"; do
        if heard "$run" "$entry" "$a"; then pass "$run: $what \$$a heard"; else fail "$run: $what \$$a never heard"; fi
    done
}

# one player climbs the whole spire, beats every boss, sees the ending and is back at the title
if play spire_solo; then
    expect_eq "spire_solo: back at the title" "$(ram game_state)" 0
    expect_eq "spire_solo: the Crown was the last tier" "$(ram tier)" 3
    expect_eq "spire_solo: past the boss floor" "$(ram floor_num)" 4
    expect_eq "spire_solo: the Hollow Wisp is beaten" "$(ram boss_hp)" 0
    hearts=$(ram pl_hearts 0)
    if [ "$hearts" -ge 1 ]; then pass "spire_solo: hearts left ($hearts)"; else fail "spire_solo: no hearts left"; fi
    gems=$(( $(ram gems 2) * 100 + $(ram gems 1) * 10 + $(ram gems 0) ))
    if [ "$gems" -ge 100 ]; then pass "spire_solo: emeralds ($gems)"; else fail "spire_solo: only $gems emeralds"; fi
    expect_eq "spire_solo: the intro music plays" "$(ram snd_track)" 5
    # the title, the cards and the ending, the Cellars' march, the Library's heroic music,
    # the Crown's spooky music, the Gardens' dreamy music, the Hollow Wisp's evil music,
    # fanfare, boss
    expect_heard spire_solo "track" 91C9 05 00 08 01 02 03 04 06 07
    # boss hit, dash, wind-up; the Library's fire put out, bubbles, spears, sparks; the
    # Gardens' portals and snakes; the Crown's wisps and the Hollow Wisp's breath
    expect_heard spire_solo "effect" 9232 1C 0E 20 0D 12 13 1E 1D 1F 21 0F
    expect_heard spire_solo "the last boss's fade" 91C5 ..
fi

# four players climb the whole spire together, beat the Hollow Wisp, see the ending, and
# the fourth player's A takes them back to the title
if play spire_four; then
    expect_eq "spire_four: back at the title" "$(ram game_state)" 0
    expect_eq "spire_four: the Crown was the last tier" "$(ram tier)" 3
    expect_eq "spire_four: past the boss floor" "$(ram floor_num)" 4
    expect_eq "spire_four: the Hollow Wisp is beaten" "$(ram boss_hp)" 0
    for p in 0 1 2 3; do
        hearts=$(ram pl_hearts $p)
        if [ "$hearts" -ge 1 ]; then pass "spire_four: mage $((p + 1)) has hearts ($hearts)"; else fail "spire_four: mage $((p + 1)) has no hearts"; fi
    done
    expect_heard spire_four "effect" 9232 1C 0D 12 13 1E 1D 1F 21 0F 20 0E
    expect_heard spire_four "the last boss's fade" 91C5 ..
fi

# four players climb the first floor together
if play floor1_four; then
    expect_eq "floor1_four: the floor is clear" "$(ram game_state)" 3
    expect_eq "floor1_four: first floor" "$(ram floor_num)" 0
    for p in 0 1 2 3; do
        expect_eq "floor1_four: mage $((p + 1)) went through the door" "$(ram pl_state $p)" 3
    done
    expect_eq "floor1_four: the fanfare plays" "$(ram snd_track)" 6
fi

# every mage a ghost: game over, then the floor again after a continue
if play game_over; then
    expect_eq "game_over: climbing again" "$(ram game_state)" 2
    expect_eq "game_over: the same floor" "$(ram floor_num)" 0
    expect_eq "game_over: alive again" "$(ram pl_state 0)" 1
    expect_eq "game_over: three hearts" "$(ram pl_hearts 0)" 3
    expect_eq "game_over: the emeralds it started the floor with" "$(ram gems 0)$(ram gems 1)$(ram gems 2)" 000
    expect_eq "game_over: the march plays on" "$(ram snd_track)" 8
fi

# every heart lost on the Library's first floor: the continue restarts that floor of that tier
if play tier2_over; then
    expect_eq "tier2_over: climbing again" "$(ram game_state)" 2
    expect_eq "tier2_over: still the Library" "$(ram tier)" 1
    expect_eq "tier2_over: its first floor" "$(ram floor_num)" 0
    expect_eq "tier2_over: alive again" "$(ram pl_state 0)" 1
    expect_eq "tier2_over: three hearts" "$(ram pl_hearts 0)" 3
    expect_eq "tier2_over: the heroic music plays on" "$(ram snd_track)" 1
    expect_heard tier2_over "the fade and the return to the loop" 91C5 ..
    expect_heard tier2_over "" 91C8 ..
fi

# together the runs reach every sound the game has: each of the 34 effects, the 9 tracks and
# the driver's 9 entry points
every=1
for e in $(seq 0 33); do
    grep -qh "\\\$923[02] A=\\\$$(printf '%02X' "$e") " ./*.sound || { fail "effect $e never heard"; every=0; }
done
for t in $(seq 0 8); do
    grep -qh "\\\$91C9 A=\\\$0$t " ./*.sound || { fail "track $t never chosen"; every=0; }
done
for entry in 91C9 9100 912E 91C5 91C8 9208 9215 9230 9232; do
    grep -qh "\\\$$entry " ./*.sound || { fail "entry \$$entry never called"; every=0; }
done
if [ "$every" = 1 ]; then pass "every effect, track and entry point heard"; fi

echo "screenshots: $WORK/shots"
if [ "$FAILS" -ne 0 ]; then
    echo "$FAILS check(s) failed"
    exit 1
fi
echo "all checks passed"
