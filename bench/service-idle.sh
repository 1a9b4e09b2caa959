#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What an idle pixtera2 does: one Pixtera.FileDisplay showing a static screen, first with no data
# provider, then with an item of a Pixtera.FileData whose file does not change. Prints, per
# thread, its name, scheduler slices and voluntary context switches (wake-ups) and CPU time over
# SECONDS (default 20), from /proc/PID/task/*/schedstat and status. Target: no slice and no
# wake-up at all in either case. Not a test: run it by hand.
#   bench/service-idle.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-20}
run_case() { # LABEL WITH_FILE_DATA
    work=$(mktemp -d)
    (service_sandbox "$work" "$build" FileDisplay FileData)
    export PIXTERA_REGISTRY=$work/registry.db PIXTERA_MACHINE_REGISTRY="" PIXTERA_RUNTIME_DIR=$work/run
    export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data PIXTERA_STATS_ENDPOINT=
    local item='<Data Mode="Static" Text="Static screen"/>' provider=""
    if [ "$2" = yes ]; then
        printf 'status=Static screen\ncount=42\n' >"$work/values.txt"
        item='<Data Mode="Data" Name="status"/>'
        provider="<driver clsid=\"Pixtera.FileData\" configuration=\"path=$work/values.txt;interval=250\"><data active=\"yes\"/></driver>"
    fi
    cat >"$work/design.pxd" <<XML
<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>
<Appearance Mode="Static"/>$item</DisplayItem></DisplayItems></Design>
XML
    cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>$provider
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="$work/design.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML
    service_start "$work"
    sleep 3
    if [ "$2" = yes ] && ! grep -q "Static screen" "$work/display.jsonl"; then
        echo "$1: the file's value is not on the display" >&2
    fi
    local before after
    before=$(snapshot)
    sleep "$seconds"
    after=$(snapshot)
    echo "$1, over $seconds s (thread, slices, voluntary switches, CPU ms):"
    join <(echo "$before" | sort) <(echo "$after" | sort) |
        awk '{ slices = $10 - $5; switches = $11 - $6; ms = ($8 - $3) / 1e6; total += ms; wakes += switches;
               printf "  %-7s %-16s %6d %6d %8.2f\n", $1, $2, slices, switches, ms }
             END { printf "total: %d wake-ups, %.2f ms of CPU = %.4f %% of a core\n", wakes, total, total / ('"$seconds"' * 10) }'
    kill "$service" "$session" 2>/dev/null || true
    wait "$session" 2>/dev/null || true
    rm -rf "$work"
}

snapshot() {
    for task in /proc/"$service"/task/*; do
        printf '%s %s %s %s\n' "${task##*/}" "$(tr ' ' '_' <"$task/comm")" "$(cat "$task/schedstat")" \
            "$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")"
    done
}

work=""
session=""
service=""
trap 'kill $service $session 2>/dev/null || true; [ -z "$work" ] || rm -rf "$work"' EXIT
source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"
run_case "static screen, no provider" no
run_case "static screen fed by Pixtera.FileData, its file unchanged" yes
