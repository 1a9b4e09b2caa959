#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails, naming them, when source files lack the license line (the project is MIT; every file
# says so, for whoever copies one out).
#   scripts/check-license-lines.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
missing=$(find "$root" \( -path "$root/build*" -o -path "$root/.git" -o -path "$root/obj-*" -o -path "$root/debian" \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 grep -L 'SPDX-License-Identifier: MIT' || true)
if [ -n "$missing" ]; then
    echo "Without the line // SPDX-License-Identifier: MIT:" >&2
    echo "$missing" >&2
    exit 1
fi
echo "Every .cpp and .h file carries the license line"
