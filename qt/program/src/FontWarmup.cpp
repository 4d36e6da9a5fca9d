#include "program/FontWarmup.h"

#include <system_error>

#if defined(VELMORIX_FONTCONFIG)
#include <fontconfig/fontconfig.h>

#include <QFontDatabase>
#include <QStringList>
#endif

namespace program {

FontWarmup::FontWarmup() {
#if defined(VELMORIX_FONTCONFIG)
    try {
        worker_ = std::thread([this] {
            // FcInit makes the configuration the process-wide current one, which Qt's font
            // database then finds ready.
            FcInit();
            std::unique_lock<std::mutex> lock(mutex_);
            configured_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return next_ != Next::Undecided; });
            const bool fill = next_ == Next::FillDatabase;
            lock.unlock();
            if (fill) {
                QFontDatabase::families();
            }
        });
    } catch (const std::system_error&) {
        configured_ = true;
    }
#else
    configured_ = true;
#endif
}

FontWarmup::~FontWarmup() {
    finish();
}

void FontWarmup::applicationReady() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (next_ == Next::Undecided) {
        next_ = Next::FillDatabase;
        changed_.notify_all();
    }
}

void FontWarmup::waitForConfiguration() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return configured_; });
}

void FontWarmup::finish() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (next_ == Next::Undecided) {
            next_ = Next::Stop;
            changed_.notify_all();
        }
    }
    if (worker_.joinable()) {
        worker_.join();
    }
}

}  // namespace program
