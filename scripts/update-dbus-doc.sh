#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Writes the table of objects, interfaces and members in docs/dbus.md from the interface files in
# common/remote/interfaces/ (run it after changing one; CTest fails while the two differ).
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"
cmake -S "$PIXTERA_ROOT" -B "$PIXTERA_BUILD_DIR" -G Ninja >/dev/null
cmake --build "$PIXTERA_BUILD_DIR" --target update-dbus-doc
