#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails with shellcheck's findings (warnings and errors) in any of the project's shell scripts.
#   scripts/check-shell-scripts.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
scripts=()
while IFS= read -r -d '' script; do
    scripts+=("$script")
done < <(find . \( -path './build*' -o -path './.git' -o -path './obj-*' -o -path './debian' \) -prune -o \
    -type f \( -name '*.sh' -o -path './scripts/lib/*' -o -path './.ci/run' \) -print0)
shellcheck --severity=warning "${scripts[@]}"
echo "${#scripts[@]} scripts pass shellcheck"
