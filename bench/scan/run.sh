#!/usr/bin/env bash
# Measures how fast ravo-scan walks a tree against `find DIR -xdev`, with and
# without --disguised, in one run on the same warm trees. Every program runs
# once to warm the caches, then --runs times; the best wall time counts.
#
#   bench/scan/run.sh [--runs N] [--scan PATH/TO/ravo-scan] [DIR...]
#
# Default trees: /usr and the build tree that holds ravo-scan.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
runs=3
scan="$here/../../build/bin/ravo-scan"
dirs=()
while (($#)); do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --scan) scan=$2; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0"; exit 0 ;;
    *) dirs+=("$1"); shift ;;
  esac
done
scan=$(realpath "$scan")
[[ -x $scan ]] || { echo "no ravo-scan at $scan (build it or pass --scan)" >&2; exit 1; }
((${#dirs[@]})) || dirs=(/usr "$(dirname "$(dirname "$scan")")")

# Best wall time of the command over the runs, in seconds, after one warm-up.
best_time() {
  "$@" >/dev/null 2>&1 || true
  local best="" start end t
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [[ -z $best ]] || (($(echo "$t < $best" | bc -l))); then best=$t; fi
  done
  echo "$best"
}

printf '%-28s %-22s %10s %9s %12s %9s\n' tree program entries seconds entries/s vs-find
for dir in "${dirs[@]}"; do
  entries=$(find "$dir" -xdev 2>/dev/null | wc -l)
  # ravo-scan counts the same entries as find; its own count is checked.
  scanned=$("$scan" "$dir" 2>&1 >/dev/null | tail -1 | grep -oE '[0-9]+' | head -1)
  [[ $scanned == "$entries" ]] || echo "note: ravo-scan walked $scanned entries in $dir, find $entries" >&2
  find_s=$(best_time find "$dir" -xdev)
  find_rate=$(echo "$entries / $find_s" | bc -l)
  printf '%-28s %-22s %10d %9.3f %12.0f %9s\n' "$dir" "find -xdev" "$entries" "$find_s" "$find_rate" "1.00"
  for variant in "" "--disguised"; do
    s=$(best_time "$scan" $variant "$dir")
    rate=$(echo "$entries / $s" | bc -l)
    printf '%-28s %-22s %10d %9.3f %12.0f %9.2f\n' "$dir" "ravo-scan $variant" "$entries" "$s" \
      "$rate" "$(echo "$rate / $find_rate" | bc -l)"
  done
done
