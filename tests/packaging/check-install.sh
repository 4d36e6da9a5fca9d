#!/usr/bin/env bash
# Installs the build into a fresh prefix, moves the prefix elsewhere (the run paths must be
# relative), and uses the installed programs from there as a user would.
# Usage: check-install.sh BUILD_DIR VERSION VENDOR_ID PRODUCT_ID GUI(ON|OFF)
set -euo pipefail
build=$1 version=$2 vendor=$3 product=$4 gui=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/staged" >/dev/null
mv "$work/staged" "$work/prefix"
prefix=$work/prefix
unset LD_LIBRARY_PATH VELMORIX_BRIDGE

for file in bin/velmorix-script bin/velmorix-i2c include/wd_utils.h \
    share/man/man1/velmorix-script.1 share/man/man1/velmorix-i2c.1 \
    share/bash-completion/completions/velmorix-script \
    share/doc/velmorix/README.md share/doc/velmorix/copyright lib/udev/rules.d/60-velmorix.rules; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
if [ "$gui" = ON ]; then
    for file in bin/Velmorix_I2C_Comm share/applications/velmorix.desktop \
        share/icons/hicolor/scalable/apps/velmorix.svg share/man/man1/Velmorix_I2C_Comm.1; do
        [ -f "$prefix/$file" ] || fail "$file is not installed"
    done
fi

# Every installed program and library finds its libraries from the moved prefix.
while IFS= read -r binary; do
    missing=$(ldd "$binary" | grep "not found" || true)
    [ -z "$missing" ] || fail "$binary: $missing"
done < <(find "$prefix" -type f \( -path "*/bin/*" -o -name "*.so*" \))

[ "$("$prefix/bin/velmorix-script" --version)" = "velmorix-script $version" ] ||
    fail "velmorix-script --version does not say $version"

printf '02,,7A\n10,55\n10,,55\n`ENDM\n' > "$work/check.txt"
status=0
(cd "$work" && "$prefix/bin/velmorix-script" --bridge sim check.txt > out.txt 2> err.txt) ||
    status=$?
[ "$status" -eq 0 ] || fail "the script run exited with $status: $(cat "$work/err.txt")"
[ "$(tail -n 1 "$work/out.txt")" = "2 passed, 0 failed" ] ||
    fail "the script run printed: $(cat "$work/out.txt")"

# The Python module, when built, imports from the prefix in Debian's layout and reaches the board.
if [ -d "$build/python/velmorix" ]; then
    site=$prefix/lib/python3/dist-packages
    [ -f "$site/velmorix/py.typed" ] || fail "the Python package is not in lib/python3/dist-packages"
    (cd "$work" && PYTHONPATH=$site /usr/bin/python3 -c '
import sys, velmorix
with velmorix.SMBus("sim") as bus:
    sys.exit(bus.read_byte_data(0x30, 2) != 0x7A)') || fail "the installed Python module does not work"
    # The dist-info's entry point enables the pytest plugin without -p.
    (cd "$work" && PYTHONPATH=$site /usr/bin/python3 -c '
import sys
from importlib.metadata import entry_points
sys.exit([e.value for e in entry_points(group="pytest11", name="velmorix")] != ["velmorix.pytest_plugin"])') ||
        fail "the installed package has no pytest11 entry point for its plugin"
fi

# The rule gives the plugdev group and the seat's user the board of the configured IDs, and
# nothing more.
expected=$(printf 'SUBSYSTEM=="usb", ATTR{idVendor}=="%04x", ATTR{idProduct}=="%04x", MODE="0660", GROUP="plugdev", TAG+="uaccess"' \
    "$((vendor))" "$((product))")
rules=$(grep -v '^#' "$prefix/lib/udev/rules.d/60-velmorix.rules" | grep -v '^$')
[ "$rules" = "$expected" ] || fail "the udev rule reads: $rules"
echo "install layout: all checks passed"
