#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CPU of the service showing the demo queue (system data on a file display) for SECONDS (default
# 10), with its plug-ins in its own process and with every plug-in isolated (IsolatePlugins=1),
# host processes included. Not a test: run it by hand.   bench/isolation-cpu.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-10}
work=$(mktemp -d)
trap 'kill "$service" 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$work"' EXIT
source "$(dirname "$0")/../scripts/lib/service-sandbox.sh"
service_sandbox "$work" "$build" DispatchWrapper SystemData FileDisplay
examples=$(realpath "$(dirname "$0")/../examples")
sed -e "s|@EXAMPLES@|$examples|g" -e 's|Pixtera.TerminalDisplay|Pixtera.FileDisplay|' -e 's|tty=@TTY@;colour=blue|path=/dev/null|' \
    "$examples/pixtera2-demo.xml" >"$work/bin/pixtera2.xml"

ticks() { # user + system ticks of the service and its host processes
    local total=0 pid
    for pid in "$service" $(pgrep -P "$service" || true); do
        total=$((total + $(awk '{ print $14 + $15 }' "/proc/$pid/stat")))
    done
    echo "$total"
}
for isolate in 0 1; do
    "$build/bin/pixtera-reg" add 'HKLM\Software\Pixtera2.0' /v IsolatePlugins /t REG_DWORD /d $isolate
    "$work/bin/pixtera2" >/dev/null 2>&1 &
    service=$!
    sleep 2
    before=$(ticks)
    sleep "$seconds"
    after=$(ticks)
    kill "$service"
    wait "$service" || true
    awk -v t=$((after - before)) -v s="$seconds" -v hz="$(getconf CLK_TCK)" -v i=$isolate \
        'BEGIN { printf "%-28s %.2f %% of one core\n", (i ? "every plug-in isolated:" : "plug-ins in process:"), 100 * t / hz / s }'
done
