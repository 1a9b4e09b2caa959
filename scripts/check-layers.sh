#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails, naming file and line, when a source file includes a header of a layer above its own:
#   platform < common (SDK, remote, mqtt) < devices < plugins < service, mqtt_bridge, designer
# and the designer's core never includes its widgets (ui/, app/) nor Qt Widgets.
#   scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

# Header names of a set of directories, one per line, without those that also exist below: a
# name the lower layer has is no evidence.
headers() { find "$@" -name '*.h' -printf '%f\n' 2>/dev/null | sort -u; }
only_in() { comm -23 <(headers "$@") <(headers platform common devices plugins); }

failures=0
# check LABEL FORBIDDEN_NAMES_FILE DIR...: quoted includes of a forbidden header name.
check() {
    local label=$1 forbidden=$2
    shift 2
    [ -s "$forbidden" ] || return 0
    while IFS=: read -r file line text; do
        name=$(sed -n 's/.*#include *"\([^"]*\)".*/\1/p' <<<"$text")
        if grep -qxF "${name##*/}" "$forbidden"; then
            echo "$file:$line: $label: $text" >&2
            failures=$((failures + 1))
        fi
    done < <(grep -rn --include='*.cpp' --include='*.h' '#include *"' "$@" || true)
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
comm -23 <(headers common devices plugins service designer mqtt_bridge) <(headers platform) >"$work/above-platform"
comm -23 <(headers devices plugins service designer mqtt_bridge) <(headers platform common) >"$work/above-common"
comm -23 <(headers plugins service designer mqtt_bridge) <(headers platform common devices) >"$work/above-devices"
only_in service designer mqtt_bridge >"$work/above-plugins"
# A name the service or the bridge has of its own is theirs: a quoted include finds it beside them.
comm -23 <(only_in designer) <(headers service mqtt_bridge) >"$work/designer"
comm -23 <(headers designer/ui designer/app) <(headers designer/core platform common devices plugins) >"$work/widgets"

# check_angled LABEL ALLOWED_REGEX DIR...: <pixtera/...> includes outside what the layer may use.
check_angled() {
    local label=$1 allowed=$2
    shift 2
    while IFS=: read -r file line text; do
        name=$(sed -n 's/.*#include *<\(pixtera\/[^>]*\)>.*/\1/p' <<<"$text")
        if [ -n "$name" ] && ! grep -qE "$allowed" <<<"$name"; then
            echo "$file:$line: $label: $text" >&2
            failures=$((failures + 1))
        fi
    done < <(grep -rn --include='*.cpp' --include='*.h' '#include *<pixtera/' "$@" 2>/dev/null || true)
}

# Every header of a layer is reached as <pixtera/...>: platform/ has pixtera/platform/, the SDK
# pixtera/sdk/; common/ adds pixtera/*.h, pixtera/remote/, pixtera/mqtt/.
check_angled "platform includes a higher layer" '^pixtera/platform/' platform
check_angled "the SDK includes more than the platform" '^pixtera/(platform|sdk)/' common/sdk
check_angled "test support includes more than the platform" '^pixtera/platform/' testing

check "platform includes a higher layer" "$work/above-platform" platform
check "test support includes a higher layer" "$work/above-platform" testing
check "common includes a higher layer" "$work/above-common" common
check "device code includes a plug-in, the service, the bridge or the designer" "$work/above-devices" devices
check "a plug-in includes the service, the bridge or the designer" "$work/above-plugins" plugins
check "the service includes the designer" "$work/designer" service mqtt_bridge
check "the designer's core includes its widgets" "$work/widgets" designer/core
while IFS=: read -r file line text; do
    echo "$file:$line: the designer's core includes Qt Widgets: $text" >&2
    failures=$((failures + 1))
done < <(grep -rnE '#include *<(QtWidgets/|QWidget|QMainWindow|QDialog|QApplication|QLabel|QPushButton|QMenu)' designer/core || true)

if [ "$failures" -gt 0 ]; then
    echo "$failures include(s) across a forbidden edge (docs/architecture.md)" >&2
    exit 1
fi
echo "No include crosses a layer upwards"
