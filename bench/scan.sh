#!/usr/bin/env bash
# Measures the scan (ost2eml scan) of random mailboxes of 10,000 and 100,000 messages made by
# storegen: wall time and peak memory.
# Usage: bench/scan.sh [BUILD_DIR] [COUNTS...]   (default build directory: build)
set -euo pipefail

build=${1:-build}
shift || true
counts=("$@")
if ((${#counts[@]} == 0)); then
  counts=(10000 100000)
fi
storegen="$build/tools/storegen/storegen"
ost2eml="$build/src/cli/ost2eml"
for tool in "$storegen" "$ost2eml"; do
  if [[ ! -x $tool ]]; then
    echo "not built: $tool" >&2
    exit 1
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-10s %10s %12s %10s\n' messages seconds peak_rss_kb mails
for n in "${counts[@]}"; do
  store="$work/bench-$n.ost"
  "$storegen" --random --messages "$n" --seed 1 --format unicode -o "$store" >/dev/null
  /usr/bin/time -v "$ost2eml" scan --attachments "$work/attachments-$n" "$store" \
    >"$work/scan.txt" 2>"$work/time.txt" || true
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i]; print s}' "$work/time.txt")
  rss=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
  mails=$(awk '/ mails, / {print $3}' "$work/scan.txt")
  printf '%-10s %10s %12s %10s\n' "$n" "$seconds" "$rss" "$mails"
  rm -rf "$store" "$work/attachments-$n"
done
