// A host for benchmarks: its yield only delivers queued attach/detach events (or nothing), dialogs
// answer at once and the clock stands still, so that only the code under measure takes time.
#pragma once

#include <string>

#include "form/Host.h"
#include "wd_utils.h"

class BenchHost : public form::Host {
  public:
    // pump: whether a yield delivers the USB layer's queued events.
    explicit BenchHost(bool pump = true) : pump_(pump) {}
    void doEvents() override {
        if (pump_) {
            WDU_VB_PumpEvents();
        }
    }
    void sleepMs(int) override {}
    form::MsgResult messageBox(const std::string&, form::MsgButtons, const std::string&) override {
        return form::MsgResult::Ok;
    }
    form::FileDialogResult openFileDialog(const form::FileDialogRequest&) override { return {}; }
    form::FileDialogResult saveFileDialog(const form::FileDialogRequest&) override { return {}; }
    form::LocalDateTime now() override { return {2026, 12, 7, 14, 5, 9}; }

  private:
    bool pump_;
};
