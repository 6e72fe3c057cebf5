#!/usr/bin/env bash
# The main job: installs what is needed, builds the programs and shows what they do on the
# bundled demo store (or on the store given as the first argument).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -- -j"$(nproc)"

store="${1:-}"
if [[ -z "$store" ]]; then
  for candidate in build/demo/demo.ost ../shared/testdata/stores/groupdocs-sample.ost; do
    if [[ -f "$candidate" ]]; then store="$candidate"; break; fi
  done
fi
if [[ -z "$store" ]]; then
  echo "No store to show. Pass one: scripts/demo.sh /path/to/mailbox.ost"
  exit 1
fi

echo "== ost2eml info $store"
build/src/cli/ost2eml info "$store"
