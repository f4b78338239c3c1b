#!/usr/bin/env bash
# The baseline for copies to a slow medium: on a fresh simulated medium (slow-medium.sh), times
# `cp -r SRC CARD/ && sync` and prints the bytes on the device every 0.25 s, then the times.
#
#   bench/slowmedium/cp-sync-curve.sh SRC RATE_BYTES_PER_S [FSTYPE] [--read-rate BYTES_PER_S]
#                                     [--verify]          FSTYPE: ext4 (default), exfat or vfat
#
# --verify reads every copy back after the sync, its cached pages dropped first (from the medium,
# at --read-rate), and compares it with its original (diff -rq), as the program's read-back does;
# the total then includes it.
#
# Needs root (see slow-medium.sh). The medium's folder goes under $SLOW_MEDIUM_DIR (default
# /var/tmp), sized from SRC, and is removed at the end; the daemon is found as slow-medium.sh
# finds it ($HALVORIX_SLOWFS, build/, the PATH).
#
# Output: "seconds bytes-on-device" lines (bytes written since the copy started), then when cp
# returned and the total for cp + sync, each with the bytes on the device at that moment.
set -euo pipefail
[ $# -ge 2 ] || { sed -n '2,/^set -eu/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2; exit 2; }
src=$(cd "$(dirname "$1")" && pwd)/$(basename "$1") rate=$2 fstype=ext4
shift 2
read_rate=0 verify=0
while [ $# -gt 0 ]; do
  case $1 in
    --read-rate) read_rate=$2; shift 2 ;;
    --verify) verify=1; shift ;;
    *) fstype=$1; shift ;;
  esac
done
medium="$(cd "$(dirname "$0")" && pwd)/slow-medium.sh"
[ -d "$src" ] || { echo "cp-sync-curve: $src is not a folder" >&2; exit 1; }

bytes=$(du -sb "$src" | cut -f1)
files=$(find "$src" -type f | wc -l)
# A card much larger than the data, as real ones are: ext4 makes writers wait for write-back
# once its delayed allocations pass half the free space, which on a card barely larger than the
# data holds cp to the medium's rate. The image is sparse, so the size costs nothing.
size_mb=$((bytes * 4 / 1048576))
[ $size_mb -ge 4096 ] || size_mb=4096

dir=$(mktemp -d "${SLOW_MEDIUM_DIR:-/var/tmp}/slow-curve-XXXXXX")
sampler=""
cleanup() {
  [ -z "$sampler" ] || kill "$sampler" 2>/dev/null || true
  "$medium" stop "$dir" >/dev/null || echo "cp-sync-curve: $dir is not fully down" >&2
  [ -f "$dir/medium.state" ] || rm -rf "$dir"
}
trap cleanup EXIT
"$medium" start "$dir" "$size_mb" "$rate" "$fstype" >/dev/null
"$medium" read-rate "$dir" "$read_rate"

written() { # prints the bytes on the device
  local key value
  while read -r key value; do
    [ "$key" = written ] && { echo "$value"; return; }
  done <"$dir/backing/control"
}
micros() { echo "${EPOCHREALTIME/./}"; }
seconds() { # MICROSECONDS since start
  printf '%d.%02d' $(($1 / 1000000)) $(($1 % 1000000 / 10000))
}

sync # nothing written before the copy is flushed during it
base=$(written)
start=$(micros)
echo "# cp -r + sync to a simulated $fstype medium at $rate bytes/s: $files files, $bytes bytes"
echo "# seconds bytes-on-device"
(
  # Sampled on a fixed grid, so the sampling's own time does not stretch it; each line gives the
  # moment it was read.
  for ((tick = 0; ; tick++)); do
    now=$(micros) value=$(written)
    echo "$(seconds $((now - start))) $((value - base))"
    wait_us=$((start + (tick + 1) * 250000 - $(micros)))
    [ $wait_us -le 0 ] || sleep "$(printf '%d.%06d' $((wait_us / 1000000)) $((wait_us % 1000000)))"
  done
) &
sampler=$!

cp -r "$src" "$dir/card/"
copied=$(micros)
copied_bytes=$(($(written) - base))
sync
if [ $verify = 1 ]; then
  [ "$fstype" = ext4 ] || "$medium" drop-cache "$dir" >/dev/null # a FUSE card driver's own cache
  python3 "$(dirname "$0")/../drop-cached.py" "$dir/card/$(basename "$src")"
  diff -rq "$src" "$dir/card/$(basename "$src")"
fi
done_at=$(micros)
done_bytes=$(($(written) - base))
kill "$sampler" 2>/dev/null || true
wait "$sampler" 2>/dev/null || true
sampler=""
echo "$(seconds $((done_at - start))) $done_bytes"
echo "# cp returned after $(seconds $((copied - start))) s, $copied_bytes bytes on the device"
echo "# total (cp + sync) $(seconds $((done_at - start))) s, $done_bytes bytes on the device"
