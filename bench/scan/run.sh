#!/usr/bin/env bash
# Measures ravo-scan over the same trees in one run, against `find DIR -xdev`
# and against the bare loop of a disguised search (ravo-bench-bare-walk: the
# same walk, opening, reading 51 bytes from and closing every file it would
# examine, identifying nothing). Every program runs once to warm the caches,
# then --runs times; the best wall time counts. With --cold (root only) the
# page cache is dropped before every run instead, and only the disguised
# walks are timed. --peer runs a second ravo-scan (an earlier build, say)
# beside this one. --tree N walks a generated tree of N files (a tenth of
# them pictures and songs under names that hide them) instead of the
# default trees, /usr and the build tree.
#
#   bench/scan/run.sh [--runs N] [--cold] [--peer PATH] [--tree N] [--bin DIR] [DIR...]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
runs=3
cold=0
peer=""
tree=0
bin="$here/../../build/bin"
dirs=()
while (($#)); do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --cold) cold=1; shift ;;
    --peer) peer=$(realpath "$2"); shift 2 ;;
    --tree) tree=$2; shift 2 ;;
    --bin) bin=$2; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0"; exit 0 ;;
    *) dirs+=("$1"); shift ;;
  esac
done
bin=$(realpath "$bin")
scan="$bin/ravo-scan"
bare="$bin/ravo-bench-bare-walk"
for program in "$scan" "$bare"; do
  [[ -x $program ]] || { echo "no $program (build it or pass --bin)" >&2; exit 1; }
done
if ((cold)) && [[ $(id -u) != 0 ]]; then echo "--cold needs root (drop_caches)" >&2; exit 1; fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
if ((tree)); then
  # 100 files a folder, in folders ten to a parent; every tenth file a JPEG
  # or an MP3 head under a .dat name, the rest text under .txt and .dat.
  python3 - "$tmp/tree" "$tree" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
jpeg = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + bytes(100)
mp3 = b"ID3\x03\x00\x00\x00\x00\x00\x00" + bytes(100)
for i in range(count):
    d = os.path.join(root, "d%d" % (i // 1000), "e%d" % (i // 100))
    if i % 100 == 0:
        os.makedirs(d, exist_ok=True)
    if i % 10 == 0:
        data, name = (jpeg if i % 20 == 0 else mp3), "f%d.dat" % i
    else:
        data, name = b"text %d\n" % i * 8, "f%d.%s" % (i, "txt" if i % 2 else "dat")
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)
PY
  dirs=("$tmp/tree")
fi
((${#dirs[@]})) || dirs=(/usr "$(dirname "$bin")")

prepare() {
  if ((cold)); then sync; echo 3 > /proc/sys/vm/drop_caches; fi
}

# Best wall time of the command over the runs, in seconds.
best_time() {
  ((cold)) || "$@" >/dev/null 2>&1 || true
  local best="" start end t
  for ((i = 0; i < runs; i++)); do
    prepare
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [[ -z $best ]] || (($(echo "$t < $best" | bc -l))); then best=$t; fi
  done
  echo "$best"
}

ratio() { printf '%.2f' "$(echo "$1 / $2" | bc -l)"; }

((cold)) && echo "cold: the page cache is dropped before every run"
printf '%-28s %-26s %10s %9s %9s %9s\n' tree program entries seconds vs-find vs-bare
for dir in "${dirs[@]}"; do
  entries=$(find "$dir" -xdev 2>/dev/null | wc -l)
  scanned=$("$scan" "$dir" 2>&1 >/dev/null | tail -1 | grep -oE '[0-9]+' | head -1)
  [[ $scanned == "$entries" ]] || echo "note: ravo-scan walked $scanned entries in $dir, find $entries" >&2
  if ((cold)); then
    find_s=""
  else
    find_s=$(best_time find "$dir" -xdev)
    printf '%-28s %-26s %10d %9.3f %9s %9s\n' "$dir" "find -xdev" "$entries" "$find_s" 1.00 -
  fi
  bare_s=$(best_time "$bare" "$dir")
  printf '%-28s %-26s %10d %9.3f %9s %9s\n' "$dir" "bare loop" "$entries" "$bare_s" \
    "$([[ -n $find_s ]] && ratio "$bare_s" "$find_s" || echo -)" 1.00
  variants=("--disguised")
  ((cold)) || variants=("" "--disguised")
  programs=("$scan")
  [[ -n $peer ]] && programs+=("$peer")
  for program in "${programs[@]}"; do
    name="ravo-scan"
    [[ $program == "$peer" ]] && name="peer"
    for variant in "${variants[@]}"; do
      s=$(best_time "$program" $variant "$dir")
      printf '%-28s %-26s %10d %9.3f %9s %9s\n' "$dir" "$name $variant" "$entries" "$s" \
        "$([[ -n $find_s ]] && ratio "$s" "$find_s" || echo -)" \
        "$([[ $variant == --disguised ]] && ratio "$s" "$bare_s" || echo -)"
      [[ $variant == --disguised && $name == ravo-scan ]] && ours=$s
      [[ $variant == --disguised && $name == peer ]] && echo "peer --disguised / ravo-scan --disguised: $(ratio "$s" "$ours")"
    done
  done
done
