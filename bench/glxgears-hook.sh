#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# glxgears' own frame rate over 10 s under Xvfb, without and with pixtera-fps-run, and the ratio.
# Not a test: run it by hand.   bench/glxgears-hook.sh [BUILD_DIR]
set -euo pipefail
build=$(realpath "${1:-build}")
rate() { # the mean of the rates glxgears prints in 11 s (two five-second reports)
    xvfb-run -a -s "-screen 0 640x480x24" timeout 11 "$@" stdbuf -oL glxgears 2>/dev/null |
        grep -o "= [0-9.]* FPS" | tr -dc '0-9.\n' | awk '{ s += $1; n++ } END { printf "%.1f", s / n }' || true
}
plain=$(rate env)
hooked=$(rate "$build/bin/pixtera-fps-run")
echo "glxgears without the hook: $plain FPS"
echo "glxgears with the hook:    $hooked FPS"
awk -v a="$hooked" -v b="$plain" 'BEGIN { printf "ratio: %.3f\n", a / b }'
