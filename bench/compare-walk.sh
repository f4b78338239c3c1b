#!/usr/bin/env bash
# Times the whole-tree add against find on the same tree, warm cache, interleaved, as whole
# processes; prints the median of each and their ratio.
#   bench/compare-walk.sh BUILD-DIR TREE [RUNS]
set -euo pipefail
build=$1 tree=$2 runs=${3:-9}
now() { date +%s.%N; }
find "$tree" -type f >/dev/null; "$build/bench/halvorix-walk-bench" "$tree" >/dev/null  # warm the cache
ours=() theirs=()
for _ in $(seq "$runs"); do
  t0=$(now); find "$tree" -type f >/dev/null; t1=$(now)
  "$build/bench/halvorix-walk-bench" "$tree" >/dev/null; t2=$(now)
  theirs+=("$(echo "$t1 - $t0" | bc -l)"); ours+=("$(echo "$t2 - $t1" | bc -l)")
done
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
m_ours=$(median "${ours[@]}") m_find=$(median "${theirs[@]}")
printf 'files %s  find %.3f s  halvorix-walk-bench %.3f s  ratio %.2f\n' \
  "$(find "$tree" -type f | wc -l)" "$m_find" "$m_ours" "$(echo "$m_ours / $m_find" | bc -l)"
