#!/usr/bin/env bash
# Makes the README's pictures of the game (docs/title.png, docs/floor.png) with the headless
# runner from the cartridge the build embeds: two players on the title screen, then four
# players spreading out on the first floor. The pictures are 512 x 480, the console's
# picture at 2x. Run it after a build when the game's look has changed.
# usage: tools/readme_shots.sh [VEK_RUNNER]   (default: build/tools/runner/vek-runner)
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
RUNNER=${1:-$ROOT/build/tools/runner/vek-runner}
TITLE_FRAME=90      # players 1 and 2 have joined and walked apart
FLOOR_FRAME=624     # the first floor: three mages jumping, one casting
WORK=$(mktemp -d /tmp/readme-shots.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# frame, player, buttons (the runner's input script)
cat >"$WORK/input.txt" <<'INPUT'
20 1 A
24 1 -
30 2 A
34 2 -
40 1 R
66 1 -
40 2 L
52 2 -
# players 3 and 4 join: the countdown starts the climb, the tier's card, then the floor
100 3 A
104 3 -
108 4 A
112 4 -
580 1 R
592 1 RA
625 1 R
580 2 L
590 2 LA
625 2 L
588 3 A
604 3 -
596 4 B
600 4 -
612 4 RB
616 4 -
INPUT

ALSOFT_DRIVERS=null "$RUNNER" --input "$WORK/input.txt" --frames $((FLOOR_FRAME + 1)) \
    --shot "$TITLE_FRAME:$WORK/title.png" --shot "$FLOOR_FRAME:$WORK/floor.png" >/dev/null
mkdir -p "$ROOT/docs"
for name in title floor; do
    /usr/bin/convert "$WORK/$name.png" -filter point -resize 200% -strip "$ROOT/docs/$name.png"
    echo "docs/$name.png: $(stat -c %s "$ROOT/docs/$name.png") bytes"
done
