// Base of every window model: caption, visibility and an id that stands in for a window handle.
#pragma once

#include <cstdint>
#include <string>

namespace form {

class Window {
  public:
    Window();
    virtual ~Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // A process-unique nonzero number, handed to the USB layer where a window handle is asked.
    std::uintptr_t hWnd() const { return hwnd_; }

    std::string Caption;
    bool Visible = false;
    bool Loaded = false;

  private:
    std::uintptr_t hwnd_;
};

}  // namespace form
