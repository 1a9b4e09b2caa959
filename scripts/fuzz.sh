#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the libFuzzer harnesses with clang, replays every input kept in fuzz/corpus (earlier
# findings among them), then fuzzes each harness for SECONDS (default 60), seeded from fuzz/corpus
# and examples/. A finding's input is kept in build-fuzz/findings/<harness>/.
# Exit code 1 when a kept input fails, or when anything new was found, unless --report-only:
# then new findings are printed but do not fail the run (CI uses it, so a lucky find cannot
# block an unrelated change; the finding is fixed and its input added to fuzz/corpus).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

report_only=0
if [ "${1:-}" = --report-only ]; then
  report_only=1
  shift
fi
seconds=${1:-60}
install_packages clang libclang-rt-14-dev "${PIXTERA_PACKAGES[@]}"
build="$PIXTERA_ROOT/build-fuzz"
cmake -S "$PIXTERA_ROOT" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXTERA_FUZZ=ON -DPIXTERA_BUILD_TESTS=OFF -DPIXTERA_BUILD_BENCHMARKS=OFF >/dev/null
harnesses=(design menu-file configuration variant guid codepage reg-command fps-record plugin-host-wire mqtt-payload
  bus-message lcdproc-command bridge-command)
cmake --build "$build" -j2 --target "${harnesses[@]/%/-fuzzer}"

failed=0
for harness in "${harnesses[@]}"; do
  kept=()
  for input in "$PIXTERA_ROOT/fuzz/corpus/$harness/"*; do
    [ -f "$input" ] && kept+=("$input")
  done
  [ "${#kept[@]}" -gt 0 ] || continue
  if ! "$build/fuzz/$harness-fuzzer" -timeout=10 "${kept[@]}" >"$build/$harness-replay.log" 2>&1; then
    echo "$harness: a kept input fails again"
    grep -a -m 5 -E 'ERROR|SUMMARY|Running' "$build/$harness-replay.log" | tail -5 || true
    failed=1
  fi
done

found=0
for harness in "${harnesses[@]}"; do
  corpus="$build/corpus/$harness"
  findings="$build/findings/$harness"
  mkdir -p "$corpus" "$findings"
  cp -n "$PIXTERA_ROOT/fuzz/corpus/$harness/"* "$corpus/" 2>/dev/null || true
  case "$harness" in
    design) cp -n "$PIXTERA_ROOT"/examples/*.pxd "$corpus/" ;;
    menu-file) cp -n "$PIXTERA_ROOT"/examples/*.pxm "$corpus/" ;;
    configuration) cp -n "$PIXTERA_ROOT/examples/pixtera2-demo.xml" "$corpus/" ;;
  esac
  log="$build/findings/$harness.log"
  status=0
  "$build/fuzz/$harness-fuzzer" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?
  runs=$(grep -a 'stat::number_of_executed_units' "$log" | awk '{print $2}')
  crashes=$(find "$findings" -type f | wc -l)
  printf '%-14s %10s executions  %s findings\n' "$harness" "${runs:-?}" "$crashes"
  if [ "$status" -ne 0 ] || [ "$crashes" -ne 0 ]; then
    found=1
    grep -a -m 5 -E 'ERROR|SUMMARY' "$log" || true
  fi
done
[ "$failed" -eq 0 ] || exit 1
[ "$report_only" -eq 1 ] && [ "$found" -eq 1 ] && echo "New findings are reported only; see build-fuzz/findings/."
[ "$report_only" -eq 1 ] || exit $found
