// The session bus, opened on a worker while the main window is built. Qt's accessibility bridge
// asks for it as the window's first widgets are made, and opening it (where no session bus runs,
// an attempt to start one) would otherwise hold the window back; the bridge then finds the
// connection made, or waits inside Qt for the worker to finish it. Accessibility stays as it
// was: the bridge itself still starts when Qt starts it. Where the build has no Qt D-Bus, or the
// platform starts no bridge, it does nothing.
#pragma once

#include <thread>

namespace program {

class SessionBusWarmup {
  public:
    // Starts opening the session bus when the platform will start the accessibility bridge;
    // call it once the QApplication exists. Never fails: a thread that cannot start leaves the
    // connection to the bridge.
    SessionBusWarmup();
    // Waits for the worker: destroy it while the QApplication still exists.
    ~SessionBusWarmup();
    SessionBusWarmup(const SessionBusWarmup&) = delete;
    SessionBusWarmup& operator=(const SessionBusWarmup&) = delete;

  private:
    std::thread worker_;
};

}  // namespace program
