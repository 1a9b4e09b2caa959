#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# pixtera2 as an LCDd-protocol server beside LCDd itself, under the same clients: 20 clients,
# each a screen of 10 string widgets set 8 times a second (bench/lcdproc-load.py). LCDd drives
# its MtxOrb driver, pixtera2 Pixtera.SerialLCD with Pixtera.LCDprocServer, both 20x4 on
# pseudo-terminals. Prints each server's CPU (from /proc/PID/task/*/schedstat) and the bytes per
# second on its wire. Target: pixtera2 at most half of LCDd's CPU. Then the floor under both
# (bench/lcdproc_floor.cpp): a server that only answers "success" to every line and a thread that
# only writes a frame's changes 8 times a second, under the same load. Not a test: run it by hand.
#   bench/lcdproc-server.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$root"
}
trap cleanup EXIT
source "$here/../scripts/lib/service-sandbox.sh"

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { print ns + 0 }'; }

start_counter() { # DIR: a module on a pseudo-terminal; sets $counter and $device
    python3 "$here/pty_counter.py" "$1/device" "$1/bytes" &
    counter=$!
    pids+=("$counter")
    for _ in $(seq 50); do [ -s "$1/device" ] && break; sleep 0.1; done
    device=$(cat "$1/device")
}

load() { # PORT: the clients, in the background; sets $clients
    python3 "$here/lcdproc-load.py" "$1" 20 10 8 &
    clients=$!
    pids+=("$clients")
}

measure() { # LABEL SERVER_PID DIR: after start-up, CPU and bytes over $seconds
    sleep 3
    kill -USR1 "$counter"
    local before after
    before=$(cpu_ns "$2")
    sleep "$seconds"
    after=$(cpu_ns "$2")
    kill "$counter" "$clients" 2>/dev/null || true
    wait "$counter" 2>/dev/null || true
    awk -v b="$before" -v a="$after" -v s="$seconds" -v bytes="$(cat "$3/bytes")" -v label="$1" 'BEGIN {
        printf "%-10s %8.3f %% of a core %8.1f B/s\n", label, (a - b) / 1e9 / s * 100, bytes / s }'
}

lcdd_case() {
    local dir=$root/lcdd
    mkdir -p "$dir"
    start_counter "$dir"
    cat >"$dir/LCDd.conf" <<CONF
[server]
DriverPath=/usr/lib/x86_64-linux-gnu/lcdproc/
Driver=MtxOrb
Bind=127.0.0.1
Port=13668
ServerScreen=no
Foreground=yes
ReportToSyslog=no
[MtxOrb]
Device=$device
Size=20x4
Type=lcd
Speed=19200
CONF
    LCDd -c "$dir/LCDd.conf" -f >"$dir/log" 2>&1 &
    local lcdd=$!
    pids+=("$lcdd")
    sleep 1
    load 13668
    measure "LCDd" "$lcdd" "$dir"
    kill "$lcdd" 2>/dev/null || true
    wait "$lcdd" 2>/dev/null || true
}

pixtera_case() {
    local dir=$root/pixtera
    mkdir -p "$dir"
    (service_sandbox "$dir" "$build" SerialLCD LCDprocServer)
    export PIXTERA_REGISTRY=$dir/registry.db PIXTERA_MACHINE_REGISTRY="" PIXTERA_RUNTIME_DIR=$dir/run
    export XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data PIXTERA_STATS_ENDPOINT=
    start_counter "$dir"
    cat >"$dir/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.SerialLCD" configuration="device=$device;speed=19200;columns=20;rows=4"><display active="yes"/></driver>
<driver clsid="Pixtera.LCDprocServer" configuration="listen=127.0.0.1:13669"/>
</drivers></PixteraConfiguration>
XML
    service_start "$dir"
    pids+=("$session")
    load 13669
    measure "pixtera2" "$service" "$dir"
    kill "$service" 2>/dev/null || true
}

floor_case() {
    local dir=$root/floor
    mkdir -p "$dir"
    start_counter "$dir"
    "$build/bench/lcdproc-floor" 13670 "$device" &
    local floor=$!
    pids+=("$floor")
    sleep 0.5
    load 13670
    measure "floor" "$floor" "$dir"
}

lcdd_case
pixtera_case
floor_case
