#!/usr/bin/env bash
# The program's copy to a slow medium beside cp: on a fresh simulated medium (slow-medium.sh),
# runs halvorix-copy-bench --to-card SRC into the card's From_PC and prints the bar's curve (what
# the window's bar shows, and the bytes on the device, every 0.25 s); then, on another fresh
# medium, cp -r + sync (cp-sync-curve.sh); then the two totals, their ratio, and how long before
# the end the bar was full. With --close-after S, the run is abandoned at S seconds as a close
# request does, and the time the copy took to stop is printed.
#
# The program reads every copy back from the medium, so the baseline does too (cp -r + sync +
# the copies read back with their cache dropped and compared); --read-rate sets how fast the
# medium reads (default: as fast as the host's disk), --no-verify leaves the read-back out of both.
#
#   bench/slowmedium/bar-curve.sh BUILD SRC RATE_BYTES_PER_S [FSTYPE] [--close-after S]
#                                 [--read-rate BYTES_PER_S] [--no-verify]
#
# Needs root (see slow-medium.sh). Mediums go under $SLOW_MEDIUM_DIR (default /var/tmp).
set -euo pipefail
[ $# -ge 3 ] || { sed -n '2,/^set -eu/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2; exit 2; }
build=$(cd "$1" && pwd) src=$(cd "$(dirname "$2")" && pwd)/$(basename "$2") rate=$3 fstype=ext4
shift 3
close=() read_rate=0 verify=(--verify) noverify=()
while [ $# -gt 0 ]; do
  case $1 in
    --close-after) close=(--close-after "$2"); shift 2 ;;
    --read-rate) read_rate=$2; shift 2 ;;
    --no-verify) verify=() noverify=(--no-verify); shift ;;
    *) fstype=$1; shift ;;
  esac
done
here=$(cd "$(dirname "$0")" && pwd)
medium=$here/slow-medium.sh
export HALVORIX_SLOWFS=${HALVORIX_SLOWFS:-$build/bench/slowmedium/halvorix-slowfs}

bytes=$(du -sb "$src" | cut -f1)
size_mb=$((bytes * 4 / 1048576)) # as cp-sync-curve.sh: ext4 wants room for its delayed writes
[ $size_mb -ge 4096 ] || size_mb=4096
dir=$(mktemp -d "${SLOW_MEDIUM_DIR:-/var/tmp}/slow-bar-XXXXXX")
cleanup() {
  "$medium" stop "$dir" >/dev/null || echo "bar-curve: $dir is not fully down" >&2
  [ -f "$dir/medium.state" ] || rm -rf "$dir"
}
trap cleanup EXIT
"$medium" start "$dir" "$size_mb" "$rate" "$fstype" >/dev/null
"$medium" read-rate "$dir" "$read_rate"
sync

echo "# halvorix to a simulated $fstype medium at $rate bytes/s: $bytes bytes"
echo "# seconds bar% bytes-done bytes-on-device"
out=$("$build/bench/halvorix-copy-bench" "$src" "$dir/card/From_PC" --to-card --curve \
  --device-counter "$dir/backing/control" "${close[@]}" "${noverify[@]}" || true)
echo "$out"
ours=$(echo "$out" | awk '/^files /{print $6}')
full=$(echo "$out" | awk '$1 ~ /^[0-9.]+$/ && $2 >= 100.0 {print $1; exit}')
cleanup
trap - EXIT
[ ${#close[@]} -eq 0 ] || exit 0

echo
base=$("$here/cp-sync-curve.sh" "$src" "$rate" "$fstype" --read-rate "$read_rate" "${verify[@]}" | tee /dev/stderr \
  | awk '/^# total/{print $6}')
echo
echo "# halvorix $ours s, cp -r + sync${verify:+ + read-back} $base s: ratio $(echo "$ours / $base" | bc -l | cut -c1-5)"
[ -z "$full" ] || echo "# the bar was full $(echo "$ours - $full" | bc -l | cut -c1-5) s before the end"
