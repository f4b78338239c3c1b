#!/usr/bin/env bash
# Sets up, builds and starts Halvorix. Needs a desktop session; on a machine without one it
# starts the program under a virtual display (xvfb-run).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh" "$here/build"
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$here/build/stage/halvorix"
else
  echo "No desktop session found: starting Halvorix on a virtual display (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$here/build/stage/halvorix"
fi
