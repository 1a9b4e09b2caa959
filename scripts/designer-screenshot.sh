#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Screenshot of the designer editing a demo design, for docs/designer.md. Runs everything in a
# throw-away directory: a private session bus, its own registry, the service with a file display
# and the system data, and the designer on a virtual X server.
#
#   scripts/designer-screenshot.sh [--panel | --hung | --detect | --power | --preview | --menu] [DESIGN.pxd] [OUTPUT.png]
#
# With --panel the picture is of the configuration panel (File > Configure), by default
# docs/images/configuration-panel.png. With --hung the service is stopped (SIGSTOP) under a window
# manager and the picture shows the designer still answering: its File menu open and the status
# line, by default /tmp/designer-hung.png. With --detect the panel's "Detect displays" window shows
# two modules on a model I2C bus (the tests' LD_PRELOAD stand-in for i2c-dev), by default
# docs/images/detect-displays.png. With --power the picture is of Display > Power..., by default
# /tmp/designer-power.png. With --preview the service has two file displays and the picture shows
# Display > Preview open, by default /tmp/designer-preview.png. With --menu a menu is built from
# nothing in File > Menu Editor with its keys, under a window manager, and the preview walks it:
# by default docs/images/menu-editor.png; PIXTERA_SCREENSHOT_STEPS=DIR keeps a picture after each
# of its steps there, to see where a key went astray.
set -euo pipefail
source "$(dirname "$0")/lib/common.sh"

panel=false
hung=false
detect=false
power=false
preview=false
menu=false
case "${1:-}" in
  --menu) menu=true; shift ;;
  --power) power=true; shift ;;
  --preview) preview=true; shift ;;
  --panel) panel=true; shift ;;
  --hung) hung=true; shift ;;
  --detect) panel=true; detect=true; shift ;;
esac
design=${1:-$PIXTERA_ROOT/examples/cpu-memory.pxd}
default_output=$PIXTERA_ROOT/docs/images/designer.png
$panel && default_output=$PIXTERA_ROOT/docs/images/configuration-panel.png
$hung && default_output=/tmp/designer-hung.png
$detect && default_output=$PIXTERA_ROOT/docs/images/detect-displays.png
$power && default_output=/tmp/designer-power.png
$preview && default_output=/tmp/designer-preview.png
$menu && default_output=$PIXTERA_ROOT/docs/images/menu-editor.png
screen=1100x700
$menu && screen=1560x665
output=${2:-$default_output}
install_packages "${PIXTERA_PACKAGES[@]}" xvfb xauth imagemagick xdotool openbox
cmake -S "$PIXTERA_ROOT" -B "$PIXTERA_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$PIXTERA_BUILD_DIR" -j2 --target pixtera2 pixtera-reg pixtera-designer FileDisplay SystemData HD44780I2C \
  fake-i2c-preload >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin/plugins" "$work/lib"
cp "$PIXTERA_BUILD_DIR"/bin/{pixtera2,pixtera-reg,pixtera-designer} "$work/bin/"
cp "$PIXTERA_BUILD_DIR"/bin/plugins/*.so "$PIXTERA_BUILD_DIR"/bin/plugins/*.pxp "$work/bin/plugins/"
cp -P "$PIXTERA_BUILD_DIR"/lib/libpixtera-platform.so* "$work/lib/"
export PIXTERA_REGISTRY="$work/registry.db" PIXTERA_RUNTIME_DIR="$work/run"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
"$work/bin/pixtera2" -RegServer
"$work/bin/pixtera-reg" register "$work/bin/plugins/FileDisplay.so" >/dev/null
"$work/bin/pixtera-reg" register "$work/bin/plugins/SystemData.so" >/dev/null
"$work/bin/pixtera-reg" register "$work/bin/plugins/HD44780I2C.so" >/dev/null
preload=()
if $detect; then
  mkdir -p "$work/dev" && touch "$work/dev/i2c-1"
  preload=(env "LD_PRELOAD=$PIXTERA_BUILD_DIR/test-modules/libfake-i2c-preload.so" "PIXTERA_FAKE_DEV=$work/dev"
           "PIXTERA_FAKE_I2C=1:0x27:a,1:0x3f:b-norw")
fi
second_display=""
$preview && second_display="<driver clsid=\"Pixtera.FileDisplay\" configuration=\"columns=16;rows=2;path=$work/desk\"><display active=\"yes\"/></driver>"
cat > "$work/bin/pixtera2.xml" <<XML
<PixteraConfiguration><drivers>
<driver clsid="Pixtera.FileDisplay" configuration="columns=20;rows=4;cellwidth=5;cellheight=8;path=$work/lcd"><display active="yes"><queue><queueitem Filename="$design" Runtime="6"/></queue></display></driver>
$second_display
<driver clsid="Pixtera.SystemData" configuration="interval=1000"><data active="yes"/></driver>
</drivers></PixteraConfiguration>
XML

mkdir -p "$(dirname "$output")"
dbus-run-session -- xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
  if [ "$4" = true ] || [ "$5" = true ] || [ "$6" = true ] || [ "$7" = true ] || [ "$8" = true ]; then openbox & sleep 1; fi
  "${@:9}" "$1/bin/pixtera-designer" & designer=$!
  sleep 5
  if [ "$8" = true ]; then
    # File > Menu Editor, then a menu built with the keys of the editor alone, beside the main window.
    window=$(xdotool search --name "Pixtera designer" | head -n 1)
    xdotool windowactivate --sync "$window" windowmove "$window" 0 0 windowsize "$window" 760 660
    sleep 1
    xdotool key ctrl+m
    sleep 2
    editor=$(xdotool search --name "^Menu - " | head -n 1)
    xdotool windowmove "$editor" 770 0 windowsize "$editor" 785 480 windowactivate --sync "$editor"
    sleep 1
    step=0
    shot() { if [ -n "${PIXTERA_SCREENSHOT_STEPS:-}" ]; then step=$((step + 1)); import -window root "$PIXTERA_SCREENSHOT_STEPS/$step.png"; fi; }
    keys() { xdotool key --delay 120 "$@"; sleep 0.3; shot; }
    text() { xdotool type --delay 60 -- "$1"; xdotool key Return; sleep 0.3; shot; }
    keys alt+t ctrl+a; text "Front panel"
    keys alt+n Insert; text "Clock"; keys alt+c Up alt+g; text "clock.pxd"
    keys alt+n Insert; text "Next screen"
    keys alt+n shift+Insert; text "Light"
    keys alt+n Insert; text "Toggle"; keys alt+c Down Down Down Down alt+n ctrl+Right
    keys alt+n Insert; text "Brighter"; keys alt+c Down Down Down Down Down
    keys alt+n shift+Insert; text "System"; keys alt+n ctrl+Left
    keys alt+n Insert; text "Uptime"; keys alt+n ctrl+Right
    keys alt+c Down Down Down Down Down Down Down Down alt+p; text "/usr/bin/uptime"
    keys alt+r; xdotool type -- "-p"; keys alt+a
    keys alt+n Insert; text "Reboot"
    keys alt+c Down Down Down Down Down Down Down Down Down Down Down Down alt+a alt+n
    # The preview walks it: Enter opens the menu, the arrows move down to System.
    xdotool windowactivate --sync "$window"
    sleep 1
    # A click beside the display gives the preview the keyboard and selects nothing.
    xdotool mousemove --window "$window" 380 120 click 1
    xdotool key --delay 200 Return Down Down Down
    sleep 1
  fi
  if [ "$7" = true ]; then
    # Display > Preview, by the mouse and the arrows: the menu has no mnemonic.
    window=$(xdotool search --name "Pixtera designer" | head -n 1)
    xdotool windowactivate --sync "$window"
    xdotool mousemove --window "$window" 150 12 click 1
    sleep 1
    xdotool key Down Down Down Right
    sleep 2
  fi
  if [ "$6" = true ]; then
    # Display > Power..., by the mouse: the menu has no mnemonic.
    window=$(xdotool search --name "Pixtera designer" | head -n 1)
    xdotool windowactivate --sync "$window"
    xdotool mousemove --window "$window" 150 12 click 1
    sleep 1
    xdotool key Up Return
    sleep 2
  fi
  if [ "$4" = true ]; then
    # The service hangs; the window must still answer its menu.
    service=$(pgrep -f "$1/bin/pixtera2" | head -n 1)
    kill -STOP "$service"
    window=$(xdotool search --name "Pixtera designer" | head -n 1)
    xdotool windowactivate --sync "$window"
    sleep 5 # the designer asks the silent service and gives up after a second
    xdotool key --window "$window" alt+f
    sleep 1
    import -window root "$2"
    kill -CONT "$service"
  fi
  if [ "$3" = true ]; then
    # File > Configure, typed into the designer window (there is no window manager to focus it).
    window=$(xdotool search --name "Pixtera designer" | head -n 1)
    xdotool windowfocus --sync "$window" key --window "$window" alt+f
    sleep 1
    xdotool key Return
    sleep 4
    if [ "$5" = true ]; then
      xdotool key alt+d
      sleep 3
    fi
  fi
  [ "$4" = true ] || import -window root "$2"
  if [ "$6" = true ] || [ "$7" = true ]; then xdotool key Escape; fi
  kill $designer; wait $designer || true
  pkill -f "^$1/bin/pixtera2" || true
' _ "$work" "$output" "$panel" "$hung" "$detect" "$power" "$preview" "$menu" "${preload[@]}"
echo "Wrote $output"
