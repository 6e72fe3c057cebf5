#!/usr/bin/env bash
# Fuzzes the store layer (open, full walk, every property read) under the address and
# undefined-behaviour sanitizers. Seeds: the sample stores beside the project, when present.
# Usage: scripts/fuzz.sh [SECONDS]   (default 600). Findings are written to fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"

bash scripts/setup.sh
cmake --preset fuzz "-DOST2EML_SKIP=catalog;views;eml;engine;cli;storegen;support;app" >/dev/null
cmake --build --preset fuzz --target store_fuzzer

mkdir -p fuzz-corpus fuzz-findings
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
