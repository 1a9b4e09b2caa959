#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails, naming the module and the symbol, when a plug-in module exports anything but its COM
# entry points and its ABI version.
#   scripts/check-plugin-exports.sh PLUGIN_DIRECTORY...
set -euo pipefail
allowed='^(DllCanUnloadNow|DllGetClassObject|DllRegisterServer|DllUnregisterServer|PixteraModuleAbi)$'
failures=0
checked=0
for dir in "$@"; do
  for module in "$dir"/*.so; do
    [ -e "$module" ] || continue
    checked=$((checked + 1))
    while read -r symbol; do
      echo "$module exports $symbol"
      failures=$((failures + 1))
    done < <(nm -D --defined-only "$module" | awk '{print $3}' | grep -v -E "$allowed" || true)
  done
done
[ "$checked" -gt 0 ] || { echo "no plug-in modules in $*"; exit 1; }
echo "$checked modules checked, $failures symbols too many"
[ "$failures" -eq 0 ]
