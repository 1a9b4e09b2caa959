#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build needs, builds everything and runs the whole test suite.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

install_packages "${PIXTERA_PACKAGES[@]}"
ensure_test_locale
# Configured for /usr, as the Debian package installs.
configure_and_build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIXTERA_WERROR=ON -DCMAKE_INSTALL_PREFIX=/usr
cd "$PIXTERA_BUILD_DIR"
# A private session bus for the tests that talk D-Bus.
dbus-run-session -- ctest -j2 --output-on-failure --timeout 300
