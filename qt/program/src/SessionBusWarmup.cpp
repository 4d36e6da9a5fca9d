#include "program/SessionBusWarmup.h"

#include <system_error>

#if defined(VELMORIX_SESSION_BUS)
#include <QDBusConnection>
#include <QGuiApplication>
#endif

namespace program {

SessionBusWarmup::SessionBusWarmup() {
#if defined(VELMORIX_SESSION_BUS)
    // The platforms whose integrations start the AT-SPI bridge over the session bus.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("xcb") && !platform.startsWith(QLatin1String("wayland"))) {
        return;
    }
    try {
        worker_ = std::thread([] { QDBusConnection::sessionBus(); });
    } catch (const std::system_error&) {
        // The bridge opens the connection itself, as it always did.
    }
#endif
}

SessionBusWarmup::~SessionBusWarmup() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

}  // namespace program
