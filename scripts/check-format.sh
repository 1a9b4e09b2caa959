#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails, naming them, when C++ sources differ from the house style in .clang-format (Debian 12's
# clang-format 14; another version may format differently).
#   scripts/check-format.sh [SOURCE_DIR]      scripts/check-format.sh --fix
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fix=false
case "${1:-}" in
  --fix) fix=true ;;
  "") ;;
  *) root=$1 ;;
esac
formatter=$(command -v clang-format-14 || command -v clang-format || true)
if [ -z "$formatter" ]; then
  echo "clang-format is not installed (Debian package clang-format)" >&2
  exit 1
fi
cd "$root"
mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -path ./build -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if $fix; then
  "$formatter" -i "${files[@]}"
  exit 0
fi
"$formatter" --dry-run -Werror "${files[@]}"
echo "${#files[@]} sources are formatted as .clang-format says"
