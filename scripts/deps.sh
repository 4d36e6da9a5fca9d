#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    qt6-base-dev nlohmann-json3-dev libusb-1.0-0-dev umockdev libumockdev-dev
    libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth imagemagick x11-utils python3
    libcli11-dev libxml2-utils i2c-tools libi2c-dev)
missing=()
# Building the Debian package and checking it (tests/packaging).
packages+=(dpkg-dev file lintian desktop-file-utils)
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
