// The boundary between Windows and the program's handlers: no exception unwinds through a window
// procedure or a timer callback into Windows' own code.
#pragma once

#include <exception>

namespace win32kit {

// Writes "<where>: <what>" to the standard error and to the debugger; never fails.
void reportFailure(const char* where, const char* what) noexcept;

// Runs `handle`; returns false when it threw, after reporting the exception with `where`.
template <class Handle>
bool guarded(const char* where, Handle&& handle) noexcept {
    try {
        handle();
        return true;
    } catch (const std::exception& e) {
        reportFailure(where, e.what());
    } catch (...) {
        reportFailure(where, "an exception of unknown type");
    }
    return false;
}

}  // namespace win32kit
