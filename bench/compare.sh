#!/usr/bin/env bash
# Runs, on random mailboxes made by storegen (seed 1), in one go:
#   the scan (ost2eml scan), its floor (bare_walk: the same reads through libpff, nothing kept),
#   the conversion (ost2eml convert) and a peer reading everything (readpst -e -o DIR),
# and prints wall time, CPU time and peak memory of each, with the ratios the targets speak of.
# Usage: bench/compare.sh [BUILD_DIR] [COUNTS...]   (defaults: build, 10000 100000)
# Needs about 7 GB of free disk for 100,000 messages (the store, and the EML and readpst output).
set -euo pipefail

build=${1:-build}
shift || true
counts=("$@")
if ((${#counts[@]} == 0)); then counts=(10000 100000); fi
storegen="$build/tools/storegen/storegen"
ost2eml="$build/src/cli/ost2eml"
barewalk="$build/bench/bare_walk"
for tool in "$storegen" "$ost2eml" "$barewalk"; do
  [[ -x $tool ]] || { echo "not built: $tool" >&2; exit 1; }
done
command -v readpst >/dev/null || { echo "readpst is missing (Debian package pst-utils)" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/ost2eml-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
results="$work/results"
mkdir -p "$results"

# measure NAME COMMAND...: runs it, keeps "wall cpu rss" in $work/NAME.
measure() {
  local name=$1
  shift
  /usr/bin/time -o "$results/$name.time" -f "%e %U %S %M" "$@" >"$results/$name.out" 2>"$results/$name.err" || true
  awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$results/$name.time" >"$results/$name"
}
field() { awk -v f="$2" '{print $f}' "$results/$1"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf (b > 0 ? "%.2f" : "-"), a / b}'; }

printf '%-9s %-12s %9s %9s %11s\n' messages run wall_s cpu_s peak_rss_kb
for n in "${counts[@]}"; do
  store="$work/random-$n.ost"
  "$storegen" --random --messages "$n" --seed 1 -o "$store" >/dev/null
  sync
  measure scan "$ost2eml" scan --attachments "$work/attachments" "$store"
  rm -rf "$work/attachments"
  measure bare "$barewalk" "$store"
  measure convert "$ost2eml" convert "$store" "$work/eml"
  rm -rf "$work/eml"
  mkdir -p "$work/readpst"
  measure readpst readpst -e -q -o "$work/readpst" "$store"
  rm -rf "$work/readpst" "$store"
  for run in scan bare convert readpst; do
    printf '%-9s %-12s %9s %9s %11s\n' "$n" "$run" "$(field $run 1)" "$(field $run 2)" "$(field $run 3)"
  done
  echo "$n: scan / bare walk (wall) = $(ratio "$(field scan 1)" "$(field bare 1)")   (target <= 1.25)"
  echo "$n: readpst / convert (wall) = $(ratio "$(field readpst 1)" "$(field convert 1)")   (target >= 1.5)"
  echo "$n: scan memory beyond the bare walk per item = $(awk -v a="$(field scan 3)" -v b="$(field bare 3)" -v n="$n" 'BEGIN {printf "%.0f", (a - b) * 1024 / n}') bytes (texts included)"
done
