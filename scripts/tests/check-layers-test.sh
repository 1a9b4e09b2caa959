#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The layer check must be able to fail: a small tree that keeps the rules passes, and each breach
# planted in it, angled or quoted, is named.
set -euo pipefail
check=$(cd "$(dirname "$0")/.." && pwd)/check-layers.sh
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

write() { mkdir -p "$(dirname "$tree/$1")" && printf '%s\n' "$2" >"$tree/$1"; }
write platform/include/pixtera/platform/com.h '#pragma once'
write common/sdk/pixtera/sdk/data_provider.h '#include <pixtera/platform/com.h>'
write common/include/pixtera/design_file.h '#include <pixtera/sdk/data_provider.h>'
write devices/lcd/lcd_writer.h '#include <pixtera/sdk/data_provider.h>'
write devices/lcd/lcd_writer.cpp '#include "lcd_writer.h"'
write plugins/clock/clock.h '#pragma once'
write plugins/clock/clock.cpp '#include <pixtera/design_file.h>'
write plugins/clock/display.cpp '#include "lcd_writer.h"'
write service/src/manager.h '#pragma once'
write service/src/manager.cpp '#include "manager.h"'
"$check" "$tree" >/dev/null 2>&1 || { echo "FAIL: a tree that keeps the rules was refused"; "$check" "$tree"; exit 1; }

expect_breach() { # FILE TEXT EXPECTED
    local saved
    saved=$(cat "$tree/$1" 2>/dev/null || true)
    write "$1" "$2"
    local output
    if output=$("$check" "$tree" 2>&1); then
        echo "FAIL: $1 with '$2' passed"
        exit 1
    fi
    grep -qF "$3" <<<"$output" || { echo "FAIL: '$3' not said for $1: $output"; exit 1; }
    if [ -n "$saved" ]; then printf '%s\n' "$saved" >"$tree/$1"; else rm "$tree/$1"; fi
}
expect_breach platform/src/registry.cpp '#include <pixtera/sdk/data_provider.h>' "platform includes a higher layer"
expect_breach common/sdk/pixtera/sdk/plugin.h '#include <pixtera/design_file.h>' "the SDK includes more than the platform"
expect_breach plugins/clock/clock.cpp '#include "manager.h"' "a plug-in includes the service"
expect_breach devices/lcd/lcd_writer.cpp '#include "clock.h"' "device code includes a plug-in"
expect_breach devices/lcd/lcd_writer.cpp '#include "manager.h"' "device code includes a plug-in, the service"
expect_breach common/src/design_file.cpp '#include "lcd_writer.h"' "common includes a higher layer"
echo "6 breaches found, 0 missed"
