#!/usr/bin/env bash
# Checks the Windows packages that cpack made in the 64-bit build folder given as argument: the
# ZIP holds every file and its programs run from the unpacked folder; the installer is a 64-bit
# one that installs silently under Wine, with the same files, the Start-menu entries and an
# uninstaller that removes them again. Run by scripts/windows.sh, with its Wine settings.
set -euo pipefail
build="$1"

fail() {
    echo "windows-packages.sh: $*" >&2
    exit 1
}

expected=(velmorix-script.exe velmorix-i2c.exe wd_utils.dll bridgesim.dll Kestrow.dll
    x86/Kestrow.dll x86/wd_utils.dll x86/bridgesim.dll driver/velmorix-winusb.inf README.md)
# The window program is in the packages whenever the build has it.
program=
if [ -f "$build/bin/Velmorix_I2C_Comm.exe" ]; then
    program=Velmorix_I2C_Comm.exe
    expected+=("$program")
fi

# Every expected file under the folder $1, and the widths of the two Kestrow.dll.
check_tree() {
    local root="$1" what="$2" f
    for f in "${expected[@]}"; do
        [ -f "$root/$f" ] || fail "$what lacks $f"
    done
    x86_64-w64-mingw32-objdump -f "$root/Kestrow.dll" | grep -q "pei-x86-64" ||
        fail "$what: Kestrow.dll is not 64-bit"
    i686-w64-mingw32-objdump -f "$root/x86/Kestrow.dll" | grep -q "pei-i386" ||
        fail "$what: x86/Kestrow.dll is not 32-bit"
    # libusb is inside the layer: no libusb DLL has to lie beside it.
    if x86_64-w64-mingw32-objdump -p "$root/wd_utils.dll" | grep -qi "DLL Name: libusb"; then
        fail "$what: wd_utils.dll needs a libusb DLL"
    fi
    grep -q 'USB\\VID_[0-9A-F]\{4\}&PID_[0-9A-F]\{4\}' "$root/driver/velmorix-winusb.inf" ||
        fail "$what: the INF names no bridge board"
}

# Runs a script against the simulated board with the velmorix-script.exe in the folder $1.
check_runs() {
    local root="$1" what="$2" result
    printf '00,,00\r\n`ENDM\r\n' >"$root/smoke.txt"
    result=$(wine "$root/velmorix-script.exe" --bridge sim "$root/smoke.txt" | tr -d '\r' |
        tail -n 1)
    rm -f "$root/smoke.txt"
    [ "$result" = "1 passed, 0 failed" ] ||
        fail "$what: velmorix-script.exe did not pass its script: $result"
}

zip=$(ls "$build"/Velmorix-*-win64-windows.zip)
unzip -l "$zip"
unpacked="$build/zip-check"
rm -rf "$unpacked" && mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
check_tree "$unpacked" "the ZIP"
check_runs "$unpacked" "the unpacked ZIP"
rm -rf "$unpacked"

installer=$(ls "$build"/Velmorix-*-win64.exe)
x86_64-w64-mingw32-objdump -f "$installer" | grep -q "pei-x86-64" ||
    fail "$installer is not a 64-bit installer (no 32-bit Wine here to run it)"
dir="$WINEPREFIX/drive_c/Program Files/Velmorix"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Velmorix I2C Comm"
# A left-over install of an interrupted run would make the installer ask first.
if [ -f "$dir/Uninstall.exe" ]; then
    wine "$dir/Uninstall.exe" /S || true
    wineserver -w
fi
rm -rf "$dir" "$menu"

timeout 120 wine "$installer" /S || fail "the silent install failed"
wineserver -w
check_tree "$dir" "the installed folder"
check_runs "$dir" "the installed folder"
[ -f "$dir/Uninstall.exe" ] || fail "the installer put no Uninstall.exe"
[ -f "$menu/Uninstall.lnk" ] || fail "no Start-menu entry for the uninstaller"
if [ -n "$program" ] && [ ! -f "$menu/Velmorix I2C Comm.lnk" ]; then
    fail "no Start-menu entry for the window program"
fi
echo "Installed silently under Wine: $(cd "$dir" && find . -type f | wc -l) files," \
    "Start menu: $(find "$menu" -name '*.lnk' -printf '%f ')"

# The uninstaller runs a copy of itself from the temporary folder; Wine's server waits for it.
timeout 120 wine "$dir/Uninstall.exe" /S || fail "the silent uninstall failed"
wineserver -w
[ ! -e "$dir/velmorix-script.exe" ] || fail "the uninstaller left the programs"
[ ! -e "$menu" ] || fail "the uninstaller left the Start-menu entries"
echo "Windows packages: $zip, $installer"
