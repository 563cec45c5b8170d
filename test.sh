#!/usr/bin/env bash
# Builds everything and runs every test: the release build with all tests (unit and
# end-to-end), then the unit tests again under the address and undefined-behaviour sanitizers,
# then each fuzz target for a short while (bench/fuzz.sh; the unit tests already replayed
# their kept corpus).
set -euo pipefail
cd "$(dirname "$0")"
bash tools/setup.sh
jobs=$(nproc)

echo "== release build"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
ninja -C build -j "$jobs"
# every test has a time limit of its own; --timeout covers any that would lack one, so that
# a stuck test fails alone instead of holding up the whole run
(cd build && ctest --output-on-failure --timeout 600 -j "$jobs")

echo "== sanitizer build"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEK_SANITIZE=ON -DVEK_BUILD_BENCH=OFF >/dev/null
ninja -C build-asan -j "$jobs" unit_tests
(cd build-asan && ctest --output-on-failure --timeout 600 -L unit -j "$jobs")

echo "== fuzz targets"
bash bench/fuzz.sh 20
