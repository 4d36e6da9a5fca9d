// What every fuzzer does when a property it checks does not hold: stop at once, so that libFuzzer
// keeps the input as a crash.
#pragma once

namespace fuzz {

inline void check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

}  // namespace fuzz
