#!/usr/bin/env bash
# Starts the real program on a virtual display with a throw-away settings folder and checks that
# a window titled "Halvorix" appears with its icon and that the remembered direction was written.
set -euo pipefail
program=$1
config=$(mktemp -d)
log=$(mktemp)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$config"' EXIT
export XDG_CONFIG_HOME=$config
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  "$0" & pid=$!
  for i in $(seq 1 100); do
    if wid=$(xdotool search --onlyvisible --name "^Halvorix$" 2>/dev/null | head -1) && [ -n "$wid" ]; then
      echo "window shown"
      # The icon the title bar and the task switcher draw, as the window manager reads it.
      for j in $(seq 1 50); do
        if xprop -id "$wid" _NET_WM_ICON | head -1 | grep -q "Icon ("; then
          echo "window icon set: $(xprop -id "$wid" _NET_WM_ICON | grep -o "Icon ([0-9]* x [0-9]*)" | tr "\n" " ")"
          kill $pid; exit 0
        fi
        sleep 0.1
      done
      echo "the window has no icon (_NET_WM_ICON: $(xprop -id "$wid" _NET_WM_ICON | head -1))" >&2; kill $pid; exit 1
    fi
    sleep 0.1
  done
  echo "no window titled Halvorix appeared" >&2; kill $pid; exit 1' "$program" >"$log" 2>&1 &
pid=$!
wait "$pid" || { cat "$log"; exit 1; }
cat "$log"
grep -qx "Option1=True" "$config/Brackwen.conf" || { echo "Brackwen.conf lacks Option1=True:"; cat "$config/Brackwen.conf" 2>/dev/null; exit 1; }
echo "Brackwen.conf holds Option1=True"
