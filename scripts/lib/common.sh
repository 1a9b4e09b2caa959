# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Shared by the project's scripts: Debian packages, privileges and the build.

PIXTERA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
PIXTERA_BUILD_DIR=${PIXTERA_BUILD_DIR:-$PIXTERA_ROOT/build}

# Everything the build, the tests and the main job need, from Debian 12 (for the scripts that
# source this file).
# shellcheck disable=SC2034
PIXTERA_PACKAGES=(
  g++ cmake ninja-build pkg-config
  libsqlite3-dev libpugixml-dev libsdbus-c++-dev libsystemd-dev dbus libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libfreeimage-dev
  locales lcdproc
  scdoc dpkg-dev file clang-format shellcheck
  libmosquitto-dev mosquitto mosquitto-clients nlohmann-json3-dev openssl libusb-1.0-0-dev
  libvulkan-dev xvfb xauth mesa-utils mesa-vulkan-drivers vulkan-tools
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs the packages that are missing; asks apt only when something is.
install_packages() {
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

# The tests check the decimal comma of a German locale.
ensure_test_locale() {
  if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    as_root locale-gen >/dev/null
  fi
}

# configure_and_build [extra cmake options...]
configure_and_build() {
  cmake -S "$PIXTERA_ROOT" -B "$PIXTERA_BUILD_DIR" -G Ninja "$@"
  cmake --build "$PIXTERA_BUILD_DIR" -j2
}
