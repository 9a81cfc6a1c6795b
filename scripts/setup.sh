#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, run and test. Safe to run again:
# it only installs what is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev xvfb xauth fonts-dejavu-core
    python3 python3-pymodbus libmodbus-dev socat
    xdotool openbox imagemagick x11-utils gdb
    clang libclang-rt-14-dev llvm
    clang-format clang-tidy gcovr
    dpkg-dev appstream desktop-file-utils librsvg2-bin
    libcli11-dev libtomlplusplus-dev
    qt6-charts-dev libqt6opengl6-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
