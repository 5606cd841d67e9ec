#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need, from Debian 12 packages only.
# Safe to run again: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev clang-format
  qt6-base-dev qt6-base-dev-tools qt6-httpserver-dev qt6-websockets-dev
  libgl-dev
  firebird3.0-server firebird3.0-server-core firebird3.0-utils firebird-dev
  xvfb xauth
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
# The server package asks for a SYSDBA password; leaving it empty makes the package
# generate one into /etc/firebird/3.0/SYSDBA.password, which our scripts read.
echo "firebird3.0-server shared/firebird/enabled boolean true" | $SUDO debconf-set-selections || true
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
