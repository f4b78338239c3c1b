#!/usr/bin/env bash
# A simulated slow medium (a USB stick or memory card in a reader that can hang): a card file
# system on a loop device whose image lives on halvorix-slowfs, a FUSE file system that takes
# writes at a given rate and can be paused. Needs root, /dev/fuse, a loop device, and the tools of
# the card's type (ext4: e2fsprogs; exfat: exfatprogs + exfat-fuse; vfat: dosfstools + fusefat).
#
#   slow-medium.sh start DIR SIZE_MB RATE_BYTES_PER_S FSTYPE [LABEL]   FSTYPE: ext4 | exfat | vfat
#   slow-medium.sh pause DIR | resume DIR     hang the reader / let it answer again
#   slow-medium.sh stats DIR                  written N, read N, state running|paused, held N, ...
#   slow-medium.sh rate DIR BYTES_PER_S       change the write rate (0: unthrottled)
#   slow-medium.sh read-rate DIR BYTES_PER_S  the read rate (0: unthrottled)
#   slow-medium.sh remount DIR                unmount and mount the card again (drops its cache)
#   slow-medium.sh drop-cache DIR             drop the loop device's page cache, through which the
#                                             FUSE card drivers (exfat, vfat) read and write
#   slow-medium.sh capacity DIR REAL KEEP     a fake capacity (halvorix-slowfs's header: lies)
#   slow-medium.sh flip DIR EVERY MINLEN FROM writes stored with a bit flipped
#   slow-medium.sh fail-read DIR OFFSET COUNT|clear   reads that fail (COUNT -1: always)
#   slow-medium.sh fail-read-for DIR OFFSET MS         reads that fail for MS milliseconds
#   slow-medium.sh stop DIR                   take everything down; safe to repeat, and after a
#                                             failed start; leaves DIR and the image in it
#   slow-medium.sh check FSTYPE               says why the medium cannot run here (exit 1)
#
# Under DIR: store/image (the medium's bytes, a real file), backing/ (the daemon's mount, holding
# `image` and `control`), card/ (the card's file system, where a copy goes), medium.state (what is
# up: the daemon's pid, the loop device, the type), slowfs.log (the daemon's messages).
#
# The card is made and first synced unthrottled; the rate applies once `start` returns. The
# written count starts with the daemon, so a measurement subtracts the value it starts from.
# The daemon is found through $HALVORIX_SLOWFS, else in build/ beside this source tree, else on
# the PATH.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

die() { echo "slow-medium: $*" >&2; exit 1; }

daemon_path() {
  if [ -n "${HALVORIX_SLOWFS:-}" ]; then echo "$HALVORIX_SLOWFS"; return; fi
  if [ -x "$root/build/bench/slowmedium/halvorix-slowfs" ]; then
    echo "$root/build/bench/slowmedium/halvorix-slowfs"; return
  fi
  command -v halvorix-slowfs || echo "halvorix-slowfs"
}

# Prints why the medium cannot run here for this type; nothing (and status 0) when it can.
check() {
  local fstype=$1 tool
  case $fstype in
    ext4) need=(losetup mkfs.ext4 mount umount) ;;
    exfat) need=(losetup mkfs.exfat mount.exfat-fuse umount) ;;
    vfat) need=(losetup mkfs.vfat fusefat umount) ;;
    *) echo "unknown card type '$fstype' (ext4, exfat or vfat)"; return 1 ;;
  esac
  [ "$(id -u)" -eq 0 ] || { echo "the slow medium needs root (loop devices, mounts)"; return 1; }
  [ -c /dev/fuse ] || { echo "no /dev/fuse (FUSE is not available here)"; return 1; }
  local d; d=$(daemon_path)
  [ -x "$d" ] || { echo "halvorix-slowfs is not built ($d; it needs libfuse3-dev)"; return 1; }
  for tool in "${need[@]}"; do
    command -v "$tool" >/dev/null || { echo "$tool is not installed"; return 1; }
  done
  if [ "$fstype" = ext4 ] && ! grep -qw ext4 /proc/filesystems && ! modprobe -q ext4 2>/dev/null; then
    echo "the kernel has no ext4 driver"; return 1
  fi
  [ -e /dev/loop-control ] || ls /dev/loop[0-9]* >/dev/null 2>&1 || { echo "no loop devices here"; return 1; }
  losetup -f >/dev/null 2>&1 || { echo "no free loop device (losetup -f failed)"; return 1; }
  return 0
}

# medium.state holds key=value lines, appended as each piece comes up.
state_get() { # DIR KEY
  [ -f "$1/medium.state" ] || return 0
  sed -n "s/^$2=//p" "$1/medium.state" | tail -n 1
}
state_put() { echo "$2=$3" >>"$1/medium.state"; }

is_mounted() { findmnt -rn --mountpoint "$1" >/dev/null 2>&1; }

# Waits up to $2 seconds for a command to succeed.
wait_for() { # SECONDS COMMAND...
  local deadline=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.05
  done
}

control() { # DIR COMMAND
  [ -e "$1/backing/control" ] || die "$1 holds no running medium"
  timeout 10 bash -c 'echo "$1" > "$0"' "$1/backing/control" "$2" || die "the medium did not take '$2'"
}

# True while a loop device is attached to this medium's image.
loop_is_ours() { # DIR LOOP
  local sys="/sys/block/${2#/dev/}/loop/backing_file"
  [ -r "$sys" ] && [ "$(cat "$sys" 2>/dev/null)" = "$(realpath -m "$1/backing/image")" ]
}

# True while some process holds the device open (a FUSE card driver that is still ending).
device_in_use() { # DEVICE
  [ -n "$(find /proc/[0-9]*/fd -maxdepth 1 -lname "$1" -print -quit 2>/dev/null)" ]
}
device_free() { ! device_in_use "$1"; }
loop_gone() { ! loop_is_ours "$1" "$2"; }
# An ended daemon may stay a zombie until whoever adopted it reaps it.
daemon_gone() {
  [ "$(cat "/proc/$1/comm" 2>/dev/null)" != halvorix-slowfs ] || grep -q '^State:.*zombie' "/proc/$1/status"
}
daemon_up_or_gone() { [ -e "$1/backing/control" ] || ! kill -0 "$2" 2>/dev/null; }

mount_card() { # DIR
  local dir=$1 loop fstype
  loop=$(state_get "$dir" loop) fstype=$(state_get "$dir" fstype)
  # A FUSE card driver from an earlier mount may still be letting go of the device.
  wait_for 10 device_free "$loop" || true
  case $fstype in
    ext4) mount -t ext4 "$loop" "$dir/card" ;;
    exfat) mount.exfat-fuse -o umask=000,allow_other "$loop" "$dir/card" >>"$dir/card.log" 2>&1 ;;
    # fusefat opens its device read-only unless told rw+. As a block-device mount (as exfat-fuse
    # makes by itself) a syncfs of the card flushes the device's cache, where fusefat's writes
    # wait; as a plain FUSE mount nothing but a global sync or the unmount would.
    vfat) fusefat -o "rw+,allow_other,blkdev,fsname=$loop" "$loop" "$dir/card" >>"$dir/card.log" 2>&1 ;;
  esac || return 1
  wait_for 10 is_mounted "$dir/card"
}

unmount_card() { # DIR
  local dir=$1
  is_mounted "$dir/card" || return 0
  umount "$dir/card" 2>/dev/null || umount -l "$dir/card" || return 1
  # A FUSE card driver writes its last data when told to end: wait until it has let go.
  local loop; loop=$(state_get "$dir" loop)
  [ -z "$loop" ] || wait_for 10 device_free "$loop" || true
}

start() { # DIR SIZE_MB RATE FSTYPE [LABEL]
  [ $# -ge 4 ] || die "usage: start DIR SIZE_MB RATE_BYTES_PER_S FSTYPE [LABEL]"
  local dir=$1 size_mb=$2 rate=$3 fstype=$4 label=${5:-SLOWCARD}
  [[ $size_mb =~ ^[0-9]+$ && $rate =~ ^[0-9]+$ ]] || die "SIZE_MB and RATE must be whole numbers"
  local why; why=$(check "$fstype") || die "$why"
  mkdir -p "$dir" || die "cannot create $dir"
  dir=$(cd "$dir" && pwd)
  [ -e "$dir/medium.state" ] && die "$dir already holds a medium (stop it first)"
  mkdir -p "$dir/store" "$dir/backing" "$dir/card"
  : >"$dir/medium.state"
  state_put "$dir" fstype "$fstype"

  # From here on a failure takes down what came up.
  trap 'stop "$dir" >/dev/null 2>&1' EXIT
  setsid "$(daemon_path)" --rate 0 --size $((size_mb * 1048576)) "$dir/store/image" "$dir/backing" \
    </dev/null >>"$dir/slowfs.log" 2>&1 &
  local pid=$!
  state_put "$dir" pid "$pid"
  wait_for 10 daemon_up_or_gone "$dir" "$pid"
  [ -e "$dir/backing/control" ] || die "halvorix-slowfs did not come up: $(tail -n 3 "$dir/slowfs.log")"

  # Buffered loop (no --direct-io): its writes reach the daemon as written-through FUSE writes.
  local loop; loop=$(losetup --find --show "$dir/backing/image") || die "cannot attach a loop device"
  state_put "$dir" loop "$loop"

  case $fstype in
    # Inode tables and journal written now, not by a background thread during a measurement.
    ext4) mkfs.ext4 -q -F -L "$label" -E nodiscard,lazy_itable_init=0,lazy_journal_init=0 "$loop" ;;
    exfat) mkfs.exfat -L "$label" "$loop" >/dev/null ;;
    vfat) mkfs.vfat -F 32 -n "$label" "$loop" >/dev/null ;;
  esac || die "mkfs for $fstype failed on $loop"
  mount_card "$dir" || die "cannot mount the $fstype card at $dir/card"
  [ "$fstype" != ext4 ] || chmod 0777 "$dir/card"
  sync -f "$dir/card" || die "cannot flush the new card"
  control "$dir" "rate $rate"
  trap - EXIT
  echo "$dir/card"
}

stop() { # DIR
  local dir=$1
  [ -d "$dir" ] || return 0
  dir=$(cd "$dir" && pwd)
  local pid loop failed=0
  pid=$(state_get "$dir" pid) loop=$(state_get "$dir" loop)

  # A paused medium would hold every unmount's flush.
  [ -e "$dir/backing/control" ] && timeout 10 bash -c 'echo resume > "$0"' "$dir/backing/control" 2>/dev/null

  unmount_card "$dir" || { echo "slow-medium: cannot unmount $dir/card" >&2; failed=1; }

  if [ -n "$loop" ] && loop_is_ours "$dir" "$loop"; then
    # Still held (a lazily unmounted card), detach marks it to go when its last user closes.
    losetup -d "$loop" 2>/dev/null
    wait_for 10 loop_gone "$dir" "$loop" \
      || { echo "slow-medium: $loop is still in use; it detaches when its last user closes" >&2; failed=1; }
  fi

  if is_mounted "$dir/backing"; then
    umount "$dir/backing" 2>/dev/null || umount -l "$dir/backing" \
      || { echo "slow-medium: cannot unmount $dir/backing" >&2; failed=1; }
  fi

  if [ -n "$pid" ] && [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = halvorix-slowfs ]; then
    kill -TERM "$pid" 2>/dev/null
    wait_for 10 daemon_gone "$pid" || kill -KILL "$pid" 2>/dev/null
  fi
  [ $failed = 1 ] || rm -f "$dir/medium.state"
  return $failed
}

remount() { # DIR
  local dir=$1
  [ -f "$dir/medium.state" ] || die "$dir holds no medium"
  unmount_card "$dir" || die "cannot unmount $dir/card"
  mount_card "$dir" || die "cannot mount $dir/card again"
}

# The FUSE card drivers read and write /dev/loopN through the block device's page cache: a file
# read after dropping the card file's own pages is still served from there, never from the
# device. This drops it (writing back what is dirty first), as a kernel card driver would read.
drop_cache() { # DIR
  local loop; loop=$(state_get "$1" loop)
  [ -n "$loop" ] && loop_is_ours "$1" "$loop" || die "$1 holds no loop device"
  blockdev --flushbufs "$loop" || die "cannot drop the cache of $loop"
}

command=${1:-}
shift || true
case $command in
  start) start "$@" ;;
  stop) [ $# -eq 1 ] || die "usage: stop DIR"; stop "$1" ;;
  pause | resume) [ $# -eq 1 ] || die "usage: $command DIR"; control "$1" "$command" ;;
  rate) [ $# -eq 2 ] || die "usage: rate DIR BYTES_PER_S"; control "$1" "rate $2" ;;
  read-rate) [ $# -eq 2 ] || die "usage: read-rate DIR BYTES_PER_S"; control "$1" "read-rate $2" ;;
  stats) [ $# -eq 1 ] || die "usage: stats DIR"; cat "$1/backing/control" ;;
  remount) [ $# -eq 1 ] || die "usage: remount DIR"; remount "$1" ;;
  drop-cache) [ $# -eq 1 ] || die "usage: drop-cache DIR"; drop_cache "$1" ;;
  capacity) [ $# -eq 3 ] || die "usage: capacity DIR REAL KEEP"; control "$1" "capacity $2 $3" ;;
  flip) [ $# -eq 4 ] || die "usage: flip DIR EVERY MINLEN FROM"; control "$1" "flip $2 $3 $4" ;;
  fail-read) [ $# -ge 2 ] || die "usage: fail-read DIR OFFSET COUNT | fail-read DIR clear"
    control "$1" "fail-read ${*:2}" ;;
  fail-read-for) [ $# -eq 3 ] || die "usage: fail-read-for DIR OFFSET MS"; control "$1" "fail-read-for $2 $3" ;;
  check) [ $# -eq 1 ] || die "usage: check FSTYPE"; why=$(check "$1") || { echo "$why"; exit 1; } ;;
  *) sed -n '2,/^set -uo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
esac
