// setenv and unsetenv for tests that choose the bridge through VELMORIX_BRIDGE. Windows has
// neither; there an empty value removes the variable, which the layer reads as unset as well.
#pragma once

#include <cstdlib>

#if defined(_WIN32)
// Sets name to value (always overwriting); returns 0, or -1 when the runtime refuses.
inline int setenv(const char* name, const char* value, int /*overwrite*/) {
    return ::_putenv_s(name, value) == 0 ? 0 : -1;
}

// Removes name from the environment; returns 0, or -1 when the runtime refuses.
inline int unsetenv(const char* name) {
    return ::_putenv_s(name, "") == 0 ? 0 : -1;
}
#endif
