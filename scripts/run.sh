#!/usr/bin/env bash
# The main job: builds Pixtera and shows what it offers.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

install_packages "${PIXTERA_PACKAGES[@]}"
configure_and_build -DCMAKE_BUILD_TYPE=RelWithDebInfo
bin="$PIXTERA_BUILD_DIR/bin"
echo
echo "Built into $bin:"
ls -1 "$bin"
echo
"$bin/pixtera-reg" help
