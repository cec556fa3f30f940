#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, only those missing.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libzip-dev libminizip-dev libsqlite3-dev libdw-dev libelf-dev
  zip unzip
  python3 python3-dbf python3-dbfread python3-aiosmtpd
  xvfb xauth xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
