#!/usr/bin/env bash
# Builds the Debian package and checks it with lintian (no error, no warning), installs it with
# apt as a user would, validates the installed desktop entry and AppStream metadata, starts the
# installed `halvorix` through its link in /usr/bin and copies its samples to a fake card, then
# removes it.
#   tests/window/package-check.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"

# The checkers, installed where missing.
. "$here/../../scripts/packages.sh"
install_missing lintian appstream desktop-file-utils >/dev/null

(cd "$build" && rm -f halvorix_*.deb && cpack >/dev/null)
deb=$(ls "$build"/halvorix_*_amd64.deb)
echo "built $(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
# Information tags are shown; errors and warnings fail the check.
lint=0
report=$(lintian --fail-on error,warning --display-level ">=info" "$deb" 2>&1) || lint=$?
grep -v "running with root privileges" <<<"$report" || true
[ "$lint" -eq 0 ] || { echo "package-check: lintian found errors or warnings" >&2; exit 1; }
echo "lintian: no errors, no warnings"

DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
trap 'DEBIAN_FRONTEND=noninteractive $sudo apt-get remove -y -qq halvorix >/dev/null || true' EXIT
for f in /usr/bin/halvorix /usr/lib/halvorix/halvorix /usr/lib/halvorix/Samples/Read_Me_First.txt \
         /usr/share/applications/halvorix.desktop /usr/share/icons/hicolor/48x48/apps/halvorix.png \
         /usr/share/icons/hicolor/scalable/apps/halvorix.svg /usr/share/metainfo/org.halvorix.halvorix.metainfo.xml \
         /usr/share/doc/halvorix/copyright /usr/share/doc/halvorix/changelog.gz /usr/share/man/man1/halvorix.1.gz; do
  [ -e "$f" ] || { echo "package-check: $f is missing" >&2; exit 1; }
done
desktop-file-validate /usr/share/applications/halvorix.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.halvorix.halvorix.metainfo.xml
"$here/real-window-check.sh" /usr/bin/halvorix "$build/screenshots/installed"
echo "the installed program runs and finds its samples"
