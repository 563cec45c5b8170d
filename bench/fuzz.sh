#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, address and undefined-behaviour sanitizers) in
# build-fuzz/ and runs each for SECONDS (default 60), one after the other, then prints the
# executions, the coverage and the findings of every target.
#
#   bench/fuzz.sh [SECONDS] [TARGET...]      targets: settings console font input
#
# Each target starts from the kept seeds (tests/fuzz/corpus/TARGET), the inputs that once
# failed (tests/fuzz/regressions/TARGET) and what earlier runs on this machine found
# (build-fuzz/fuzz-corpus/TARGET); the console also from the game's own image, which the
# build makes. A finding stops that target: the input lands in build-fuzz/findings/TARGET/,
# and once its fault is mended it belongs in tests/fuzz/regressions/TARGET/, where the unit
# tests replay it. The exit status is 1 when any target had a finding.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-60}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=(settings console font input); fi

build=$root/build-fuzz
CC=${FUZZ_CC:-clang} CXX=${FUZZ_CXX:-clang++} cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEK_FUZZ=ON -DVEK_BUILD_TESTS=OFF -DVEK_BUILD_BENCH=OFF >/dev/null
ninja -C "$build" -j "$(nproc)" $(printf 'fuzz_%s ' "${targets[@]}") >/dev/null

summary=()
found=0
for t in "${targets[@]}"; do
  work=$build/fuzz-corpus/$t
  findings=$build/findings/$t
  log=$build/fuzz-$t.log
  mkdir -p "$work" "$findings"
  if [ "$t" = console ]; then cp "$build/rom/ember.bin" "$work/game-image"; fi
  dirs=("$work" "tests/fuzz/corpus/$t")
  if [ -d "tests/fuzz/regressions/$t" ]; then dirs+=("tests/fuzz/regressions/$t"); fi
  options=(-max_total_time="$seconds" -timeout=120 -print_final_stats=1 -use_value_profile=1
           -close_fd_mask=3 -artifact_prefix="$findings/")
  if [ -f "tests/fuzz/$t.dict" ]; then options+=(-dict="tests/fuzz/$t.dict"); fi
  before=$(ls "$findings" | wc -l)

  echo "== fuzz_$t for $seconds s"
  status=0
  nice "$build/tests/fuzz/fuzz_$t" "${options[@]}" "${dirs[@]}" >"$log" 2>&1 || status=$?

  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  counters=$(sed -n 's/.*(\([0-9]*\) inline 8-bit counters).*/\1/p' "$log" | head -1)
  last=$(grep -a -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.*ft: \([0-9]*\).*/\1/p' <<<"$last")
  corpus=$(sed -n 's/.*corp: \([0-9]*\/[0-9]*[a-zA-Z]*\).*/\1/p' <<<"$last")
  new=$(( $(ls "$findings" | wc -l) - before ))
  if [ "$status" -ne 0 ] || [ "$new" -gt 0 ]; then
    found=1
    echo "   FINDING (exit $status), see $log:"
    grep -a -E '^==== finding|^SUMMARY:|runtime error|ERROR: (Address|Leak)Sanitizer|ERROR: libFuzzer' "$log" | head -5 | sed 's/^/     /'
    ls -t "$findings" | head -1 | sed "s|^|     input: $findings/|"
  fi
  summary+=("$(printf '%-9s %12s %10s %8s/%-7s %8s %10s %4s' "$t" "${runs:-?}" "${rate:-?}" \
    "${cov:-?}" "${counters:-?}" "${ft:-?}" "${corpus:-?}" "$new")")
done

echo
printf '%-9s %12s %10s %16s %8s %10s %4s\n' target executions "execs/s" "edges/counters" features corpus finds
for line in "${summary[@]}"; do echo "$line"; done
exit $found
