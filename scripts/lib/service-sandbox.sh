# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Shared by the scripts that run the service from a build tree (tests and benchmarks).

# service_sandbox WORK BUILD PLUGIN...: pixtera2 of BUILD copied to WORK/bin (its pixtera2.xml
# goes beside it) and registered, with the named plug-ins of BUILD, in registry and XDG
# directories of WORK's own; the environment is set for the programs started after it.
service_sandbox() {
  local work=$1 build=$2 plugin
  shift 2
  export PIXTERA_REGISTRY=$work/registry.db PIXTERA_MACHINE_REGISTRY="" PIXTERA_RUNTIME_DIR=$work/run
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data PIXTERA_STATS_ENDPOINT=
  mkdir -p "$work/bin"
  cp "$build/bin/pixtera2" "$work/bin/"
  ln -s "$build/lib" "$work/lib"
  "$work/bin/pixtera2" -RegServer >/dev/null
  for plugin in "$@"; do
    "$build/bin/pixtera-reg" register "$build/bin/plugins/$plugin.so" >/dev/null
  done
}

# service_start WORK: WORK/bin/pixtera2 on a session bus of its own, its log in WORK/log; returns
# once it said "Service started", with $service its pid and $session the pid of the bus's runner.
service_start() {
  local work=$1
  dbus-run-session -- "$work/bin/pixtera2" >"$work/log" 2>&1 &
  # shellcheck disable=SC2034 # for the caller
  session=$!
  service=""
  for _ in $(seq 100); do
    service=$(pgrep -f "^$work/bin/pixtera2" || true)
    [ -n "$service" ] && grep -q "Service started" "$work/log" && break
    sleep 0.1
  done
}
