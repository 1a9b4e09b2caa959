#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Frame rates of real games under Xvfb, read through the service: glxgears and es2gears_x11
# (OpenGL through GLX and EGL, hooked by LD_PRELOAD) and vkcube (Vulkan on lavapipe, through the
# implicit layer), each started by pixtera-fps-run, shown by Ratewell on a file display. The games
# and the service share a session's runtime directory, where the records go.
#   games_test.sh BUILD_DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
pids=()
planted=""
cleanup() {
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
    [ -z "$planted" ] || rm -f "$planted"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; echo "display shows: $(shown)" >&2; exit 1; }
shown() { tr '\n' '|' <"$work/display.jsonl.frame" 2>/dev/null || true; }
# Waits up to $1 seconds for the display to show text matching $2.
wait_for() {
    local deadline=$((SECONDS + $1))
    while [ $SECONDS -le $deadline ]; do
        shown | grep -Eq "$2" && return 0
        sleep 0.2
    done
    return 1
}
own_record_of() { [ -e "$XDG_RUNTIME_DIR/pixtera-fps/pixtera-fps-$1" ]; }
record_of() { own_record_of "$1" || [ -e "/dev/shm/pixtera-fps-$1" ]; }

source "$(dirname "$0")/../../../scripts/lib/service-sandbox.sh"
service_sandbox "$work" "$build" Ratewell FileDisplay
cat >"$work/rate.pxd" <<'XML'
<Design UpdateFreq="100"><DisplayItems>
<DisplayItem><Position X="0" Y="0" Width="30" Height="1"/><Appearance Mode="Static"/><Data Mode="Data" Name="Fraps_FPS"/></DisplayItem>
<DisplayItem><Position X="0" Y="1" Width="30" Height="1"/><Appearance Mode="Static"/><Data Mode="Data" Name="Fraps_GAME"/></DisplayItem>
</DisplayItems></Design>
XML
cat >"$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Ratewell.DataProv" configuration=""><data active="yes"/></driver>
<driver clsid="Pixtera.FileDisplay" configuration="columns=30;rows=2;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="$work/rate.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 0700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display-number" 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display-number" ] && break; sleep 0.1; done
DISPLAY=:$(cat "$work/display-number")
export DISPLAY

"$work/bin/pixtera2" >"$work/service.log" 2>&1 &
pids+=($!)
wait_for 10 "Fraps not running" || fail "the service shows no frame-rate items"

# Without PIXTERA_FPS=1 the library and the layer stay out of the way.
env LD_PRELOAD="$build/lib/libpixtera-fps.so" XDG_DATA_DIRS="$build/share:/usr/share" glxgears >/dev/null 2>&1 &
quiet_gl=$!
env XDG_DATA_DIRS="$build/share:/usr/share" vkcube >/dev/null 2>&1 &
quiet_vk=$!
pids+=("$quiet_gl" "$quiet_vk")
sleep 2
record_of "$quiet_gl" && fail "glxgears without PIXTERA_FPS=1 got a record"
record_of "$quiet_vk" && fail "vkcube without PIXTERA_FPS=1 got a record"
kill -KILL "$quiet_gl" "$quiet_vk"
wait_for 3 "Fraps not running" || fail "the quiet games were shown"

# OpenGL: the rate glxgears measures itself, printed every five seconds. Another user took the
# shared name of its pid first, open to all (a shell that makes it, then becomes the game): it is
# measured all the same.
if [ "$(id -u)" -eq 0 ]; then
    take_shared_name='install -m 0666 -o nobody /dev/null /dev/shm/pixtera-fps-$$ && exec "$@"'
else
    echo "not root: the shared name is not taken by another user"
    take_shared_name='exec "$@"'
fi
sh -c "$take_shared_name" sh "$build/bin/pixtera-fps-run" stdbuf -oL glxgears >"$work/glxgears.log" 2>&1 &
gears=$!
pids+=("$gears")
[ "$(id -u)" -ne 0 ] || planted=/dev/shm/pixtera-fps-$gears
wait_for 3 "[|]glxgears" || fail "glxgears is not shown within 3 s ($(cat "$work/glxgears.log"))"
own_record_of "$gears" || fail "glxgears's record is not in its runtime directory"
[ -z "$planted" ] || [ "$(stat -c %U "$planted")" = nobody ] || fail "the other user's file was replaced"
for _ in $(seq 100); do grep -q "frames in" "$work/glxgears.log" && break; sleep 0.1; done
own=$(grep -m1 -o "= [0-9.]* FPS" "$work/glxgears.log" | tr -dc '0-9.')
ours=$(shown | grep -Eo '^ *[0-9]+' | tr -d ' ')
[ -n "$own" ] && [ -n "$ours" ] || fail "no rates to compare (glxgears: '$own', shown: '$ours')"
awk -v a="$ours" -v b="$own" 'BEGIN { exit !(a > 0 && a > 0.6 * b && a < 1.6 * b) }' ||
    fail "shown $ours FPS, glxgears measured $own"
echo "glxgears: shown $ours FPS, it measured $own"

# OpenGL ES through EGL.
"$build/bin/pixtera-fps-run" es2gears_x11 >/dev/null 2>&1 &
es=$!
pids+=("$es")
kill -STOP "$gears"
wait_for 3 "^ *[1-9][0-9]* *[|]es2gears_x11" || fail "es2gears_x11 (eglSwapBuffers) is not shown within 3 s"
kill -KILL "$es"
kill -CONT "$gears"
wait_for 3 "[|]glxgears" || fail "glxgears is not shown again"

# Vulkan, and two games at once: the one that presented last is shown.
"$build/bin/pixtera-fps-run" vkcube >/dev/null 2>&1 &
cube=$!
pids+=("$cube")
kill -STOP "$gears"
wait_for 3 "^ *[1-9][0-9]* *[|]vkcube" || fail "vkcube is not shown within 3 s"
kill -STOP "$cube"
kill -CONT "$gears"
wait_for 3 "[|]glxgears" || fail "glxgears presents again but is not shown"
kill -CONT "$cube"

# A game killed outright: its record goes and the items read as before.
kill -KILL "$gears" "$cube"
wait_for 3 "Fraps not running" || fail "killed games are still shown after 3 s"
own_record_of "$gears" && fail "the killed game's record is still there"
echo "vkcube, two games at once and killed games: fine"
