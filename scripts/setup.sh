#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the packaging, the benchmarks and the
# demo need.
# Idempotent: on a machine that has them all it checks and says nothing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git ccache
  clang libclang-rt-14-dev
  libpff-dev libbfio-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools libqt6webenginewidgets6
  libgl-dev
  libgmime-3.0-dev libxxhash-dev
  libvmime-dev
  libgtest-dev googletest
  zlib1g-dev libdeflate-dev
  xvfb xauth
  at-spi2-core dbus python3-pyatspi
  fonts-dejavu-core fonts-ipafont-gothic
  pst-utils
  dovecot-imapd openssl
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
  # The tests start Dovecot themselves, with a private configuration: installing it must not start
  # a system IMAP server. Debian's way to say so is a policy-rc.d that denies starting services.
  policy=""
  if [[ " ${missing[*]} " == *" dovecot-imapd "* && ! -e /usr/sbin/policy-rc.d ]]; then
    policy=/usr/sbin/policy-rc.d
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod +x "$policy"
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  if [[ -n $policy ]]; then $SUDO rm -f "$policy"; fi
fi
