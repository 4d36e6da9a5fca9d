// "File" > "Capture..." and "Stop Capture": the I2C messages of the program to a capture file.
#include "board/TextHelpers.h"
#include "board/Version.h"
#include "console/frmI2C_General.h"

namespace console {

namespace {

constexpr const char* kStopCaption = "Stop Capture";

}  // namespace

frmI2C_General::~frmI2C_General() {
    if (capture_) {
        link_.removeBusObserver(*capture_);
    }
}

void frmI2C_General::mnuCapture_Click() {
    if (capture_) {
        link_.removeBusObserver(*capture_);
        const std::string path = capture_->path();
        capture_.reset();
        mnuCapture.Checked = false;
        mnuCapture.Caption = kCaptureCaption;
        link_.LogNote("Capture stopped: " + path);
        return;
    }
    form::FileDialogRequest request;
    request.title = "Capture I2C Messages To";
    request.filters = {"Wireshark pcapng (*.pcapng)", "Classic pcap (*.pcap)",
                       "Waveforms for sigrok and PulseView (*.vcd)"};
    request.defaultExt = "pcapng";
    const form::FileDialogResult chosen = link_.host().saveFileDialog(request);
    if (chosen.cancelled || chosen.path.empty()) {
        return;
    }
    const client::CaptureSource source{std::string("Velmorix_I2C_Comm ") + velmorix::kVersionText,
                                       client::BusCapture::bridgeName(nullptr)};
    std::string error;
    capture_ = client::BusCapture::open(chosen.path, source, error);
    if (!capture_) {
        const std::string text = "Cannot write capture " + error;
        link_.LogNote(text);
        link_.host().messageBox(text, form::MsgButtons::Ok, board::kProgramTitle);
        return;
    }
    link_.addBusObserver(*capture_);
    mnuCapture.Checked = true;
    mnuCapture.Caption = kStopCaption;
    link_.LogNote("Capture started: " + chosen.path);
}

}  // namespace console
