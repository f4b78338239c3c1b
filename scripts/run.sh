#!/usr/bin/env bash
# Sets up and builds the program (only the program: scripts/test.sh builds the tests), then starts
# it. Needs a desktop session; on a machine without one it starts the program on a virtual
# display (xvfb-run), where nobody sees it, and says so.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" --target halvorix "$here/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$here/build/stage/halvorix"
else
  echo "No desktop session found (neither DISPLAY nor WAYLAND_DISPLAY is set): starting Halvorix" \
       "on a virtual display (xvfb-run), where its window cannot be seen. Press Ctrl+C to end it." >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$here/build/stage/halvorix"
fi
