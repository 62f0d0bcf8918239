#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; does nothing when all are there.
# Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

packages=(
    cmake ninja-build g++ make pkg-config
    qt6-base-dev libgl-dev fonts-dejavu-core libcurl4-openssl-dev python3-pyftpdlib
    libgtest-dev libgmock-dev
    iproute2 util-linux iptables iputils-ping libnetfilter-queue-dev
)
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then sudo=(sudo -n); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
