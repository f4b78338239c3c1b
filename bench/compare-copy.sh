#!/usr/bin/env bash
# Times halvorix-copy-bench against cp, a tar pipe and rsync on one data set, interleaved, each
# into a new destination folder and followed by sync; prints the medians and our ratio to the
# fastest tool. Halvorix runs twice a round: as the program runs (every copy read back from the
# disk and compared) against a verifying peer (cp -r, sync, the copies' cached pages dropped, then
# every copy compared with its original by diff -rq, which reads both as cmp does), and with
# --no-verify against the plain tools. With --against OTHER-BUILD-DIR, another build of the program (an earlier engine)
# takes its turn in the same rotation, and our ratio to it is printed too: figures from runs made
# at different times of day differ here by more than most changes to the engine.
#   bench/compare-copy.sh BUILD-DIR SRC DEST-PARENT [RUNS] [--to-card] [--against OTHER-BUILD-DIR]
set -euo pipefail
build=$1 src=$2 parent=$3
shift 3
runs=5 mode="" other=""
while [ $# -gt 0 ]; do
  case $1 in
    --to-card) mode=--to-card; shift ;;
    --against) other=$(cd "$2" && pwd); shift 2 ;;
    *) runs=$1; shift ;;
  esac
done
now() { date +%s.%N; }
mkdir -p "$parent"
declare -A times
run() { # name command...
  local name=$1; shift
  local dst="$parent/run-$name-$RANDOM$RANDOM"
  mkdir -p "$dst"
  sync
  local t0; t0=$(now)
  DST=$dst "$@" >/dev/null
  sync
  local t1; t1=$(now)
  times[$name]+="$(echo "$t1 - $t0" | bc -l) "
  # Deleting tens of thousands of files makes the next creations on ext4 several times slower:
  # such copies stay until the end; a few big files go at once (the disk may be small).
  if [ "$many" = 1 ]; then keep+=("$dst"); else rm -rf "$dst"; sync; fi
}
keep=()
many=0; [ "$(find "$src" -type f | head -n 10001 | wc -l)" -gt 10000 ] && many=1
trap 'rm -rf "${keep[@]}"' EXIT
tool() {
  case $1 in
    halvorix) run halvorix bash -c '"$0" "$1" "$DST" $2' "$build/bench/halvorix-copy-bench" "$src" "$mode" ;;
    noverify) run noverify bash -c '"$0" "$1" "$DST" $2 --no-verify' "$build/bench/halvorix-copy-bench" "$src" "$mode" ;;
    cpverify) run cpverify bash -c 'cp -r "$0/." "$DST" && sync && python3 "$1" "$DST" && diff -rq "$0" "$DST"' \
      "$src" "$(dirname "$0")/drop-cached.py" ;;
    earlier) run earlier bash -c '"$0" "$1" "$DST" $2' "$other/bench/halvorix-copy-bench" "$src" "$mode" ;;
    cp) run cp bash -c 'cp -r "$0/." "$DST"' "$src" ;;
    tar) run tar bash -c 'tar -C "$0" -cf - . | tar -C "$DST" -xf -' "$src" ;;
    rsync) if command -v rsync >/dev/null; then run rsync bash -c 'rsync -a "$0/" "$DST/"' "$src"; fi ;;
  esac
}
order=(halvorix noverify cp tar rsync cpverify)
[ -z "$other" ] || order+=(earlier)
for round in $(seq "$runs"); do
  # Each round in another order: a tool that always followed the same one would meet the disk as
  # that one left it (a verified copy followed by --no-verify ran 1.27 times slower than alone).
  for name in $(printf '%s\n' "${order[@]}" | shuf); do tool "$name"; done
done
median() { printf '%s\n' $1 | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
best=""
for name in "${!times[@]}"; do
  m=$(median "${times[$name]}")
  printf '%-9s median %.3f s  (%s)\n' "$name" "$m" "$(printf '%.2f ' ${times[$name]})"
  if [ "$name" != halvorix ] && [ "$name" != noverify ] && [ "$name" != cpverify ] && [ "$name" != earlier ] \
    && { [ -z "$best" ] || (( $(echo "$m < $best" | bc -l) )); }; then best=$m; fi
done
ours=$(median "${times[halvorix]}")
printf 'verified, ratio to the verifying peer: %.2f\n' "$(echo "$ours / $(median "${times[cpverify]}")" | bc -l)"
printf -- '--no-verify, ratio to the fastest tool: %.2f\n' "$(echo "$(median "${times[noverify]}") / $best" | bc -l)"
[ -z "$other" ] || printf -- '--no-verify, ratio to the earlier build: %.2f\n' "$(echo "$(median "${times[noverify]}") / $(median "${times[earlier]}")" | bc -l)"
