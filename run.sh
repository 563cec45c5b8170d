#!/usr/bin/env bash
# Builds everything and starts the game in a window.
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C build
if [ ! -x build/game/ember-spire ]; then
  echo "run: the cartridge and the console are built; the program's window (build/game/ember-spire) is not there yet." >&2
  exit 1
fi
cd build/game
exec ./ember-spire
