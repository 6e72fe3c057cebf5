#!/usr/bin/env bash
# Fuzzes under the address and undefined-behaviour sanitizers:
#   native    the native store reader (open, the whole walk, every property of every record set,
#             the recovery pass with every item it finds, the live tree unchanged by it,
#             bodies, attachments, embedded messages); seeds: small stores of every format,
#             encryption and content type written by storegen from tests/data/fuzz-seeds, the small
#             sample stores, the broken files and tests/data/fuzz-crashes
#   store     the store layer over libpff (open, full walk, the properties the exports read);
#             seeds: the sample stores beside the project, when present, and tests/data/fuzz-crashes
#   rtf       the RTF de-encapsulation of RTF-only mail; seeds: tests/data/rtf-seeds
#   ole       the compound-file reader and picture extraction of OLE attachments; seeds:
#             tests/data/ole-seeds
#   coverage  no fuzzing: runs the native reader's corpus (fuzz-corpus-native and its seeds) once
#             through a build with source coverage and prints the coverage of src/store/native
# Usage: scripts/fuzz.sh [SECONDS] [native|store|rtf|ole|coverage]   (default 600 s, native).
# Findings are written to fuzz-findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
target="${2:-native}"

bash scripts/setup.sh
skip="-DOST2EML_SKIP=catalog;views;scan;convert;cli;storegen;support;app"

# Small stores of every format x encryption x content type, cut after their last written byte
# (4k stores grow in steps of 16 MB of which a small store uses little).
make_native_seeds() {
  cmake --preset default >/dev/null
  cmake --build --preset default --target storegen >/dev/null
  mkdir -p fuzz-seeds-native
  for format in unicode 4k ansi; do
    for encryption in none compressible high; do
      for type in ost pst; do
        out="fuzz-seeds-native/$format-$encryption-$type.ost"
        [[ -f "$out" ]] && continue
        build/tools/storegen/storegen tests/data/fuzz-seeds/mailbox.json --format "$format" \
          --encryption "$encryption" --type "$type" --force -o "$out"
        python3 - "$out" <<'PY'
import sys
path = sys.argv[1]
data = open(path, "rb").read()
end = (len(data.rstrip(b"\0")) + 4095) // 4096 * 4096
open(path, "wb").write(data[:end])
PY
      done
    done
  done
  for small in ../shared/testdata/stores/*.pst ../shared/testdata/broken/*; do
    [[ -f "$small" && $(stat -c %s "$small") -lt 400000 ]] && cp -n "$small" fuzz-seeds-native/ || true
  done
  cp -n tests/data/fuzz-crashes/* fuzz-seeds-native/ 2>/dev/null || true
}

mkdir -p fuzz-findings
case "$target" in
  native)
    make_native_seeds
    cmake --preset fuzz "$skip" >/dev/null
    cmake --build --preset fuzz --target native_fuzzer
    mkdir -p fuzz-corpus-native
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
      build-fuzz/tests/fuzz/native_fuzzer fuzz-corpus-native fuzz-seeds-native \
        -max_total_time="$seconds" -max_len=600000 -timeout=20 -rss_limit_mb=3072 \
        -artifact_prefix=fuzz-findings/native- -print_final_stats=1
    ;;
  coverage)
    make_native_seeds
    cmake --preset fuzz-coverage "$skip" >/dev/null
    cmake --build --preset fuzz-coverage --target native_fuzzer
    rm -rf build-fuzz-coverage/profiles && mkdir -p build-fuzz-coverage/profiles
    LLVM_PROFILE_FILE=build-fuzz-coverage/profiles/%p.profraw \
      build-fuzz-coverage/tests/fuzz/native_fuzzer -runs=0 fuzz-corpus-native fuzz-seeds-native >/dev/null 2>&1
    llvm-profdata merge -sparse build-fuzz-coverage/profiles/*.profraw -o build-fuzz-coverage/native.profdata
    llvm-cov report build-fuzz-coverage/tests/fuzz/native_fuzzer \
      -instr-profile=build-fuzz-coverage/native.profdata src/store/native src/store/RecoveredItemsStore.cpp
    ;;
  store)
    cmake --preset fuzz "$skip" >/dev/null
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
    cmake --preset fuzz "$skip" >/dev/null
    cmake --build --preset fuzz --target rtf_fuzzer
    mkdir -p fuzz-corpus-rtf
    ASAN_OPTIONS=detect_leaks=1 \
      build-fuzz/tests/fuzz/rtf_fuzzer fuzz-corpus-rtf tests/data/rtf-seeds \
        -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=fuzz-findings/rtf- -print_final_stats=1
    ;;
  ole)
    cmake --preset fuzz "$skip" >/dev/null
    cmake --build --preset fuzz --target ole_fuzzer
    mkdir -p fuzz-corpus-ole
    ASAN_OPTIONS=detect_leaks=1 \
      build-fuzz/tests/fuzz/ole_fuzzer fuzz-corpus-ole tests/data/ole-seeds \
        -max_total_time="$seconds" -max_len=1048576 -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix=fuzz-findings/ole- -print_final_stats=1
    ;;
  *)
    echo "usage: scripts/fuzz.sh [SECONDS] [native|store|rtf|ole|coverage]" >&2
    exit 2
    ;;
esac
