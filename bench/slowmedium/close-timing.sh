#!/usr/bin/env bash
# How long a close request takes to end the real program in the middle of a copy to a slow
# medium: while the medium writes, and while it hangs (paused like a card reader that stopped
# answering). The program runs under Xvfb on a fake machine whose hard drive is a simulated
# medium (slow-medium.sh) and whose card holds SRC; after Start Copying, the window is asked to
# close as a window manager's close button does. Prints when the window was gone and when the
# process had ended, counted from the close request.
#
#   bench/slowmedium/close-timing.sh BUILD SRC RATE_BYTES_PER_S [SECONDS_BEFORE_CLOSE]
#
# Needs root (see slow-medium.sh), xvfb-run, xdotool and python3.
set -euo pipefail
[ $# -ge 3 ] || { sed -n '2,/^set -eu/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2; exit 2; }
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) rate=$3 wait_s=${4:-4}
if [ -z "${HALVORIX_CHECK_DISPLAY:-}" ]; then
  HALVORIX_CHECK_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
medium=$here/slow-medium.sh
export HALVORIX_SLOWFS=${HALVORIX_SLOWFS:-$build/bench/slowmedium/halvorix-slowfs}
program=$build/stage/halvorix
[ -x "$program" ] || program=$build/app/halvorix
work=$(mktemp -d "${SLOW_MEDIUM_DIR:-/var/tmp}/close-timing-XXXXXX")
pid=""
cleanup() {
  [ -z "$pid" ] || kill -9 "$pid" 2>/dev/null || true
  "$medium" resume "$work/medium" >/dev/null 2>&1 || true
  [ -z "$pid" ] || wait "$pid" 2>/dev/null || true
  "$medium" stop "$work/medium" >/dev/null || echo "close-timing: $work/medium is not fully down" >&2
  [ -f "$work/medium/medium.state" ] || rm -rf "$work"
}
trap cleanup EXIT

micros() { echo "${EPOCHREALTIME/./}"; }
seconds() { printf '%d.%03d' $(($1 / 1000000)) $(($1 % 1000000 / 1000)); }
windows() { xdotool search --onlyvisible --name '^Halvorix$' 2>/dev/null | wc -l; }

# A fake machine: the hard drive is the medium, the card a folder holding SRC.
fake_machine() {
  local sys=$work/sys
  mkdir -p "$sys"/{proc/self,sys/dev/block,sys/devices/block/sda,sys/devices/block/sdb,dev/disk/by-label}
  mkdir -p "$sys/mnt/CARD" "$work/home"
  echo 0 >"$sys/sys/devices/block/sda/removable"
  echo 1 >"$sys/sys/devices/block/sdb/removable"
  ln -sfn "$sys/sys/devices/block/sda" "$sys/sys/dev/block/8:0"
  ln -sfn "$sys/sys/devices/block/sdb" "$sys/sys/dev/block/8:16"
  ln -sfn ../../sdb "$sys/dev/disk/by-label/CARD"
  printf '21 1 8:0 / %s rw,relatime shared:1 - ext4 /dev/sda rw\n22 1 8:16 / %s rw,relatime shared:2 - vfat /dev/sdb rw\n' \
    "$work/medium/card" "$sys/mnt/CARD" >"$sys/proc/self/mountinfo"
  cp -al "$src" "$sys/mnt/CARD/" 2>/dev/null || cp -r "$src" "$sys/mnt/CARD/"
}

one_run() { # paused|writing
  local how=$1 bytes size_mb
  bytes=$(du -sb "$src" | cut -f1)
  size_mb=$((bytes * 4 / 1048576)); [ $size_mb -ge 4096 ] || size_mb=4096
  "$medium" start "$work/medium" "$size_mb" "$rate" ext4 >/dev/null
  rm -rf "$work/sys" "$work/home"
  fake_machine
  XDG_CONFIG_HOME=$work/config HALVORIX_SYSROOT=$work/sys HOME=$work/home "$program" &
  pid=$!
  for _ in $(seq 200); do [ "$(windows)" -ge 1 ] && break; sleep 0.1; done
  local wid wx wy
  wid=$(xdotool search --onlyvisible --name '^Halvorix$' | head -1)
  eval "$(xdotool getwindowgeometry --shell "$wid" | head -4)"
  wx=$X wy=$Y
  sleep 0.5
  click() { xdotool mousemove $((wx + $1)) $((wy + $2)) click 1; sleep 0.3; }
  click 327 142; xdotool key Return; sleep 0.3 # the hard drive (the medium)
  click 327 102; xdotool key Return; sleep 0.3 # the card
  click 268 239                                # Start Copying
  sleep "$wait_s"
  if [ "$how" = paused ]; then
    "$medium" pause "$work/medium" >/dev/null
    for _ in $(seq 100); do
      [ "$("$medium" stats "$work/medium" | awk '/^held/{print $2}')" -gt 0 ] && break
      sleep 0.05
    done
  fi
  local asked gone="" ended=""
  python3 "$here/close-request.py" "$wid"
  asked=$(micros) # the request is on its way once the script returns
  for _ in $(seq 600); do
    [ -n "$gone" ] || { xwininfo -id "$wid" 2>/dev/null | grep -q IsViewable || gone=$(micros); }
    kill -0 "$pid" 2>/dev/null || { ended=$(micros); break; }
    sleep 0.01
    # A hung device holds the process in the kernel: let it go after 5 s, as a reader answering again.
    if [ "$how" = paused ] && [ $(($(micros) - asked)) -gt 5000000 ]; then "$medium" resume "$work/medium" >/dev/null; fi
  done
  wait "$pid" 2>/dev/null || true
  pid=""
  printf '%-8s window gone %s s, process ended %s s after the close request' "$how" \
    "$([ -n "$gone" ] && seconds $((gone - asked)) || echo never)" "$([ -n "$ended" ] && seconds $((ended - asked)) || echo never)"
  [ "$how" = paused ] && printf ' (the medium answered again at 5 s)'
  echo
  local partial=0
  while IFS= read -r -d '' f; do
    cmp -s "$f" "$work/sys/mnt/CARD/${f#"$work/medium/card/CARD/"}" || partial=$((partial + 1))
  done < <(find "$work/medium/card/CARD" -type f ! -name '.halvorix-*' -print0 2>/dev/null)
  echo "         files under their final names that differ from the card: $partial"
  "$medium" stop "$work/medium" >/dev/null
}

echo "# close during a copy of $src to a simulated ext4 medium at $rate bytes/s, $wait_s s after Start Copying"
one_run writing
one_run paused
