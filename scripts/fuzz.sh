#!/usr/bin/env bash
# Fuzzes under the address and undefined-behaviour sanitizers:
#   store  the store layer (open, full walk, every property read); seeds: the sample stores beside
#          the project, when present, and tests/data/fuzz-crashes
#   rtf    the RTF de-encapsulation of RTF-only mail; seeds: tests/data/rtf-seeds
# Usage: scripts/fuzz.sh [SECONDS] [store|rtf]   (default 600 s, store). Findings are written to
# fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
target="${2:-store}"

bash scripts/setup.sh
cmake --preset fuzz "-DOST2EML_SKIP=catalog;views;engine;cli;storegen;support;app" >/dev/null

mkdir -p fuzz-findings
case "$target" in
  store)
    cmake --build --preset fuzz --target store_fuzzer
    mkdir -p fuzz-corpus
    seeds=()
    for dir in ../shared/testdata/stores ../shared/testdata/broken tests/data/fuzz-crashes; do
      [[ -d "$dir" ]] && seeds+=("$dir")
    done
    # libpff leaks a few bytes on some damaged tables (kept in tests/data/fuzz-crashes); they are
    # suppressed so that the fuzzer goes on looking for crashes and hangs.
    LSAN_OPTIONS=suppressions=tests/fuzz/lsan.supp ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
      build-fuzz/tests/fuzz/store_fuzzer fuzz-corpus "${seeds[@]}" \
        -max_total_time="$seconds" -max_len=4000000 -timeout=20 -rss_limit_mb=4096 \
        -artifact_prefix=fuzz-findings/ -print_final_stats=1
    ;;
  rtf)
    cmake --build --preset fuzz --target rtf_fuzzer
    mkdir -p fuzz-corpus-rtf
    ASAN_OPTIONS=detect_leaks=1 \
      build-fuzz/tests/fuzz/rtf_fuzzer fuzz-corpus-rtf tests/data/rtf-seeds \
        -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=fuzz-findings/rtf- -print_final_stats=1
    ;;
  *)
    echo "usage: scripts/fuzz.sh [SECONDS] [store|rtf]" >&2
    exit 2
    ;;
esac
