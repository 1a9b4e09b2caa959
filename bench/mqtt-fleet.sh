#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A fleet on one broker: BRIDGES (20) services, each with a 20x4 Pixtera.FileDisplay on a session
# bus of its own and its pixtera-mqtt, each bridge in a UTS namespace of its own so that each has a
# host name of its own (fleet-1 ...; needs unshare -u, as root). Measures:
#  - a broadcast notification's latency (pixtera/all/notify) until the last display shows it (its
#    PATH.frame has the text), p50 and p99 over RUNS;
#  - the broker's traffic a minute with nothing changing: publishes (target: none) and every packet
#    it received (target: only the bridges' keep-alives, one a minute each).
# Starts its own broker. Not a test: run it by hand; it takes about two minutes.
#   bench/mqtt-fleet.sh [BUILD_DIR] [RUNS] [IDLE_SECONDS] [BRIDGES]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-30}
idle=${3:-60}
bridges=${4:-20}
root=$(mktemp -d)
cleanup() {
    # shellcheck disable=SC2046 # one pid a word
    kill $(cat "$root"/fleet-*/pids 2>/dev/null) $(jobs -p) 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$root"
}
trap cleanup EXIT
source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"
unshare -u true || { echo "mqtt-fleet: unshare -u is not allowed here; run it as root" >&2; exit 2; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
printf 'listener %s 127.0.0.1\nallow_anonymous true\npersistence false\nsys_interval 1\nmax_queued_messages 10000\n%s' \
    "$port" "$([ "$(id -u)" -eq 0 ] && echo 'user root')" >"$root/mosquitto.conf"
mosquitto -c "$root/mosquitto.conf" >"$root/broker.log" 2>&1 &
for _ in $(seq 50); do mosquitto_pub -p "$port" -t fleet/up -n 2>/dev/null && break; sleep 0.1; done

cat >"$root/message.pxd" <<'XML'
<Design UpdateFreq="100"><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>
<Appearance Mode="Static"/><Data Mode="Data" Name="status"/></DisplayItem></DisplayItems></Design>
XML
for n in $(seq "$bridges"); do
    work=$root/fleet-$n
    mkdir -p "$work"
    (
        service_sandbox "$work" "$build" FileDisplay BusData
        cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$work/display"><display active="yes"><queue><queueitem Filename="$root/message.pxd" Runtime="0"/></queue></display></driver>
<driver clsid="Pixtera.BusData" configuration="names=status"><data active="yes"/></driver>
</drivers></PixteraConfiguration>
XML
        cat >"$work/run.sh" <<SH
"$work/bin/pixtera2" >"$work/log" 2>&1 &
echo \$! >>"$work/pids"
for _ in \$(seq 200); do grep -q "Service started" "$work/log" && break; sleep 0.1; done
echo \$\$ >>"$work/pids"
exec unshare -u sh -c 'hostname fleet-$n && exec "$build/bin/pixtera-mqtt" --port $port --publish status' >"$work/bridge.log" 2>&1
SH
        dbus-run-session -- sh "$work/run.sh" &
    )
done
echo "mqtt-fleet: $bridges services and bridges starting"
online=0
for _ in $(seq 120); do
    online=$(timeout 5 mosquitto_sub -p "$port" -t 'pixtera/+/status' -W 1 2>/dev/null | grep -c online || true)
    [ "$online" -ge "$bridges" ] && break
done
if [ "$online" -lt "$bridges" ]; then
    echo "mqtt-fleet: $online of $bridges bridges came online" >&2
    exit 1
fi
sleep 3 # the displays' first frames and traffic settle

python3 - "$port" "$runs" "$root"/fleet-*/display.frame <<'PY'
import json, statistics, subprocess, sys, time
port, runs, frames = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
publisher = subprocess.Popen(["mosquitto_pub", "-p", port, "-t", "pixtera/all/notify", "-l"],
                             stdin=subprocess.PIPE, text=True)
time.sleep(0.5)  # connected
lasts, everyone = [], []
for run in range(runs):
    text = f"fleet run {run:03d}"
    start = time.monotonic()
    publisher.stdin.write(json.dumps({"message": text, "duration": 1}) + "\n")
    publisher.stdin.flush()
    waiting = set(frames)
    while waiting and time.monotonic() - start < 10:
        for path in list(waiting):
            try:
                with open(path, encoding="utf-8", errors="replace") as frame:
                    if text in frame.read():
                        waiting.discard(path)
                        everyone.append(time.monotonic() - start)
            except OSError:
                pass
        time.sleep(0.0005)
    if waiting:
        print(f"run {run}: {len(waiting)} displays never showed it", file=sys.stderr)
        continue
    lasts.append(time.monotonic() - start)
    time.sleep(1.6)  # its second on the displays, and each display's own frame again
publisher.stdin.close()
publisher.wait()
def pct(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(round(p / 100 * (len(values) - 1))))] * 1000
if lasts:
    print(f"broadcast to {len(frames)} displays, {len(lasts)} runs: last display p50 {pct(lasts, 50):.1f} ms, "
          f"p99 {pct(lasts, 99):.1f} ms; any display p50 {pct(everyone, 50):.1f} ms")
PY

sleep 8 # the traffic sensors' last change (at most once every 5 s) is out
# Every packet the broker received: publishes, keep-alives, the bench's own clients' too.
# shellcheck disable=SC2016 # the topic's own $
received() { timeout 5 mosquitto_sub -p "$port" -C 1 -t '$SYS/broker/messages/received'; }
before=$(received)
timeout "$idle" mosquitto_sub -p "$port" -t '#' -v -R >"$root/idle.log" 2>/dev/null || true
after=$(received)
published=$(wc -l <"$root/idle.log")
echo "idle $idle s: $published publishes (target 0); the broker received $((after - before)) packets," \
    "where the bridges' keep-alives are $((bridges * idle / 60)) and the bench's own clients' about 4"
if [ "$published" -gt 0 ]; then head -n 20 "$root/idle.log"; fi
