#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# MQTT on loopback: the latency from mosquitto_pub to the value in the service (target: median
# under 5 ms), from a value set in the service to the broker through pixtera-mqtt, and the CPU of
# pixtera-mqtt publishing 20 values that change every second (target: under 0.2 % of a core).
# Starts its own broker, service and bridge on a session bus of its own. Not a test.
#   bench/mqtt-latency.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
if [ -z "${PIXTERA_BENCH_BUS:-}" ]; then
  PIXTERA_BENCH_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
build=$(realpath "${1:-build}")
seconds=${2:-30}
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT

source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"
service_sandbox "$work" "$build" FileDisplay BusData MqttData
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\n%s' "$port" \
  "$([ "$(id -u)" -eq 0 ] && echo 'user root')" >"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" >"$work/broker.log" 2>&1 &
names=feed$(printf ',v%s' $(seq 20))
cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.BusData" configuration="names=$names"><data active="yes"/></driver>
<driver clsid="Pixtera.MqttData" configuration="port=$port;topics=bench/#"><data active="yes"/></driver>
</drivers></PixteraConfiguration>
XML
"$work/bin/pixtera2" >"$work/log" 2>&1 &
for _ in $(seq 100); do grep -q "Service started" "$work/log" && break; sleep 0.1; done
"$build/bin/pixtera-mqtt" --port "$port" --publish "$names" >"$work/bridge.log" 2>&1 &
bridge=$!
for _ in $(seq 100); do grep -q "connected to the broker" "$work/bridge.log" && break; sleep 0.1; done
machine=$(sed -n 's|.*publishing as pixtera/\([^ ]*\) on.*|\1|p' "$work/bridge.log")

"$build/bench/mqtt-latency-bench" "$port" "$machine"

ticks() { awk '{ print $14 + $15 }' "/proc/$bridge/stat"; }
before=$(ticks)
"$build/bench/mqtt-latency-bench" "$port" "$machine" load "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "pixtera-mqtt publishing 20 values a second: %.3f %% of a core over %d s (target < 0.2 %%)\n", 100 * t / hz / s, s }'
