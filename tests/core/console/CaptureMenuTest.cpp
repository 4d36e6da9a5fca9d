// "File" > "Capture..." and "Stop Capture" of the register console: the log lines, the menu
// entry's caption and check mark, the messages of a READ in the file, and a file that cannot be
// written.
#include <filesystem>

#include "testing/AppFixture.h"
#include "testing/ProgramRun.h"

namespace apptest {
namespace {

namespace fs = std::filesystem;

class CaptureMenuTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
    }
    void choose(const fs::path& path) {
        host.dialogAnswers.push_back({false, path.string(), path.filename().string()});
    }

    ScratchDir scratch{"velmorix-capture-menu"};
};

TEST_F(CaptureMenuTest, CaptureThenStop_LogLinesMenuStateAndTheReadInTheFile) {
    const fs::path file = scratch.path() / "bench.pcapng";
    choose(file);
    main().Txtlog.setText("");
    main().mnuCapture_Click();
    EXPECT_EQ(log(), entry("Capture started: " + file.string()));
    EXPECT_TRUE(main().mnuCapture.Checked);
    EXPECT_EQ(main().mnuCapture.Caption, "Stop Capture");
    EXPECT_EQ(main().capturePath(), file.string());

    main().cmdRead_Click();
    main().Txtlog.setText("");
    main().mnuCapture_Click();
    EXPECT_EQ(log(), entry("Capture stopped: " + file.string()));
    EXPECT_FALSE(main().mnuCapture.Checked);
    EXPECT_EQ(main().mnuCapture.Caption, "Capture...");
    EXPECT_EQ(main().capturePath(), "");
    // The section and interface headers, then the READ's two messages (register, then data).
    EXPECT_GT(readFile(file).size(), 100u);
    EXPECT_NE(readFile(file).find(std::string("\x00\x00\x00\x00\x01\x61", 6)), std::string::npos);
}

TEST_F(CaptureMenuTest, FileCannotBeWritten_MessageBoxLogLineNothingChanges) {
    const fs::path file = scratch.path() / "no" / "such.pcapng";
    choose(file);
    main().Txtlog.setText("");
    main().mnuCapture_Click();
    const std::string text =
        "Cannot write capture " + file.string() + ": No such file or directory";
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text, text);
    EXPECT_EQ(log(), entry(text));
    EXPECT_FALSE(main().mnuCapture.Checked);
    EXPECT_EQ(main().mnuCapture.Caption, "Capture...");
}

}  // namespace
}  // namespace apptest
