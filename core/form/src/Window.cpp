#include "form/Window.h"

#include <atomic>

namespace form {

Window::Window() {
    static std::atomic<std::uintptr_t> next{0x1000};
    hwnd_ = next.fetch_add(0x10);
}

}  // namespace form
