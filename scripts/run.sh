#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The main job: builds Pixtera, registers the service and its plug-ins, and runs the service in
# the foreground, showing a demo queue (clock, CPU and memory, network) on a display drawn in
# this terminal. Ctrl+C stops it.
#
#   scripts/run.sh              registers into the user's registry (~/.local/share/pixtera)
#   scripts/run.sh --portable   keeps the registry and locks under build/bin instead
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

portable=false
for argument in "$@"; do
  case "$argument" in
    --portable) portable=true ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown argument $argument (try --help)" >&2; exit 2 ;;
  esac
done

install_packages "${PIXTERA_PACKAGES[@]}"
cmake -S "$PIXTERA_ROOT" -B "$PIXTERA_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$PIXTERA_BUILD_DIR" -j2 --target \
  pixtera2 pixtera-reg pixtera-render pixtera-designer TerminalDisplay SystemData FileData FileDisplay LCDprocDisplay LCDprocServer Ratewell \
  CommandData BusData

bin="$PIXTERA_BUILD_DIR/bin"
if $portable; then
  export PIXTERA_REGISTRY="$bin/registry.db" PIXTERA_RUNTIME_DIR="$bin/run"
fi

"$bin/pixtera2" -RegServer
for plugin in TerminalDisplay SystemData FileData FileDisplay LCDprocDisplay LCDprocServer Ratewell CommandData BusData HD44780I2C SerialLCD CrystalFontz KernelLCD DispatchWrapper; do
  "$bin/pixtera-reg" register "$bin/plugins/$plugin.so" >/dev/null
done

# A demo configuration, unless the user has a configuration of their own.
configuration="$bin/pixtera2.xml"
empty='<PixteraConfiguration><drivers></drivers></PixteraConfiguration>'
if [ ! -s "$configuration" ] || [ "$(cat "$configuration")" = "$empty" ]; then
  tty=/dev/tty
  { true >/dev/tty; } 2>/dev/null || tty=/dev/stdout
  sed -e "s|@EXAMPLES@|$PIXTERA_ROOT/examples|g" -e "s|@TTY@|$tty|g" \
    "$PIXTERA_ROOT/examples/pixtera2-demo.xml" > "$configuration"
  echo "Wrote the demo configuration $configuration"
fi

echo "Starting pixtera2 (Ctrl+C stops it)"
exec "$bin/pixtera2"
