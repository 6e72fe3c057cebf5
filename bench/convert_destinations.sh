#!/usr/bin/env bash
# Measures `ost2eml convert --format eml|mbox|maildir` on one store, each into a fresh folder,
# and then the same conversion again into the folder it filled (a re-run, which writes nothing).
# Prints the seconds and peak memory of each, mbox and Maildir against EML, and each re-run
# against its first run. Runs alternate and repeat (RUNS, default 1). Each run writes into a
# folder of its own, and all are removed at the end: on an ext4 without a journal, files made in
# the half minute after many were deleted take several times as long, which would be measured
# instead of the format (leftovers of an earlier run are removed first, and then it waits).
# Usage: bench/convert_destinations.sh [BUILD_DIR] [STORE] [WORK_DIR]
#        (default: build, /work/stores/r100000.ost, /work/tmp-dest-bench)
set -euo pipefail

build=${1:-build}
store=${2:-/work/stores/r100000.ost}
work=${3:-/work/tmp-dest-bench}
ost2eml="$build/src/cli/ost2eml"
mkdir -p "$work"
timing=$(mktemp)
trap 'rm -rf "$work"/out-* "$timing"' EXIT

measure() {
  /usr/bin/time -f '%e %M' -o "$timing" "$ost2eml" convert "$@" >/dev/null || [[ $? == 2 ]]
  cat "$timing"
}

if compgen -G "$work/out-*" >/dev/null; then
  rm -rf "$work"/out-*
  sleep 40
fi
declare -A first
printf '%-8s %-7s %10s %12s %10s\n' format run seconds peak_rss_kb ratio
for ((run = 0; run < ${RUNS:-1}; ++run)); do
  for format in eml mbox maildir; do
    out="$work/out-$format-$run"
    sync
    read -r seconds rss < <(measure --format "$format" "$store" "$out")
    first[$format]=$seconds
    ratio=$(python3 -c "print(f'{$seconds / ${first[eml]}:.2f}')")
    printf '%-8s %-7s %10s %12s %10s\n' "$format" first "$seconds" "$rss" "$ratio (of eml)"
    sync
    read -r again rss < <(measure --format "$format" "$store" "$out")
    ratio=$(python3 -c "print(f'{$again / $seconds:.3f}')")
    printf '%-8s %-7s %10s %12s %10s\n' "$format" re-run "$again" "$rss" "$ratio (of first)"
  done
done
