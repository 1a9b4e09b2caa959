#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# How pixtera2's cost grows with displays: 1, 4 and 16 Pixtera.FileDisplay (20x4), each showing a
# clock and CPU.Total from Pixtera.SystemData (a 1 s poll) and a value of Pixtera.BusData that a
# script sets ten times a second. Then one Pixtera.FileData provider with 1,000 items of which a
# design shows 10, none changing: its polls must wake no display. Per case: the service's CPU
# (total and per display) and wake-ups per second, from /proc/PID/task/*/schedstat.
# Target: linear, under 0.05 % of a core per display. Not a test: run it by hand.
#   bench/service-scale.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-20}
root=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; pkill -f "^$root/" 2>/dev/null || true; rm -rf "$root"' EXIT
source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"

# ticks and slices of every thread of PID, summed: "cpu_ns slices"
usage() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ ns += $1; n += $3 } END { print ns, n }'; }
# slices of the service's threads named px-refresh/*
refresh_slices() {
    for task in /proc/"$1"/task/*; do
        case "$(cat "$task/comm")" in px-refresh/*) awk '{ print $3 }' "$task/schedstat" ;; esac
    done | awk '{ n += $1 } END { print n + 0 }'
}

start_service() { # WORK: starts pixtera2 of WORK on its own bus; sets $service and $bus_address
    local work=$1
    dbus-daemon --session --print-address=3 --nofork 3>"$work/bus" &
    echo $! >"$work/bus.pid"
    for _ in $(seq 50); do [ -s "$work/bus" ] && break; sleep 0.1; done
    bus_address=$(head -n 1 "$work/bus")
    DBUS_SESSION_BUS_ADDRESS=$bus_address "$work/bin/pixtera2" >"$work/log" 2>&1 &
    for _ in $(seq 100); do
        service=$(pgrep -f "^$work/bin/pixtera2" || true)
        [ -n "$service" ] && grep -q "Service started" "$work/log" && break
        sleep 0.1
    done
    sleep 2
}

stop_service() { # WORK [PUSHER]: the pusher first, or it would start the service again
    [ -n "${2:-}" ] && { pkill -P "$2" 2>/dev/null || true; kill "$2" 2>/dev/null || true; }
    pkill -f "^$1/bin/pixtera2" 2>/dev/null || true
    # Its own bus only: other sessions' buses look the same on a command line.
    [ -s "$1/bus.pid" ] && { kill "$(cat "$1/bus.pid")" 2>/dev/null || true; }
    sleep 0.5
}

measure() { # LABEL DISPLAYS
    local before after
    before=$(usage "$service")
    sleep "$seconds"
    after=$(usage "$service")
    awk -v b="$before" -v a="$after" -v s="$seconds" -v d="$2" -v label="$1" 'BEGIN {
        split(b, x, " "); split(a, y, " ");
        cpu = (y[1] - x[1]) / 1e9 / s * 100; wakes = (y[2] - x[2]) / s;
        printf "%-34s %6.3f %% of a core, %6.4f %% per display, %6.1f wake-ups/s\n", label, cpu, cpu / d, wakes }'
}

for case in "1 push" "4 push" "16 push" "1 clock" "16 clock"; do
    read -r displays kind <<<"$case"
    work=$root/scale-$displays-$kind
    mkdir -p "$work"
    (service_sandbox "$work" "$build" FileDisplay SystemData BusData)
    export PIXTERA_REGISTRY=$work/registry.db PIXTERA_MACHINE_REGISTRY="" PIXTERA_RUNTIME_DIR=$work/run
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data PIXTERA_STATS_ENDPOINT=
    cat >"$work/clock.pxd" <<'XML'
<Design UpdateFreq="100"><DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="20" Height="1"/><Appearance Mode="Static"/><Data Mode="Data" Name="Time"/></DisplayItem>
<DisplayItem><Position X="0" Y="1" Width="20" Height="1"/><Appearance Mode="Static"/><Data Mode="Data" Name="CPU.Total"/><Formatting Digits="0"/></DisplayItem>
<DisplayItem><Position X="0" Y="2" Width="20" Height="1"/><Appearance Mode="Static"/><Data Mode="Data" Name="counter"/></DisplayItem>
</DisplayItems></Design>
XML
    {
        echo '<PixteraConfiguration><drivers>'
        echo '<driver clsid="Pixtera.SystemData" configuration="interval=1000"><data active="yes"/></driver>'
        echo '<driver clsid="Pixtera.BusData" configuration="names=counter"><data active="yes"/></driver>'
        for n in $(seq "$displays"); do
            echo "<driver clsid=\"Pixtera.FileDisplay\" configuration=\"columns=20;rows=4;path=$work/display-$n.jsonl\">"
            echo "<display active=\"yes\"><queue><queueitem Filename=\"$work/clock.pxd\" Runtime=\"0\"/></queue></display></driver>"
        done
        echo '</drivers></PixteraConfiguration>'
    } >"$work/bin/pixtera2.xml"
    start_service "$work"
    # The script's value, ten times a second ("push"), or none ("clock": the clock alone changes).
    [ "$kind" = push ] && (for i in $(seq 100000); do
        DBUS_SESSION_BUS_ADDRESS=$bus_address busctl --user --timeout=1 call org.pixtera.Pixtera2 /org/pixtera/Feed \
            org.pixtera.IDataFeed SetValue sv counter i "$i" >/dev/null 2>&1 || true
        sleep 0.1
    done) &
    pusher=$([ "$kind" = push ] && echo $! || true)
    measure "$displays display(s), $([ "$kind" = push ] && echo "clock + 2 values" || echo "1 Hz clock only")" "$displays"
    stop_service "$work" "$pusher"
done

work=$root/items
mkdir -p "$work"
(service_sandbox "$work" "$build" FileDisplay FileData)
export PIXTERA_REGISTRY=$work/registry.db PIXTERA_MACHINE_REGISTRY="" PIXTERA_RUNTIME_DIR=$work/run
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data PIXTERA_STATS_ENDPOINT=
for i in $(seq 1000); do echo "item$i=$i"; done >"$work/values.txt"
{
    echo '<Design><DisplayItems>'
    for i in $(seq 10); do
        echo "<DisplayItem><Position X=\"$(( (i - 1) % 2 * 10 ))\" Y=\"$(( (i - 1) / 2 % 4 ))\" Width=\"10\" Height=\"1\"/><Appearance Mode=\"Static\"/><Data Mode=\"Data\" Name=\"item$i\"/></DisplayItem>"
    done
    echo '</DisplayItems></Design>'
} >"$work/ten.pxd"
cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileData" configuration="path=$work/values.txt;interval=200"><data active="yes"/></driver>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="$work/ten.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML
start_service "$work"
before=$(refresh_slices "$service")
measure "1,000 unchanged items, 10 shown" 1
after=$(refresh_slices "$service")
echo "  the display's refresh thread woke $((after - before)) times (target: 0)"
stop_service "$work"
