#!/usr/bin/env bash
# Builds the Debian package from the build directory, installs it, runs the demo on a file display
# for three seconds as an ordinary user who registered nothing, and removes the package again,
# checking that nothing is left behind. Needs root (or sudo): it installs into /usr.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

cd "$PIXTERA_BUILD_DIR"
grep -q '^CMAKE_INSTALL_PREFIX:PATH=/usr$' CMakeCache.txt || { echo "configure with -DCMAKE_INSTALL_PREFIX=/usr" >&2; exit 1; }
rm -f pixtera_*.deb
cpack -G DEB >/dev/null
package=$(ls pixtera_*.deb)
echo "Built $package"

user=pixtera-ci
id "$user" >/dev/null 2>&1 || as_root useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_root rm -rf "$home/.config/pixtera" "$home/.local/share/pixtera"

as_root dpkg -i "$package" >/dev/null
files=$(dpkg -L pixtera)
trap 'as_root dpkg -r pixtera >/dev/null 2>&1 || true' EXIT

/usr/bin/pixtera2 --version
work=$(as_root runuser -u "$user" -- mktemp -d)
as_root runuser -u "$user" -- sh -c "mkdir -p '$home/.config/pixtera' && cat > '$home/.config/pixtera/pixtera2.xml'" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$work/display.jsonl">
<display active="yes"><queue><queueitem Filename="/usr/share/pixtera/examples/hello.pxd" Runtime="0"/></queue></display></driver>
<driver clsid="Pixtera.SystemData" configuration="interval=1000"><data active="yes"/></driver>
</drivers></PixteraConfiguration>
XML
as_root runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin \
    dbus-run-session -- timeout --signal=TERM 3 /usr/bin/pixtera2 >"$PIXTERA_BUILD_DIR/package-demo.log" 2>&1 || true
if ! as_root grep -q "Hello from Pixtera" "$work/display.jsonl.frame"; then
    cat "$PIXTERA_BUILD_DIR/package-demo.log" >&2
    echo "FAIL: the packaged demo showed nothing" >&2
    exit 1
fi
echo "The packaged service showed the demo for $user"

as_root dpkg -r pixtera >/dev/null
trap - EXIT
left=()
while read -r file; do
    [ -f "$file" ] && left+=("$file")
done <<<"$files"
[ -e /var/lib/pixtera ] && left+=(/var/lib/pixtera)
if [ ${#left[@]} -gt 0 ]; then
    echo "FAIL: left behind after dpkg -r: ${left[*]}" >&2
    exit 1
fi
as_root rm -rf "$work" "$home/.config/pixtera" "$home/.local/share/pixtera"
echo "Removed again, nothing left behind"
