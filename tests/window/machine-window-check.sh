#!/usr/bin/env bash
# Starts the real program on fake machines whose drives only show through their mount sources
# (Fedora on btrfs subvolumes; a laptop with an NTFS disk through ntfs-3g and an exFAT SD card
# through exfat-fuse), opens the drive lists, picks a card and a hard drive by keyboard, copies the
# card and compares the trees: the copy can only land if both were listed. Then the card leaves
# the mount table, its folder left behind: Start Copying must make nothing. Screenshots in SHOTS.
#   tests/window/machine-window-check.sh PROGRAM SHOTS    (runs itself under xvfb-run)
set -euo pipefail
program=$(realpath -s "$1") shots=$(realpath -m "$2")
if [ -z "${HALVORIX_CHECK_DISPLAY:-}" ]; then
  HALVORIX_CHECK_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
. "$here/waits.sh"
mkdir -p "$shots"

fail() { echo "machine window check: $*" >&2; exit 1; }
gone() { ! ps -o stat= -p "$pid" 2>/dev/null | grep -qv Z; } # ended, reaped or not
# X Y N NAME: opens the list at X,Y, photographs it open, takes its item N (from 0).
pick() {
  click "$1" "$2"
  wait_for 10 popped || fail "$machine: the list at $1,$2 did not open"
  wait_for 10 drawn "$(others | head -1)" || fail "$machine: the list at $1,$2 was not drawn"
  shot "$4"
  for _ in $(seq "$3"); do xdotool key Down; done
  xdotool key Return
  wait_for 10 alone || fail "$machine: the list at $1,$2 did not close"
}
# NAME: photographs the message box that came up and closes it with Return.
close_box() {
  wait_for 10 ready "$(others | head -1)" || fail "$machine: the message box did not take the keyboard"
  shot "$1"
  xdotool key Return
}

# MACHINE DISK-ITEM CARD RESULTS: one machine, from start to the closed program.
check_machine() {
  local machine=$1 disk_item=$2 card=$3 results=$4 home
  home=$("$here/fake-machine.sh" "$machine" "$work/$machine")
  card=$work/$machine/$card results=$work/$machine/$results
  XDG_CONFIG_HOME=$work/$machine-config HALVORIX_SYSROOT=$work/$machine HOME=$home "$program" &
  pid=$!
  wait_for 20 at_least 1 || fail "$machine: the window did not appear"
  eval "$(xdotool search --onlyvisible --name '^Halvorix$' getwindowgeometry --shell | head -4)"
  wx=$X wy=$Y
  wait_for 10 drawn "$WINDOW" || fail "$machine: the window was not drawn"
  # Positions inside the window, from the designed layout in pixels (twips / 15).
  pick 327 142 "$disk_item" "$machine-hard-drives"   # Combo2
  pick 327 102 0 "$machine-cards"                    # Combo1
  xdotool mousemove 5 5
  wait_for 10 drawn "$WINDOW" || fail "$machine: the window was not drawn"
  shot "$machine-chosen"
  click 268 239                                      # Start Copying
  wait_for 60 at_least 2 || fail "$machine: no message box appeared"
  close_box "$machine-done"
  wait_for 10 exactly 1 || fail "$machine: the message box stayed"
  [ -d "$results" ] || fail "$machine: nothing arrived at $results"
  diff -r "$card" "$results" || fail "$machine: $results differs from the card"
  echo "$machine: $card copied to $results"

  # The card goes, its folder stays: Start Copying warns and writes nothing.
  rm -rf "$results"
  grep -v " $card " "$work/$machine/proc/self/mountinfo" > "$work/mountinfo"
  cp "$work/mountinfo" "$work/$machine/proc/self/mountinfo"
  click 268 239                                      # Start Copying
  wait_for 60 at_least 2 || fail "$machine: no warning appeared"
  close_box "$machine-card-gone"
  wait_for 10 exactly 1 || fail "$machine: the warning stayed"
  [ ! -e "$results" ] || fail "$machine: a copy from a card that is gone made $results"
  echo "$machine: a card that is gone made nothing"
  kill "$pid"; wait_for 10 gone || fail "$machine: the program did not end"
  wait "$pid" 2>/dev/null || true
  pid=""
}

# The hard drive on btrfs is the home folder's; the card is a USB stick.
check_machine fedora-btrfs 0 run/media/alice/SANDISK home/alice/SANDISK
# The SD card onto the NTFS disk, the second hard drive: both mounted through FUSE.
check_machine laptop-fuse 1 media/alice/EOS_DIGITAL media/alice/Elements/EOS_DIGITAL
echo "screenshots in $shots"
