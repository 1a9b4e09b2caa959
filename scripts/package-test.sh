#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Debian packages as a user gets them: built with dpkg-buildpackage from a copy of the source
# tree, checked by lintian, installed, the demo run for three seconds as an ordinary user who
# registered nothing, installed again over themselves, upgraded from a lower version made here,
# and purged, checking that nothing is left behind. Needs root (or sudo): it installs into /usr.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

install_packages lintian debhelper fakeroot appstream python3 shared-mime-info desktop-file-utils xdg-utils \
    libfile-mimeinfo-perl binutils systemd
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The build dependencies named in debian/control, then the build, outside the source tree.
as_root env DEBIAN_FRONTEND=noninteractive apt-get build-dep -y -qq "$PIXTERA_ROOT" >/dev/null
mkdir "$work/source"
tar -C "$PIXTERA_ROOT" --exclude='./build*' --exclude=./.git --exclude='./obj-*' -cf - . | tar -C "$work/source" -xf -
(cd "$work/source" && DEB_BUILD_OPTIONS="parallel=2 nocheck" dpkg-buildpackage -us -uc -b >"$work/build.log" 2>&1) ||
    { tail -50 "$work/build.log" >&2; echo "FAIL: dpkg-buildpackage" >&2; exit 1; }
packages=(pixtera libpixtera-platform2 pixtera-designer libpixtera-dev pixtera-fps)
debs=()
for package in "${packages[@]}"; do
    debs+=("$(ls "$work/${package}_"*.deb)")
done
echo "Built: ${debs[*]##*/}"

lintian --fail-on error,warning --tag-display-limit 0 "$work"/*.changes
echo "lintian: no errors, no warnings"

user=pixtera-ci
id "$user" >/dev/null 2>&1 || as_root useradd --create-home --shell /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_root rm -rf "$home/.config/pixtera" "$home/.local/share/pixtera"
purge() { as_root dpkg --purge "${packages[@]}" >/dev/null 2>&1 || true; }
trap 'purge; rm -rf "$work"' EXIT

# A lower version of the same packages, to upgrade from: the built ones relabelled 1.9.
for deb in "${debs[@]}"; do
    unpacked="$work/old/$(basename "$deb" .deb)"
    mkdir -p "$unpacked"
    dpkg-deb -R "$deb" "$unpacked"
    sed -i 's/2\.0\.0/1.9.0/g' "$unpacked/DEBIAN/control"
    dpkg-deb --root-owner-group -b "$unpacked" "$work/old/" >/dev/null
done
as_root dpkg -i "$work"/old/*.deb >/dev/null
as_root dpkg -i "${debs[@]}" >/dev/null
[ "$(dpkg-query -W -f='${Version}' pixtera)" = 2.0.0 ] || { echo "FAIL: the upgrade did not take" >&2; exit 1; }
as_root dpkg -i "${debs[@]}" >/dev/null # the same version over itself
files=$(dpkg -L "${packages[@]}")
grep -qx /usr/lib/udev/rules.d/60-pixtera-usb-i2c.rules <<<"$files" ||
    { echo "FAIL: the udev rule for USB-to-I2C adapters is not in the package" >&2; exit 1; }
grep -qx /usr/lib/udev/rules.d/60-pixtera-usb-lcd.rules <<<"$files" ||
    { echo "FAIL: the udev rule for USB character modules is not in the package" >&2; exit 1; }
if ls /etc/systemd/user/*.wants/pixtera* >/dev/null 2>&1; then
    echo "FAIL: the packages enabled user units for every user: $(ls /etc/systemd/user/*.wants/pixtera*)" >&2
    exit 1
fi

/usr/bin/pixtera2 --version
demo=$(as_root runuser -u "$user" -- mktemp -d)
as_root runuser -u "$user" -- sh -c "mkdir -p '$home/.config/pixtera' && cat > '$home/.config/pixtera/pixtera2.xml'" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;path=$demo/display.jsonl">
<display active="yes"><queue><queueitem Filename="/usr/share/pixtera/examples/hello.pxd" Runtime="0"/></queue></display></driver>
<driver clsid="Pixtera.SystemData" configuration="interval=1000"><data active="yes"/></driver>
</drivers></PixteraConfiguration>
XML
as_root runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin \
    dbus-run-session -- timeout --signal=TERM 3 /usr/bin/pixtera2 >"$work/demo.log" 2>&1 || true
if ! as_root grep -q "Hello from Pixtera" "$demo/display.jsonl.frame"; then
    cat "$work/demo.log" >&2
    echo "FAIL: the packaged demo showed nothing" >&2
    exit 1
fi
echo "The packaged service showed the demo for $user"

# Started as systemd starts the unit, with nothing but the package's registration: READY=1 on a
# notification socket that this script reads.
as_root runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin \
    dbus-run-session -- python3 - >"$work/notify.log" 2>&1 <<'PY' || { cat "$work/notify.log" >&2; echo "FAIL: the unit's start never reported ready" >&2; exit 1; }
import os, socket, subprocess, sys, tempfile
path = os.path.join(tempfile.mkdtemp(), "notify")
listener = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
listener.bind(path)
listener.settimeout(10)
service = subprocess.Popen(["/usr/bin/pixtera2"], env=dict(os.environ, NOTIFY_SOCKET=path))
try:
    while True:
        message = listener.recv(4096).decode()
        print(message)
        if "READY=1" in message.split("\n"):
            break
finally:
    service.terminate()
    service.wait(10)
PY
echo "The service started as systemd would reported ready: $(tr '\n' ' ' <"$work/notify.log")"

# Designs are known to the desktop and open in the designer.
design_type=$(xdg-mime query filetype /usr/share/pixtera/examples/hello.pxd)
[ "$design_type" = application/x-pixtera-design ] || { echo "FAIL: a design is $design_type" >&2; exit 1; }
design_opener=$(xdg-mime query default application/x-pixtera-design)
[ "$design_opener" = org.pixtera.Designer.desktop ] || { echo "FAIL: designs open in '$design_opener'" >&2; exit 1; }
desktop-file-validate /usr/share/applications/org.pixtera.Designer.desktop
echo "Designs are $design_type and open in $design_opener"

# Plug-ins export their entry points only.
"$PIXTERA_ROOT/scripts/check-plugin-exports.sh" /usr/lib/*/pixtera/plugins

# The user units' sandboxing, as docs/service.md states it.
runtime=$(mktemp -d)
for unit in pixtera2 pixtera-mqtt; do
    XDG_RUNTIME_DIR=$runtime systemd-analyze security --user --offline=yes --threshold=65 \
        "/usr/lib/systemd/user/$unit.service" >"$work/security.log" 2>&1 ||
        { tail -3 "$work/security.log" >&2; echo "FAIL: $unit.service is less sandboxed than documented" >&2; exit 1; }
    echo "$unit.service: $(tail -1 "$work/security.log")"
done
rm -rf "$runtime"

as_root dpkg --purge "${packages[@]}" >/dev/null
left=()
while read -r file; do
    [ -f "$file" ] || [ -L "$file" ] && left+=("$file")
done <<<"$files"
[ -e /var/lib/pixtera ] && left+=(/var/lib/pixtera)
if [ ${#left[@]} -gt 0 ]; then
    echo "FAIL: left behind after dpkg --purge: ${left[*]}" >&2
    exit 1
fi
as_root rm -rf "$demo" "$home/.config/pixtera" "$home/.local/share/pixtera"
echo "Upgraded, reinstalled and purged; nothing left behind"
