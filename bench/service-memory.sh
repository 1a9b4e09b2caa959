#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Resident memory of pixtera2 running one Pixtera.FileDisplay showing a Pixtera.FileData value:
# RSS and PSS (RSS counts every shared library page the process maps, PSS its fair share of
# them), with the largest contributors by mapping (from /proc/PID/smaps). Target: RSS at or under
# 8 MB. Not a test: run it by hand.
#   bench/service-memory.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; pkill -f "^$work/bin/pixtera2" 2>/dev/null || true; cat "$work/log" >&2; rm -rf "$work"' EXIT

source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"
service_sandbox "$work" "$build" FileDisplay FileData

printf 'load=0.42\n' >"$work/values.txt"
cat >"$work/design.pxd" <<'XML'
<Design><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>
<Appearance Mode="Static"/><Data Mode="Static" Text="Load"/></DisplayItem>
<DisplayItem><Position X="0" Y="1" Width="20" Height="1"/><Appearance Mode="Static"/>
<Data Mode="Data" Name="load"/></DisplayItem></DisplayItems></Design>
XML
cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileData" configuration="path=$work/values.txt"><data active="yes"/></driver>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="$work/design.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML

service_start "$work"
pid=$session
sleep 3
echo "private dirty (kB):"; awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]") } /^Private_Dirty:/ { d[name] += $2 } END { for (n in d) if (d[n] > 0) printf "%8d  %s\n", d[n], n }' "/proc/$service/smaps" | sort -rn | head -12
ls /proc/$service/task | wc -l | sed "s/^/threads: /"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "anon " $1) } /^Rss:/ { if (name ~ /^anon/ && $2 > 0) print $2, name }' "/proc/$service/smaps" | sort -rn | head -20
grep -E "VmRSS|RssAnon|RssFile" "/proc/$service/status"
awk '/^Rss:/ { rss = $2 } /^Pss:/ { pss = $2 } END { printf "RSS %d kB, PSS %d kB\n", rss, pss }' "/proc/$service/smaps_rollup"
echo "largest resident mappings (kB):"
awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]") } /^Rss:/ { rss[name] += $2 }
     END { for (n in rss) printf "%8d  %s\n", rss[n], n }' "/proc/$service/smaps" | sort -rn | head -30
