#!/usr/bin/env bash
# Runs velmorix-i2c.exe from the folder $1 under Wine with a register map against the simulated
# board of bridgesim/sim/examples/bench.json, whose target 90 the board builds from thermo.svd:
# get, set and dump must print what they print on Linux. The scratch folder is $2. Run by
# scripts/windows.sh, with its Wine settings.
set -euo pipefail
bin=$(realpath "$1")
work=$(realpath -m "$2")

rm -rf "$work" && mkdir -p "$work"
cp bridgesim/sim/examples/bench.json bridgesim/sim/examples/thermo.svd "$work"
failed=0

# Runs velmorix-i2c.exe with the arguments after the first in the scratch folder and compares
# what it prints (standard output, then standard error) with $1.
sim=(--bridge sim:bench.json --map thermo.svd)
check() {
    local expected="$1" got
    shift
    (cd "$work" && env -u VELMORIX_BRIDGE wine "$bin/velmorix-i2c.exe" "$@" \
        </dev/null >"$work/out" 2>"$work/err") || true
    got=$(cat "$work/out" "$work/err" | tr -d '\r')
    if [ "$got" != "$expected" ]; then
        printf 'velmorix-i2c.exe %s:\n--- expected\n%s\n--- got\n%s\n' "$*" "$expected" "$got" >&2
        failed=1
    fi
}

check "02 STATUS = 03
  0      DRDY = 1
  1      OVR  = 1" "${sim[@]}" get 90 STATUS
check "STATUS: 03 -> 01
OUT 02: 01 91 02
IN  82: 01 03
OUT 02: 02 90 02 01
IN  82: 03" "${sim[@]}" --trace set -y 90 STATUS.DRDY=1
check "CTRL: (not read) -> 25, read back 05" "${sim[@]}" set -y 90 CTRL=0x24 CTRL.EN=1
check "     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF
00: 5A 00 03 00                                        Z.?.

00  ID = 5A
01  CTRL = 00
02  STATUS = 03" "${sim[@]}" dump 90 --first 00 --last 03
check "velmorix-i2c: bench.json:1: (XML): Start tag expected, '<' not found" \
    --map bench.json map

[ "$failed" -eq 0 ] || exit 1
echo "velmorix-i2c.exe --map: get, set and dump as on Linux"
