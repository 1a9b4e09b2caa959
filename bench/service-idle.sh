#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What an idle pixtera2 does: one Pixtera.FileDisplay showing a static screen, no data provider.
# Prints, per thread, its name, scheduler slices (wake-ups) and CPU time over SECONDS (default 20),
# from /proc/PID/task/*/schedstat. Target: no slice at all. Not a test: run it by hand.
#   bench/service-idle.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-20}
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; pkill -f "^$work/bin/pixtera2" 2>/dev/null || true; rm -rf "$work"' EXIT

source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"
service_sandbox "$work" "$build" FileDisplay

cat >"$work/design.pxd" <<'XML'
<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>
<Appearance Mode="Static"/><Data Mode="Static" Text="Static screen"/></DisplayItem></DisplayItems></Design>
XML
cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="$work/design.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML

service_start "$work"
pid=$session
sleep 3
snapshot() {
    for task in /proc/"$service"/task/*; do
        printf '%s %s %s\n' "${task##*/}" "$(cat "$task/comm" | tr ' ' '_')" "$(cat "$task/schedstat")"
    done
}
before=$(snapshot)
sleep "$seconds"
after=$(snapshot)
echo "over $seconds s (thread, slices, CPU ms):"
join <(echo "$before" | sort) <(echo "$after" | sort) |
    awk '{ slices = $9 - $5; ms = ($7 - $3) / 1e6; total += ms; wakes += slices;
           printf "  %-7s %-16s %6d %8.2f\n", $1, $2, slices, ms }
         END { printf "total: %d slices, %.2f ms of CPU = %.4f %% of a core\n", wakes, total, total / ('"$seconds"' * 10) }'
