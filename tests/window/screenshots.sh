#!/usr/bin/env bash
# Pictures of the real window in both directions, drawn with the designed font's metric twin
# (Liberation Sans), with DejaVu Sans (what a machine without fonts-liberation draws), and both at
# twice the scale, each on a machine whose only fonts are those; and once more under a dark
# desktop theme (Qt's GTK 3 theme with Adwaita's dark variant, as a GNOME desktop in dark mode
# gives it). For people to look at: a caption that does not fit shows here as it would on such a
# machine. Checked in each: a caption is dark on white, a text box white inside.
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
. "$here/waits.sh"
mkdir -p "$shots"
"$here/fake-machine.sh" plain "$work/sys" >/dev/null

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
qt_plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
[ -e "$qt_plugins/platformthemes/libqgtk3.so" ] || fail "Qt's GTK 3 theme is not installed (qt6-gtk-platformtheme)"

shown() { xdotool search --onlyvisible --name '^Halvorix$' >/dev/null 2>&1; }
# PICTURE SCALE LEFT TOP WIDTH HEIGHT, the last four in designed twips: the darkest and the mean
# grey of that part of the picture, from 0 (black) to 1 (white).
tones() {
  local s=$2
  convert "$1" -crop "$(($5 * s / 15))x$(($6 * s / 15))+$(($3 * s / 15))+$(($4 * s / 15))" +repage \
    -colorspace Gray -format '%[fx:minima] %[fx:mean]\n' info:
}
# PICTURE SCALE WHAT LEFT TOP WIDTH HEIGHT: a caption there is drawn dark on a white ground.
dark_on_white() {
  local darkest mean
  read -r darkest mean < <(tones "$1" "$2" "$4" "$5" "$6" "$7")
  awk -v d="$darkest" -v m="$mean" 'BEGIN { exit !(d < 0.35 && m > 0.6) }' ||
    fail "$1: $3 is not dark on white (darkest $darkest, mean $mean)"
}
# PICTURE SCALE WHAT LEFT TOP WIDTH HEIGHT: a box there is white inside.
white_inside() {
  local darkest mean
  read -r darkest mean < <(tones "$1" "$2" "$4" "$5" "$6" "$7")
  awk -v m="$mean" 'BEGIN { exit !(m > 0.95) }' || fail "$1: $3 is not white inside (mean $mean)"
}

shoot() { # name fontconfig scale Option1 theme
  local name=$1 config=$2 scale=$3 option1=$4 theme=$5 wid='' picture=$shots/$1.png
  local look=(env -u QT_QPA_PLATFORMTHEME -u GTK_THEME)
  [ "$theme" = default ] || look=(env QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME="$theme")
  rm -rf "$work/config" && mkdir -p "$work/config"
  printf '[Halvorix]\nOption1=%s\n' "$option1" > "$work/config/Brackwen.conf"
  "${look[@]}" FONTCONFIG_FILE="$config" QT_SCALE_FACTOR="$scale" XDG_CONFIG_HOME="$work/config" \
    HALVORIX_SYSROOT="$work/sys" HOME="$work/sys/mnt/disk/home/user" "$program" &
  pid=$!
  wait_for 20 shown || fail "no window for $name"
  wid=$(xdotool search --onlyvisible --name '^Halvorix$' | head -1)
  wait_for 20 drawn "$wid" || fail "the window for $name was never drawn whole"
  import -window "$wid" "$picture"
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=
  echo "$picture: $(identify -format '%wx%h' "$picture")"
  # Where the window was designed, in twips: a label's caption, the box beside it or below.
  if [ "$option1" = True ]; then
    dark_on_white "$picture" "$scale" "the caption To Hard Drive:" 345 2005 1500 225
    white_inside "$picture" "$scale" "the results folder box" 2925 2620 3870 225
  else
    dark_on_white "$picture" "$scale" "the caption To Memory Card:" 300 4095 1500 225
    white_inside "$picture" "$scale" "the transfer list" 420 2040 7180 690
  fi
}
for variant in "designed $designed 1 default" "dejavu $dejavu 1 default" "designed-scale2 $designed 2 default" \
  "dejavu-scale2 $dejavu 2 default" "designed-dark $designed 1 Adwaita:dark"; do
  read -r name config scale theme <<<"$variant"
  shoot "$name-card-to-computer" "$config" "$scale" True "$theme"
  shoot "$name-computer-to-card" "$config" "$scale" False "$theme"
done
