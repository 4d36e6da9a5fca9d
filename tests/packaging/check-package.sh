#!/usr/bin/env bash
# Builds the Debian packages of the build directory (the program's, and the emulator's of its
# own) and lets lintian judge them; checks what a bench install relies on: the udev rule's place,
# computed dependencies with no test library among the program's, and maintainer scripts that do
# not fail where no udev runs (a chroot, a container).
# Usage: check-package.sh BUILD_DIR
set -euo pipefail
build=$1
for tool in cpack lintian dpkg-shlibdeps dpkg-deb file; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (scripts/deps.sh installs it)"
        exit 77
    fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" > "$work/cpack.log") || { cat "$work/cpack.log"; fail "cpack"; }
debs=("$work"/velmorix_*.deb)
deb=${debs[0]}
[ -f "$deb" ] || fail "cpack made no package velmorix"

dpkg-deb -c "$deb" > "$work/contents.txt"
grep -q ' ./usr/lib/udev/rules.d/60-velmorix.rules$' "$work/contents.txt" ||
    fail "the package does not hold /usr/lib/udev/rules.d/60-velmorix.rules"
! grep -q ' ./usr/bin/bridge-emulator$' "$work/contents.txt" ||
    fail "the program's package holds bridge-emulator"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libusb-1.0-0; do
    [[ "$depends" == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
for library in libumockdev libglib; do
    [[ "$depends" != *"$library"* ]] || fail "Depends names the test library $library: $depends"
done

# The emulator, where it is built (Linux with umockdev), comes in a package of its own.
emulators=("$work"/velmorix-emulator_*.deb)
emulator=${emulators[0]}
if [ -f "$emulator" ]; then
    dpkg-deb -c "$emulator" > "$work/emulator-contents.txt"
    grep -q ' ./usr/bin/bridge-emulator$' "$work/emulator-contents.txt" ||
        fail "velmorix-emulator does not hold /usr/bin/bridge-emulator"
    depends=$(dpkg-deb -f "$emulator" Depends)
    for library in libumockdev0 umockdev "velmorix (= $(dpkg-deb -f "$deb" Version))"; do
        [[ "$depends" == *"$library"* ]] || fail "velmorix-emulator's Depends lacks $library: $depends"
    done
fi

dpkg-deb -e "$deb" "$work/control"
if [ ! -S /run/udev/control ]; then
    sh -e "$work/control/postinst" configure || fail "postinst fails without udev"
    sh -e "$work/control/postrm" remove || fail "postrm fails without udev"
fi

if command -v desktop-file-validate >/dev/null; then
    dpkg-deb -x "$deb" "$work/root"
    for entry in "$work"/root/usr/share/applications/*.desktop; do
        [ -e "$entry" ] || continue
        desktop-file-validate "$entry" || fail "desktop-file-validate: $entry"
    done
fi

for package in "$work"/*.deb; do
    lintian --fail-on error --tag-display-limit 0 "$package" || fail "lintian reports errors: $package"
done
echo "package: all checks passed"
