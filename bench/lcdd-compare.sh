#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# pixtera2 beside LCDd on the same screen: LCDd (Debian's lcdproc, its MtxOrb driver) with a
# client showing a static screen, then a clock changing once a second; pixtera2 with
# Pixtera.SerialLCD showing the same, and the static screen once more with its text from a
# Pixtera.FileData whose file does not change. Both modules are pseudo-terminals counting the
# bytes that reach them after start-up. Prints each server's CPU (from /proc/PID/task/*/schedstat),
# its threads' wake-ups (voluntary context switches, from /proc/PID/task/*/status) and the bytes
# per second on its wire. Targets: static screens, pixtera2 at most 0.05x LCDd's CPU and no
# wake-up at all; clock, under 0.5x; bytes 0 and under 8 B/s. Not a test: run it by hand.
#   bench/lcdd-compare.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-20}
here=$(cd "$(dirname "$0")" && pwd)
root=$(mktemp -d)
service=""
trap 'kill $(jobs -p) $service 2>/dev/null || true; rm -rf "$root"' EXIT
source "$here/../scripts/lib/service-sandbox.sh"

cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1 } END { print ns + 0 }'; }
wakeups() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'; }

start_counter() { # DIR: a module on a pseudo-terminal; sets $counter and $device
    python3 "$here/pty_counter.py" "$1/device" "$1/bytes" &
    counter=$!
    for _ in $(seq 50); do [ -s "$1/device" ] && break; sleep 0.1; done
    device=$(cat "$1/device")
}

measure() { # LABEL SERVER_PID DIR: after start-up, CPU and bytes over $seconds
    sleep 3
    kill -USR1 "$counter"
    local before after woke
    before=$(cpu_ns "$2")
    woke=$(wakeups "$2")
    sleep "$seconds"
    after=$(cpu_ns "$2")
    woke=$(($(wakeups "$2") - woke))
    kill "$counter"
    wait "$counter" 2>/dev/null || true
    awk -v b="$before" -v a="$after" -v s="$seconds" -v bytes="$(cat "$3/bytes")" -v label="$1" -v w="$woke" 'BEGIN {
        printf "%-22s %8.4f %% of a core %8.1f wake-ups/s %8.1f B/s\n", label, (a - b) / 1e9 / s * 100, w / s, bytes / s }'
}

lcdd_case() { # MODE: static or clock
    local dir=$root/lcdd-$1
    mkdir -p "$dir"
    start_counter "$dir"
    cat >"$dir/LCDd.conf" <<CONF
[server]
DriverPath=/usr/lib/x86_64-linux-gnu/lcdproc/
Driver=MtxOrb
Bind=127.0.0.1
Port=13667
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
    sleep 1
    python3 - "$1" <<'PY' &
import socket, sys, time
s = socket.create_connection(("127.0.0.1", 13667))
def send(line):
    s.sendall((line + "\n").encode())
send("hello")
send("screen_add s")
send("screen_set s -priority foreground -heartbeat off")
send("widget_add s a string")
send('widget_set s a 1 1 "Static screen"')
if sys.argv[1] == "clock":
    send("widget_add s t string")
s.setblocking(False)
while True:
    if sys.argv[1] == "clock":
        send('widget_set s t 1 2 "%s"' % time.strftime("%H:%M:%S"))
    time.sleep(1)
    try:
        s.recv(65536)
    except BlockingIOError:
        pass
PY
    local client=$!
    measure "LCDd, $1" "$lcdd" "$dir"
    kill "$client" "$lcdd" 2>/dev/null || true
    wait "$lcdd" 2>/dev/null || true
}

pixtera_case() { # MODE
    local dir=$root/pixtera-$1
    mkdir -p "$dir"
    (service_sandbox "$dir" "$build" SerialLCD SystemData FileData)
    export PIXTERA_REGISTRY=$dir/registry.db PIXTERA_MACHINE_REGISTRY="" PIXTERA_RUNTIME_DIR=$dir/run
    export XDG_CONFIG_HOME=$dir/config XDG_DATA_HOME=$dir/data PIXTERA_STATS_ENDPOINT=
    start_counter "$dir"
    local clock="" provider="" text='<Data Mode="Static" Text="Static screen"/>'
    if [ "$1" = file ]; then
        printf 'status=Static screen\n' >"$dir/values.txt"
        text='<Data Mode="Data" Name="status"/>'
        provider="<driver clsid=\"Pixtera.FileData\" configuration=\"path=$dir/values.txt;interval=250\"><data active=\"yes\"/></driver>"
    fi
    if [ "$1" = clock ]; then
        clock='<DisplayItem><Position X="0" Y="1" Width="20" Height="1"/><Appearance Mode="Static"/><Data Mode="Data" Name="Time"/></DisplayItem>'
        provider='<driver clsid="Pixtera.SystemData" configuration="interval=1000"><data active="yes"/></driver>'
    fi
    cat >"$dir/screen.pxd" <<XML
<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="Static"/>
$text</DisplayItem>$clock</DisplayItems></Design>
XML
    cat >"$dir/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>$provider
<driver clsid="Pixtera.SerialLCD" configuration="device=$device;speed=19200;columns=20;rows=4">
<display active="yes"><queue><queueitem Filename="$dir/screen.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML
    service_start "$dir"
    measure "pixtera2, $1" "$service" "$dir"
    kill "$service" "$session" 2>/dev/null || true
    wait "$session" 2>/dev/null || true
    service=""
}

lcdd_case static
pixtera_case static
pixtera_case file
lcdd_case clock
pixtera_case clock
