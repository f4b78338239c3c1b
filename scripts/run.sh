#!/usr/bin/env bash
# Sets up and builds the program (only the program: scripts/test.sh builds the tests), then starts
# it. Needs a desktop session; on a machine without one it starts the program on a virtual
# display (xvfb-run), where nobody sees it, and says so.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" --target halvorix "$here/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$here/build/stage/halvorix" "$@"
fi

echo "No desktop session found (neither DISPLAY nor WAYLAND_DISPLAY is set): starting Halvorix" \
     "on a virtual display (xvfb-run), where its window cannot be seen. Press Ctrl+C to end it." >&2
# Ctrl+C reaches this script alone: the virtual display and the program run in a session of their
# own, so the program is ended first, and xvfb-run ends the display once the program is gone.
# Were the display ended with it, the program could see it vanish first ("The X11 connection
# broke").
pidfile=$(mktemp)
trap 'rm -f "$pidfile"' EXIT
trap '[ ! -s "$pidfile" ] || kill -TERM "$(cat "$pidfile")" 2>/dev/null || true' INT TERM
setsid xvfb-run -a -s "-screen 0 1280x800x24" \
  bash -c '"$0" "${@:2}" & echo $! > "$1"; wait $!' "$here/build/stage/halvorix" "$pidfile" "$@" &
session=$!
status=0
while kill -0 "$session" 2>/dev/null; do
  wait "$session" && status=0 || status=$?
done
exit "$status"
