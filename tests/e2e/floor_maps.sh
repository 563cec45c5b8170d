#!/bin/bash
# gfxconv keeps floor maps to the rules the game's code relies on: each small floor below is
# converted with the real art and must fail with its message, or convert.
# usage: floor_maps.sh GFXCONV ROM_DIR WORK
GFXCONV=$1 ROM=$2 WORK=$3
rm -rf "$WORK" && mkdir -p "$WORK"
. "$(dirname "$0")/lib.sh"

WALL='#..............#'
# floor NAME ROW... : a 15-row floor (walls, then the given rows over a stone bottom)
floor() {
    local name=$1; shift
    { echo "level $name"
      local n=0
      for row in "$@"; do echo "$row"; n=$((n + 1)); done
      while [ $n -lt 14 ]; do echo "$WALL"; n=$((n + 1)); done
      echo '################'
      echo end; } >"$WORK/$name.txt"
}
# expect NAME MESSAGE : converting floor NAME fails with MESSAGE ("" : it converts)
expect() {
    local out status
    out=$("$GFXCONV" "$WORK/out" "$ROM"/gfx/*.txt "$ROM"/floors/*.txt "$WORK/$1.txt" 2>&1)
    status=$?
    if [ -z "$2" ]; then
        check "$1 converts" [ $status -eq 0 ]
    elif [ $status -ne 0 ] && grep -qF -- "$2" <<<"$out"; then
        pass "$1: $2"
    else
        fail "$1: expected '$2', got status $status: $out"
    fi
}
mkdir -p "$WORK/out"

floor near_portals "$WALL" '#@.............#' "$WALL" "$WALL" "$WALL" "$WALL" "$WALL" "$WALL" '#.@............#' '################'
expect near_portals ""
floor far_portals "$WALL" '#@.............#' "$WALL" "$WALL" "$WALL" "$WALL" "$WALL" "$WALL" "$WALL" '#.@............#'
expect far_portals "floor far_portals row 2 column 2: its linked portal (floor far_portals row 10 column 3) is 8 rows below, more than the 7"
floor lone_portal "$WALL" '#@.............#'
expect lone_portal "floor lone_portal row 2 column 2: a portal without a partner"
floor five_portals '#@.@.@.@.@.....#'
expect five_portals "floor five_portals has 5 portals, at most 4"
floor goat_on_ledge '#......g.......#' '#.....===......#'
expect goat_on_ledge ""
floor goat_in_air '#......g.......#' "$WALL" '#.....===......#'
expect goat_in_air "floor goat_in_air row 1 column 8: goat stands on nothing"
floor goat_on_web '#......g.......#' '#......w.......#'
expect goat_on_web "floor goat_on_web row 1 column 8: goat stands on nothing"

echo "$PASSES passed, $FAILS failed"
[ $FAILS -eq 0 ]
