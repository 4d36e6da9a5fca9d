#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    qt6-base-dev nlohmann-json3-dev libusb-1.0-0-dev umockdev libumockdev-dev
    libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth imagemagick x11-utils python3
    libcli11-dev libxml2-dev libxml2-utils i2c-tools libi2c-dev libfontconfig-dev)
# Building the Debian package and checking it (tests/packaging).
packages+=(dpkg-dev file lintian desktop-file-utils)
# The Python module and its tests (Debian's python3; bme280 is an smbus2 driver used unchanged).
packages+=(pybind11-dev python3-dev python3-pytest python3-smbus2 python3-bme280 python3-mypy)
# Viewers that read the I2C captures in the tests: Wireshark's tshark (its setuid question is
# answered "no" before the install, which runs without questions) and sigrok-cli.
packages+=(tshark sigrok-cli)
if command -v debconf-set-selections >/dev/null &&
    ! dpkg-query -W -f='${Status}' tshark 2>/dev/null | grep -q "install ok installed"; then
    selection="wireshark-common wireshark-common/install-setuid boolean false"
    if [ "$(id -u)" -eq 0 ]; then
        echo "$selection" | debconf-set-selections
    else
        echo "$selection" | sudo debconf-set-selections
    fi
fi
"$(dirname "$0")/ensure-packages.sh" "${packages[@]}"
