#!/usr/bin/env bash
# Measures ravo-identify against libmagic (file -b --mime-type) and against a
# loop that only opens each file, reads 51 bytes and closes it, over the same
# list of files, in one run. Each command reads the list from a file, runs
# once to warm the caches, then ROUNDS times; the best and the median wall
# time are reported.
#
#   bench/identify/run.sh BIN_DIR LIST [ROUNDS]
#
# BIN_DIR holds ravo-identify and ext.dll (build/bin); LIST has one path a line.
set -euo pipefail
bin="$1"
list="$2"
rounds="${3:-7}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

cat >"$tmp/baseline.c" <<'C'
#include <fcntl.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>
int main(void) {
  char path[8192], head[51];
  while (fgets(path, sizeof path, stdin)) {
    path[strcspn(path, "\n")] = 0;
    int fd = open(path, O_RDONLY);
    if (fd < 0) continue;
    if (read(fd, head, sizeof head) > 0) putchar(head[0] ? '.' : '0');
    close(fd);
  }
  return 0;
}
C
cc -O2 -o "$tmp/baseline" "$tmp/baseline.c"

count=$(wc -l <"$list")
declare -A commands=(
  [open-read-close]="$tmp/baseline <'$list' >/dev/null"
  [ravo-identify]="'$bin/ravo-identify' <'$list' >/dev/null"
  [libmagic]="file -b --mime-type -f '$list' >/dev/null"
)
order=(open-read-close ravo-identify libmagic)

now() { date +%s%N; }
for name in "${order[@]}"; do bash -c "${commands[$name]}"; done
declare -A times
for ((r = 0; r < rounds; r++)); do
  for name in "${order[@]}"; do
    start=$(now)
    bash -c "${commands[$name]}"
    times[$name]+="$(( $(now) - start )) "
  done
done

echo "files: $count, rounds: $rounds"
printf '%-16s %10s %10s %12s\n' command best_ms median_ms files_per_s
for name in "${order[@]}"; do
  read -r best median < <(tr ' ' '\n' <<<"${times[$name]}" | grep . | sort -n |
    awk '{ t[NR] = $1 } END { print t[1], t[int((NR + 1) / 2)] }')
  awk -v n="$name" -v b="$best" -v m="$median" -v c="$count" \
    'BEGIN { printf "%-16s %10.1f %10.1f %12.0f\n", n, b / 1e6, m / 1e6, c / (m / 1e9) }'
done
