#!/usr/bin/env bash
# Measures ravo-identify against libmagic (file -b --mime-type) and against a
# loop that only opens each file, reads 51 bytes and closes it, over the same
# list of files, in one run. Each command reads the list from a file, runs
# once to warm the caches, then ROUNDS times; the best and the median wall
# time are reported, and the ratios ravo-identify / open-read-close and
# libmagic / ravo-identify.
#
#   bench/identify/run.sh BIN_DIR [LIST|mixed] [ROUNDS]
#
# BIN_DIR holds ravo-identify and ext.dll (build/bin); LIST has one path a
# line. Without one (or with "mixed") a mixed list of about 4,100 files is
# made: the identification samples (pictures, music, video, browser cache
# entries, documents, archives, executables, text), 60 copies each under
# names that hide their type, with programs from /usr/bin and texts from
# /usr/share/doc.
set -euo pipefail
bin="$1"
list="${2:-mixed}"
rounds="${3:-7}"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

if [[ $list == mixed ]]; then
  samples="$(cd "$(dirname "$0")/../../tests/typedb/samples" && pwd)"
  list="$tmp/list"
  for copy in $(seq 1 60); do
    mkdir -p "$tmp/files/$copy"
    find "$samples" -type f ! -name 'make-*' | while read -r sample; do
      cp "$sample" "$tmp/files/$copy/$(basename "$sample").$copy.dat"
    done
  done
  find "$tmp/files" -type f > "$list"
  { find /usr/bin -maxdepth 1 -type f | head -400 >> "$list"; } || true
  { find /usr/share/doc -type f -name '*copyright*' | head -400 >> "$list"; } || true
fi

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
declare -A times medians
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
  medians[$name]=$median
done
awk -v r="${medians[ravo-identify]}" -v b="${medians[open-read-close]}" -v m="${medians[libmagic]}" \
  'BEGIN { printf "ravo-identify / open-read-close: %.2f\nlibmagic / ravo-identify: %.1f\n", r / b, m / r }'
