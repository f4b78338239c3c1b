#!/usr/bin/env bash
# Pictures of the real window in both directions, drawn with the designed font's metric twin
# (Liberation Sans), with DejaVu Sans (what a machine without fonts-liberation draws), and both at
# twice the scale, each on a machine whose only fonts are those. For people to look at: a caption
# that does not fit shows here as it would on such a machine.
#   tests/window/screenshots.sh PROGRAM SHOTS    (runs itself under xvfb-run)
set -euo pipefail
program=$(realpath -s "$1") shots=$(realpath -m "$2")
if [ -z "${HALVORIX_CHECK_DISPLAY:-}" ]; then
  HALVORIX_CHECK_DISPLAY=1 exec xvfb-run -a -s "-screen 0 2400x1600x24" "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pid=
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$shots"
"$here/fake-system.sh" "$work/sys"

fail() { echo "screenshots: $*" >&2; exit 1; }
# A fontconfig set-up whose only fonts are those of the folder holding FAMILY's bold face.
fonts_of() { # family name
  local file
  file=$(fc-list -f '%{file}\n' "$1:style=Bold" | head -1)
  [ -n "$file" ] || fail "$1 is not installed"
  sed -e "s|@FONT_DIR@|$(dirname "$file")|" -e "s|@CACHE_DIR@|$work/fontconfig-cache|" \
    "$here/../fonts/only-one-folder.conf.in" > "$work/fonts-$2.conf"
  echo "$work/fonts-$2.conf"
}
designed=$(fonts_of "Liberation Sans" designed)
dejavu=$(fonts_of "DejaVu Sans" dejavu)

shoot() { # name fontconfig scale Option1
  local name=$1 config=$2 scale=$3 option1=$4 wid=
  rm -rf "$work/config" && mkdir -p "$work/config"
  printf '[Halvorix]\nOption1=%s\n' "$option1" > "$work/config/Brackwen.conf"
  FONTCONFIG_FILE=$config QT_SCALE_FACTOR=$scale XDG_CONFIG_HOME=$work/config HALVORIX_SYSROOT=$work/sys \
    HOME=$work/sys/mnt/disk/home/user "$program" &
  pid=$!
  for _ in $(seq 200); do
    wid=$(xdotool search --onlyvisible --name '^Halvorix$' 2>/dev/null | head -1) && [ -n "$wid" ] && break
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no window for $name"
  sleep 1 # painted
  import -window "$wid" "$shots/$name.png"
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
  echo "$shots/$name.png: $(identify -format '%wx%h' "$shots/$name.png")"
}
for variant in "designed $designed 1" "dejavu $dejavu 1" "designed-scale2 $designed 2" "dejavu-scale2 $dejavu 2"; do
  read -r name config scale <<<"$variant"
  shoot "$name-card-to-computer" "$config" "$scale" True
  shoot "$name-computer-to-card" "$config" "$scale" False
done
