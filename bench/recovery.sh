#!/bin/sh
# The recovery pass over a store, with a cold cache (the file's pages dropped from the system's
# cache first) and warm, next to the open without it; and `ost2eml info` with and without
# --recovered. Usage: bench/recovery.sh BUILD STORE
set -eu
build=$1
store=$2
evict() {
    python3 -c 'import os,sys; fd=os.open(sys.argv[1], os.O_RDONLY); os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)' "$1"
}
evict "$store"
echo "cold: $("$build/bench/recovery_pass" "$store")"
echo "warm: $("$build/bench/recovery_pass" "$store")"
for flags in "" "--recovered"; do
    evict "$store"
    start=$(date +%s.%N)
    "$build/src/cli/ost2eml" info $flags "$store" > /dev/null || true
    end=$(date +%s.%N)
    echo "ost2eml info $flags (cold): $(echo "$end - $start" | bc) s"
done
