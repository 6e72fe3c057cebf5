#!/usr/bin/env bash
# Runs every test: installs what is needed, builds the project and runs the test suite, then
# builds it again with the address and undefined-behaviour sanitizers and without the desktop
# program (which proves that nothing below the GUI depends on it) and runs the suite there too.
# Under CI (CI=true) compiler warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
preset=default
if [[ -n "${CI:-}" ]]; then preset=ci; fi

# Objects compiled before, in this checkout or another one, are taken from the compiler cache:
# paths below the checkout count as relative, so a fresh clone finds what an earlier one built.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "== build ($preset)"
cmake --preset "$preset" "${launcher[@]}" >/dev/null
cmake --build --preset "$preset" -- -j"$jobs"
echo "== tests ($preset)"
export QTWEBENGINE_DISABLE_SANDBOX=1
ctest --test-dir build --output-on-failure -j"$jobs" --timeout 900

if [[ "${OST2EML_SKIP_SANITIZERS:-}" != 1 ]]; then
  echo "== build (asan: sanitizers, no desktop program)"
  cmake --preset asan "${launcher[@]}" >/dev/null
  cmake --build --preset asan -- -j"$jobs"
  echo "== tests (asan)"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" \
    ctest --test-dir build-asan --output-on-failure -j"$jobs" --timeout 1800 -LE bench
fi
