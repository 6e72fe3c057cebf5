#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the packaging, the benchmarks and the
# demo need.
# Idempotent: on a machine that has them all it checks and says nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  clang libclang-rt-14-dev
  libpff-dev libbfio-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginewidgets6
  libgl-dev
  libgmime-3.0-dev libxxhash-dev
  libgtest-dev googletest
  zlib1g-dev libdeflate-dev
  xvfb xauth
  at-spi2-core dbus python3-pyatspi
  fonts-dejavu-core fonts-ipafont-gothic
  pst-utils
  python3
  python3-icalendar python3-vobject python3-dateutil
  time
  lintian desktop-file-utils appstream man-db file shared-mime-info
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
