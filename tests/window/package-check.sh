#!/usr/bin/env bash
# Builds the Debian package, installs it with apt as a user would, starts the installed
# `halvorix` through its link in /usr/bin and copies its samples to a fake card, then removes it.
#   tests/window/package-check.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
(cd "$build" && rm -f halvorix_*.deb && cpack >/dev/null)
deb=$(ls "$build"/halvorix_*_amd64.deb)
echo "built $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq halvorix >/dev/null || true' EXIT
for f in /usr/bin/halvorix /usr/lib/halvorix/halvorix /usr/lib/halvorix/Samples/Read_Me_First.txt \
         /usr/share/applications/halvorix.desktop /usr/share/icons/hicolor/48x48/apps/halvorix.png \
         /usr/share/icons/hicolor/scalable/apps/halvorix.svg; do
  [ -e "$f" ] || { echo "package-check: $f is missing" >&2; exit 1; }
done
"$here/real-window-check.sh" /usr/bin/halvorix "$build/screenshots/installed"
echo "the installed program runs and finds its samples"
