#!/usr/bin/env bash
# Measures `ost2eml convert` mail only against `convert --all` (contacts, appointments, tasks,
# notes and journal entries too) and each other kind alone, on random mailboxes (one contact and
# one appointment per 20 mails, one task per 50). Runs alternate and repeat (RUNS, default 2),
# since writing a few GB of .eml files makes single runs depend on the disk's write-back.
# Usage: bench/convert_kinds.sh [BUILD_DIR] [COUNTS...]   (default: build 100000)
set -euo pipefail

build=${1:-build}
shift || true
counts=("$@")
if ((${#counts[@]} == 0)); then
  counts=(100000)
fi
storegen="$build/tools/storegen/storegen"
ost2eml="$build/src/cli/ost2eml"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

printf '%-10s %-28s %10s %12s\n' messages options seconds peak_rss_kb
for n in "${counts[@]}"; do
  store="$work/random-$n.ost"
  "$storegen" --random --messages "$n" --seed 1 -o "$store" >/dev/null
  for ((run = 0; run < ${RUNS:-2}; ++run)); do
    for options in "" "--all" "--contacts --no-mail" "--calendar --no-mail" "--tasks --no-mail"; do
      rm -rf "$work/out"
      sync
      # shellcheck disable=SC2086
      /usr/bin/time -f '%e %M' -o "$work/time.txt" "$ost2eml" convert "$store" "$work/out" $options >/dev/null
      read -r seconds rss <"$work/time.txt"
      printf '%-10s %-28s %10s %12s\n' "$n" "${options:-(mail only)}" "$seconds" "$rss"
    done
  done
done
