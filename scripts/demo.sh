#!/usr/bin/env bash
# The main job: installs what is needed, builds the programs and shows what they do on the
# bundled demo store (or on the store given as the first argument): the folder tree and item
# counts, a conversion of every mail to .eml, and, when a display is available, the desktop
# program opened on the store.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default -- -j"$(nproc)"

store="${1:-build/demo/demo.ost}"
if [[ ! -f "$store" ]]; then
  echo "No store at $store. Pass one: scripts/demo.sh /path/to/mailbox.ost"
  exit 1
fi

echo "== ost2eml info $store"
build/src/cli/ost2eml info "$store"

out="build/demo/eml"
rm -rf "$out"
echo
echo "== ost2eml convert $store $out"
# A store with damaged mails converts the rest and exits 2; the demo still goes on to the window,
# and without one the script ends with the conversion's exit code.
converted=0
build/src/cli/ost2eml convert "$store" "$out" || converted=$?

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" && -x build/src/app/tarvolin-ost2eml ]]; then
  echo
  echo "== tarvolin-ost2eml $store"
  if [[ $(id -u) -eq 0 ]]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
  exec build/src/app/tarvolin-ost2eml "$store"
else
  echo
  echo "(No display: the desktop program is not started. With one, it opens on $store.)"
  exit "$converted"
fi
