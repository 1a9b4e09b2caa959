#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The whole test suite once more in an AddressSanitizer+UBSan build (build-asan/).
# With --thread, ThreadSanitizer instead (build-tsan/).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

option=-DPIXTERA_ASAN=ON
build="$PIXTERA_ROOT/build-asan"
if [ "${1:-}" = "--thread" ]; then
  option=-DPIXTERA_TSAN=ON
  build="$PIXTERA_ROOT/build-tsan"
  export TSAN_OPTIONS="suppressions=$PIXTERA_ROOT/scripts/tsan-suppressions.txt ${TSAN_OPTIONS:-}"
fi
install_packages "${PIXTERA_PACKAGES[@]}"
ensure_test_locale
# Line tables are all the sanitizers' reports need, and build in less time than full debug data.
PIXTERA_BUILD_DIR="$build" configure_and_build -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
    -DCMAKE_C_FLAGS_DEBUG=-g1 "$option" -DPIXTERA_BUILD_BENCHMARKS=OFF
cd "$build"
dbus-run-session -- ctest -j2 --output-on-failure --timeout 600
