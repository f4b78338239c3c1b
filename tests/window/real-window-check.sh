#!/usr/bin/env bash
# Drives the real program in a real window, as a person would with the mouse and keyboard: copies
# a fake card to a results folder, then the sample files to the card's From_PC folder, and
# compares the trees. Screenshots of both directions land in SHOTS.
#   tests/window/real-window-check.sh PROGRAM SHOTS    (runs itself under xvfb-run)
set -euo pipefail
program=$(realpath -s "$1") shots=$(realpath -m "$2")  # a link stays a link: run as a user would
if [ -z "${HALVORIX_CHECK_DISPLAY:-}" ]; then
  HALVORIX_CHECK_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
. "$here/waits.sh"
mkdir -p "$shots"
"$here/fake-machine.sh" plain "$work/sys" >/dev/null
card=$work/sys/mnt/CARD home=$work/sys/mnt/disk/home/user

fail() { echo "real-window check: $*" >&2; exit 1; }
# Positions inside the window, from the designed layout in pixels (twips / 15).
pick_first() {
  click "$1" "$2"
  wait_for 10 popped || fail "the list at $1,$2 did not open"
  xdotool key Return
  wait_for 10 alone || fail "the list at $1,$2 did not close"
}
close_box() {
  wait_for 60 at_least 2 || fail "no message box appeared"
  wait_for 10 ready "$(others | head -1)" || fail "the message box did not take the keyboard"
  shot "$1"; xdotool key "$2"; wait_for 10 exactly 1
}
dialog_shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
cancel_dialog() { # title-pattern what
  wait_for 20 dialog_shown "$1" || fail "$2 did not open"
  wait_for 10 ready "$(xdotool search --onlyvisible --name "$1" | head -1)" || fail "$2 did not take the keyboard"
  xdotool key Escape
  wait_for 10 exactly 1 && ! dialog_shown "$1" || fail "$2 did not close on Escape"
}

XDG_CONFIG_HOME=$work/config HALVORIX_SYSROOT=$work/sys HOME=$home "$program" &
pid=$!
wait_for 20 at_least 1 || fail "the window did not appear"
eval "$(xdotool search --onlyvisible --name '^Halvorix$' getwindowgeometry --shell | head -4)"
wx=$X wy=$Y
# The icon of the title bar and the task switcher, as the window manager reads it.
has_icon() { xprop -id "$WINDOW" _NET_WM_ICON | head -1 | grep -q "Icon ("; }
wait_for 5 has_icon || fail "the window has no icon: $(xprop -id "$WINDOW" _NET_WM_ICON | head -1)"
wait_for 10 drawn "$WINDOW" || fail "the window was not drawn"

# Memory Card To Computer: the hard drive first, then the card, then Start Copying.
pick_first 327 142   # Combo2
pick_first 327 102   # Combo1
xdotool mousemove 5 5
wait_for 10 drawn "$WINDOW" || fail "the window was not drawn"
shot card-to-computer
click 268 239        # Start Copying
close_box card-to-computer-done Return
diff -r "$card" "$home/CARD" || fail "the results folder differs from the card"
[ "$(stat -c %Y "$card/notes.txt")" = "$(stat -c %Y "$home/CARD/notes.txt")" ] || fail "a modification time was lost"
echo "card copied to $home/CARD"
click 486 182        # "..." beside the results folder: the folder picker, cancelled
cancel_dialog '^Please select folder:$' "the folder picker"

# Computer To Memory Card: the sample files, the card, Start Copying.
click 284 37         # Option2
click 144 211        # Add File(s): the file dialog, cancelled
cancel_dialog '^Add File\(s\)' "the file dialog"
click 392 245        # Load Sample/Example Files
close_box sample-question Escape   # No: do not open the folder
pick_first 351 281   # Combo3
xdotool mousemove 5 5
wait_for 10 drawn "$WINDOW" || fail "the window was not drawn"
shot computer-to-card
click 268 364        # Start Copying
close_box computer-to-card-done Return
samples=$(dirname "$(realpath "$program")")/Samples
diff -r "$samples" "$card/From_PC" || fail "From_PC differs from the sample files"
echo "samples copied to $card/From_PC"
# The direction is the program's only setting: the dialogs left no settings file of their own.
settings=$(cd "$work/config" && find . -mindepth 1 | sort | tr '\n' ' ')
[ "$settings" = "./Brackwen.conf " ] || fail "settings written besides Brackwen.conf: $settings"
[ ! -e "$home/.config" ] || fail "settings written under the home folder: $(find "$home/.config")"
echo "the dialogs wrote no settings; Brackwen.conf holds $(grep Option1 "$work/config/Brackwen.conf")"
echo "screenshots in $shots"
