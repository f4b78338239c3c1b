#!/usr/bin/env bash
# Starts the real program on a virtual display with a throw-away settings folder and checks that
# a window titled "Halvorix" appears and that the remembered direction was written.
set -euo pipefail
program=$1
config=$(mktemp -d)
log=$(mktemp)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$0" & pid=$!
  for i in $(seq 1 100); do
    if xdotool search --name "^Halvorix$" >/dev/null 2>&1; then echo "window shown"; kill $pid; exit 0; fi
    sleep 0.1
  done
  echo "no window titled Halvorix appeared" >&2; kill $pid; exit 1' "$program" >"$log" 2>&1 &
pid=$!
wait "$pid" || { cat "$log"; exit 1; }
cat "$log"
grep -qx "Option1=True" "$config/Brackwen.conf" || { echo "Brackwen.conf lacks Option1=True:"; cat "$config/Brackwen.conf" 2>/dev/null; exit 1; }
echo "Brackwen.conf holds Option1=True"
