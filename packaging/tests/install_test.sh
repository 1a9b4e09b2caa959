#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the build into a staging directory (DESTDIR) and checks what a user and a plug-in
# author get: the layout, the example plug-in built against the staged SDK with CMake and with
# pkg-config, and that plug-in registered in the machine layer and read by the staged service
# onto a file display.
#   install_test.sh BUILD_DIR PREFIX LIBDIR
set -euo pipefail
build=$1 prefix=$2 libdir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage
root=$stage$prefix
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$stage cmake --install "$build" >/dev/null

plugins=$root/$libdir/pixtera/plugins
for file in bin/pixtera2 bin/pixtera-reg bin/pixtera-render bin/pixtera-mqtt lib/systemd/user/pixtera-mqtt.service "$libdir/libpixtera-platform.so.2" \
            "$libdir/pkgconfig/pixtera-sdk.pc" "$libdir/cmake/PixteraSDK/PixteraSDKConfig.cmake" \
            include/pixtera/sdk/data_provider.h include/pixtera/platform/com.h \
            share/dbus-1/services/org.pixtera.Pixtera2.service share/dbus-1/interfaces/org.pixtera.IManager.xml lib/systemd/user/pixtera2.service \
            share/man/man1/pixtera2.1 share/man/man5/pixtera2.xml.5 share/pixtera/examples/clock.pxd \
            share/pixtera/examples/plugin/example_data.cpp bin/pixtera-fps-run "$libdir/pixtera/libpixtera-fps.so" \
            share/vulkan/implicit_layer.d/pixtera_fps_layer.json bin/pixtera-plugin-host; do
    [ -e "$root/$file" ] || fail "$file is not installed"
done
[ -e "$plugins/FileDisplay.so" ] && [ -e "$plugins/FileDisplay.pxp" ] || fail "no plug-ins in $plugins"
objdump -p "$root/$libdir/libpixtera-platform.so.2" | grep -q 'SONAME *libpixtera-platform.so.2' || fail "no SONAME"
grep -q "^Exec=$prefix/bin/pixtera2 -Embedding$" "$root/share/dbus-1/services/org.pixtera.Pixtera2.service" ||
    fail "the bus activation file does not name the installed program"
if find "$root" -name 'test-*' | grep -q .; then fail "test modules are installed"; fi

# The example plug-in, out of tree, against the staged SDK only: CMake, then pkg-config.
cmake -S "$root/share/pixtera/examples/plugin" -B "$work/with-cmake" -DCMAKE_PREFIX_PATH="$root" >/dev/null
cmake --build "$work/with-cmake" >/dev/null
cp -r "$root/share/pixtera/examples/plugin" "$work/with-pkg-config"
PKG_CONFIG_PATH=$root/$libdir/pkgconfig make -s -C "$work/with-pkg-config" >/dev/null
[ -e "$work/with-pkg-config/ExampleData.so" ] || fail "pkg-config build made no module"

# Registered for everyone as the package does, then read by the staged service.
export PIXTERA_REGISTRY=$work/user.db PIXTERA_MACHINE_REGISTRY=$work/machine.db PIXTERA_RUNTIME_DIR=$work/run
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data PIXTERA_STATS_ENDPOINT=
"$root/bin/pixtera2" -RegMachine
"$root/bin/pixtera-reg" --machine register "$plugins/FileDisplay.so" >/dev/null
"$root/bin/pixtera-reg" --machine register "$work/with-cmake/ExampleData.so" >/dev/null
cat >"$work/greeting.pxd" <<'XML'
<Design UpdateFreq="50"><DisplayItems><DisplayItem><Position X="0" Y="0" Width="20" Height="1"/>
<Appearance Mode="Static"/><Data Mode="Data" Name="Example.Greeting"/></DisplayItem></DisplayItems></Design>
XML
cat >"$root/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Example.Data" configuration="greeting=Hi from outside"><data active="yes"/></driver>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=2;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="$work/greeting.pxd" Runtime="0"/></queue></display></driver>
</drivers></PixteraConfiguration>
XML
"$root/bin/pixtera2" >"$work/log" 2>&1 &
service=$!
for _ in $(seq 100); do
    grep -q "Hi from outside" "$work/display.jsonl.frame" 2>/dev/null && break
    sleep 0.1
done
kill -TERM "$service"
wait "$service" || true
grep -q "Hi from outside" "$work/display.jsonl.frame" 2>/dev/null || { cat "$work/log" >&2; fail "the example plug-in's value was not shown"; }
if PIXTERA_MACHINE_REGISTRY='' "$root/bin/pixtera-reg" query 'HKCR\Example.Data' >/dev/null 2>&1; then
    fail "the machine registration landed in the user's own store"
fi
echo "installed layout, SDK builds and the staged service: all fine"
