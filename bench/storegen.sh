#!/usr/bin/env bash
# Measures storegen's time and peak memory for random mailboxes of 10,000 and 100,000 messages.
# Usage: bench/storegen.sh [BUILD_DIR] [COUNTS...]   (default build directory: build)
# FORMATS="unicode 4k ansi" bench/storegen.sh ... measures the 4k-page and ANSI formats too;
# ENCRYPTION=high (or compressible) writes encrypted stores. An ANSI store that would pass 2 GB is
# reported as such.
# Every store written is then checked with bench/check_store_index.py (not timed).
set -euo pipefail

build=${1:-build}
shift || true
counts=("$@")
if ((${#counts[@]} == 0)); then
  counts=(10000 100000)
fi
storegen="$build/tools/storegen/storegen"
if [[ ! -x $storegen ]]; then
  echo "storegen not built: $storegen" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-10s %-8s %10s %12s %12s  %s\n' messages format seconds peak_rss_kb size_mb index
for n in "${counts[@]}"; do
  for format in ${FORMATS:-unicode}; do
    out="$work/bench-$n-$format.ost"
    if ! /usr/bin/time -v "$storegen" --random --messages "$n" --seed 1 --format "$format" \
      --encryption "${ENCRYPTION:-none}" -o "$out" 2>"$work/time.txt" >/dev/null; then
      printf '%-10s %-8s  %s\n' "$n" "$format" "$(grep -m1 '^storegen:' "$work/time.txt" || echo failed)"
      continue
    fi
    seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i]; print s}' "$work/time.txt")
    rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
    size=$(( $(stat -c %s "$out") / 1048576 ))
    index=$(python3 "$(dirname "$0")/check_store_index.py" "$out" 2>&1 || true)
    printf '%-10s %-8s %10s %12s %12s  %s\n' "$n" "$format" "$seconds" "$rss" "$size" "$index"
    rm -f "$out"
  done
done
