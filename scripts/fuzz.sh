#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each for SECONDS (default 60), seeded from
# fuzz/corpus and examples/. Reports executions and findings per harness; a finding's input is
# kept in build-fuzz/findings/<harness>/. Exit code 1 when anything was found.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

seconds=${1:-60}
install_packages clang libclang-rt-14-dev "${PIXTERA_PACKAGES[@]}"
build="$PIXTERA_ROOT/build-fuzz"
cmake -S "$PIXTERA_ROOT" -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXTERA_FUZZ=ON -DPIXTERA_BUILD_TESTS=OFF -DPIXTERA_BUILD_BENCHMARKS=OFF >/dev/null
harnesses=(design configuration variant guid codepage reg-command)
cmake --build "$build" -j2 --target "${harnesses[@]/%/-fuzzer}"

found=0
for harness in "${harnesses[@]}"; do
  corpus="$build/corpus/$harness"
  findings="$build/findings/$harness"
  mkdir -p "$corpus" "$findings"
  cp -n "$PIXTERA_ROOT/fuzz/corpus/$harness/"* "$corpus/" 2>/dev/null || true
  case "$harness" in
    design) cp -n "$PIXTERA_ROOT"/examples/*.pxd "$corpus/" ;;
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
exit $found
