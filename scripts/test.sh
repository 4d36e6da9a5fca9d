#!/usr/bin/env bash
# Installs what is missing, builds from scratch and runs every test: a normal build, a build under
# AddressSanitizer + UndefinedBehaviorSanitizer, the Qt-free parts under ThreadSanitizer, a Windows
# build under Wine, and a short run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
jobs=$(nproc)

# No include may run upward between the layers.
python3 scripts/check-includes.py
export QT_QPA_PLATFORM=offscreen

rm -rf build/release build/asan build/tsan build/fuzz
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORIX_SANITIZE=ON -DVELMORIX_BENCH=OFF
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
    ctest --test-dir build/asan --output-on-failure -j "$jobs"

# The Qt-free targets and their tests under ThreadSanitizer (Qt is not instrumented).
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORIX_TSAN=ON \
    -DVELMORIX_GUI=OFF -DVELMORIX_BENCH=OFF -DVELMORIX_PYTHON=OFF
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1:die_after_fork=0:second_deadlock_stack=1:suppressions=$PWD/scripts/tsan.supp \
    ctest --test-dir build/tsan --output-on-failure -j "$jobs"

# The Qt-free parts cross-built for Windows and tested under Wine.
rm -rf build/windows/x86_64 build/windows/i686
./scripts/windows.sh

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELMORIX_FUZZ=ON -DVELMORIX_GUI=OFF -DVELMORIX_TESTS=OFF -DVELMORIX_BENCH=OFF -DVELMORIX_PYTHON=OFF
cmake --build build/fuzz -j "$jobs" --target fuzzers
for fuzzer in $(find build/fuzz/fuzz -type f -name "fuzz_*" -perm -u+x | sort); do
    name=$(basename "$fuzzer")
    corpus="build/fuzz/corpus/$name"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    echo "Fuzzing $name"
    "$fuzzer" -max_total_time=20 -timeout=5 -rss_limit_mb=2048 "$corpus" $seeds
done
echo "All tests passed."
