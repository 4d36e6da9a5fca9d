// Setup files of the register console: saving and opening through the host's file dialogs, the
// exact file format, texts that need quotes, and files or saves that fail.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "board/HexText.h"
#include "console/SetupFile.h"
#include "testing/AppFixture.h"

namespace apptest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kIntact = "will not read back intact";

class SetupFileTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
        dir = fs::temp_directory_path() /
              ("setup_test_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::remove_all(dir);
        AppFixture::TearDown();
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }
    // The next file dialog chooses this file.
    void choose(const std::string& name) {
        host.dialogAnswers.push_back({false, path(name), fs::path(name).filename().string()});
    }
    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }
    static std::string slurp(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Every text the setup file touches, the caption and both addresses.
    std::vector<std::string> windowState() {
        std::vector<std::string> state{main().Caption,
                                       main().txtI2CAdr.Text(),
                                       main().txtActualWrtAddress.Text(),
                                       main().txtActualReadAddress.Text(),
                                       std::to_string(s().I2CWriteAddr),
                                       std::to_string(s().I2CReadAddr)};
        for (int i = 0; i < 32; ++i) {
            for (auto* box : {&main().Reg_Adr[i], &main().Reg_Desc[i], &main().txtBWrite[i],
                              &main().txtRdByte[i]}) {
                state.push_back(box->Text());
            }
        }
        return state;
    }
    // Whether the folder holds nothing but the given files (no temporary file left behind).
    std::size_t filesInDir() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
};

// A file as earlier versions of the tool write it: CR LF, the print-zone blank after the label.
std::string handWritten(const std::string& first, const std::string& address,
                        const std::string& lineEnd = "\r\n") {
    std::string text = first + ", " + address + lineEnd;
    for (int i = 0; i < 32; ++i) {
        text += "R" + std::to_string(i) + ",Desc " + std::to_string(i) + ",W" + std::to_string(i) +
                ",D" + std::to_string(i) + lineEnd;
    }
    return text;
}

TEST_F(SetupFileTest, SaveThenOpen_AllRowsAndAddress_ExactFileAndRoundTrip) {
    // Cancelled dialogs change nothing.
    const auto before = windowState();
    main().mnuSetup_Open_Click();
    main().mnuSetup_Save_Click();
    EXPECT_EQ(windowState(), before);
    ASSERT_EQ(host.dialogRequests.size(), 2u);
    const auto& open = host.dialogRequests[0];
    EXPECT_EQ(open.dialog, form::TestHost::Dialog::Open);
    EXPECT_EQ(open.title, "Select Setup File to Open");
    EXPECT_EQ(open.fileName, "");
    EXPECT_EQ(open.filters,
              (std::vector<std::string>{"All Files (*.*)", "I2C_General Setup Files(*.kvx)"}));
    EXPECT_EQ(open.filterIndex, 1);
    const auto& save = host.dialogRequests[1];
    EXPECT_EQ(save.dialog, form::TestHost::Dialog::Save);
    EXPECT_EQ(save.filters, open.filters);
    EXPECT_EQ(save.filterIndex, 1);
    EXPECT_EQ(save.fileName, "");
    EXPECT_EQ(save.defaultExt, "");

    std::string expected = "I2C ADDRESS , a4\r\n";
    main().txtI2CAdr.setText("a4");
    for (int i = 0; i < 32; ++i) {
        const std::string n = std::to_string(i);
        main().Reg_Adr[i].setText("a" + n);
        main().Reg_Desc[i].setText(i == 31 ? "" : "Register " + n);
        main().txtBWrite[i].setText("w" + n);
        main().txtRdByte[i].setText(i == 31 ? "" : "r" + n);
        expected += "a" + n + "," + (i == 31 ? "" : "Register " + n) + ",w" + n + "," +
                    (i == 31 ? "" : "r" + n) + "\r\n";
    }
    const auto saved = windowState();
    const long yieldsBefore = host.yields;
    choose("board.kvx");
    main().mnuSetup_Save_Click();
    EXPECT_EQ(slurp(path("board.kvx")), expected);
    EXPECT_EQ(host.yields - yieldsBefore, 32);
    EXPECT_EQ(main().Caption, "board.kvx - Velmorix I2CUSB");
    EXPECT_TRUE(host.messages.empty());

    for (int i = 0; i < 32; ++i) {
        main().Reg_Adr[i].setText("x");
        main().Reg_Desc[i].setText("x");
        main().txtBWrite[i].setText("x");
        main().txtRdByte[i].setText("x");
    }
    main().txtI2CAdr.setText("60");
    main().Caption = "other";
    choose("board.kvx");
    main().mnuSetup_Open_Click();
    auto reopened = windowState();
    EXPECT_EQ(main().Caption, "board.kvx - Velmorix I2CUSB");
    EXPECT_EQ(main().txtI2CAdr.Text(), "A4");
    EXPECT_EQ(main().txtActualWrtAddress.Text(), "A4");
    EXPECT_EQ(main().txtActualReadAddress.Text(), "A5");
    EXPECT_EQ(s().I2CWriteAddr, 0xA4);
    EXPECT_EQ(s().I2CReadAddr, 0xA5);
    // The rows come back exactly; the address comes back upper-cased.
    EXPECT_TRUE(std::equal(reopened.begin() + 6, reopened.end(), saved.begin() + 6));

    // The next save proposes the file last opened or saved, wherever it lies, so that it
    // updates that file.
    main().mnuSetup_Save_Click();
    EXPECT_EQ(host.dialogRequests.back().fileName, path("board.kvx"));
    fs::create_directory(dir / "sub");
    fs::copy_file(path("board.kvx"), path("sub/board.kvx"));
    choose("sub/board.kvx");
    main().mnuSetup_Open_Click();
    main().mnuSetup_Save_Click();
    EXPECT_EQ(host.dialogRequests.back().fileName, path("sub/board.kvx"));
}

// Files of the original platform are 8-bit text in its code page (Windows-1252): every byte 80
// to FF shows as its character and goes back out as the same byte; a text the code page cannot
// hold goes out as UTF-8, with a word in the log.
TEST_F(SetupFileTest, Windows1252File_EveryHighByte_ShownAndSavedBackByteForByte) {
    std::string old = "I2C ADDRESS , 60\r\n";
    for (int i = 0; i < 32; ++i) {
        std::string description = "Temp ";
        for (int k = 0; k < 4; ++k) {
            description += static_cast<char>(0x80 + 4 * i + k);
        }
        old += board::HexByteText(static_cast<std::uint8_t>(i)) + "," + description + ",,\r\n";
    }
    put(path("old.kvx"), old);
    choose("old.kvx");
    main().mnuSetup_Open_Click();
    EXPECT_EQ(main().Reg_Desc[0].Text(), "Temp \u20AC\u0081\u201A\u0192");
    EXPECT_EQ(main().Reg_Desc[12].Text(), "Temp \u00B0\u00B1\u00B2\u00B3");
    EXPECT_EQ(main().Reg_Desc[31].Text(), "Temp \u00FC\u00FD\u00FE\u00FF");

    choose("again.kvx");
    main().mnuSetup_Save_Click();
    EXPECT_EQ(slurp(path("again.kvx")), old);
    EXPECT_EQ(countInLog("saved as UTF-8"), 0u);

    struct Case {
        std::string text;
        bool utf8;  // the file goes out as UTF-8
    };
    const std::vector<Case> cases = {
        {"Temp \u00B0C", false},
        {"Check \u2713", true},
        // In a file of no other 8-bit text its Windows-1252 bytes C2 B0 would read back as
        // UTF-8, a single degree sign.
        {"\u00C2\u00B0", true},
    };
    for (auto& description : main().Reg_Desc) {
        description.setText("");
    }
    for (const Case& c : cases) {
        main().Reg_Desc[5].setText(c.text);
        choose("new.kvx");
        main().mnuSetup_Save_Click();
        EXPECT_EQ(slurp(path("new.kvx")).find(c.text) != std::string::npos, c.utf8) << c.text;
        EXPECT_EQ(countInLog(path("new.kvx") + " is saved as UTF-8"), c.utf8 ? 1u : 0u) << c.text;
        main().Reg_Desc[5].setText("");
        choose("new.kvx");
        main().mnuSetup_Open_Click();
        EXPECT_EQ(main().Reg_Desc[5].Text(), c.text);
        main().Txtlog.setText("");
    }
}

// The largest file the program can save, every box full of three-byte characters and quoted,
// opens again; one byte more is refused.
TEST_F(SetupFileTest, SaveFullBoxes_OpensAgainAndLargerRefused) {
    std::string full;
    for (std::size_t k = 1; k < console::SetupFile::kMaxBoxChars; ++k) {
        full += "\u2713";
    }
    full = " " + full;
    main().txtI2CAdr.setText(full);
    for (int i = 0; i < 32; ++i) {
        for (auto* box : {&main().Reg_Adr[i], &main().Reg_Desc[i], &main().txtBWrite[i],
                          &main().txtRdByte[i]}) {
            box->setText(full);
        }
    }
    const auto saved = windowState();
    choose("full.kvx");
    main().mnuSetup_Save_Click();
    ASSERT_TRUE(host.messages.empty()) << host.messages.front().text;
    EXPECT_GT(fs::file_size(path("full.kvx")), 12'000'000u);
    EXPECT_LE(fs::file_size(path("full.kvx")), console::SetupFile::kMaxBytes);
    main().Reg_Desc[3].setText("changed");
    choose("full.kvx");
    main().mnuSetup_Open_Click();
    const auto reopened = windowState();
    EXPECT_TRUE(std::equal(saved.begin() + 6, saved.end(), reopened.begin() + 6));
    EXPECT_TRUE(host.messages.empty());

    console::SetupFile file;
    EXPECT_TRUE(file.read(path("full.kvx")).ok);
    put(path("larger.kvx"), std::string(console::SetupFile::kMaxBytes + 1, 'x'));
    EXPECT_FALSE(file.read(path("larger.kvx")).ok);
}

TEST_F(SetupFileTest, Save_TextsThatWouldSplit_QuotedOrLogged) {
    struct Case {
        std::string text;
        std::string inFile;  // how the field stands in the file
        bool intact;
    };
    const std::vector<Case> cases = {
        {"gain, coarse", "\"gain, coarse\"", true},
        {" leading blank", "\" leading blank\"", true},
        {"trailing blank ", "trailing blank ", true},
        {"5\" panel", "5\" panel", true},
        {"\"quoted\"", "\"'quoted'\"", false},
        {"say \"hi\", then", "\"say 'hi', then\"", false},
    };
    for (std::size_t k = 0; k < cases.size(); ++k) {
        main().Reg_Desc[k].setText(cases[k].text);
    }
    main().txtI2CAdr.setText(" 62");
    choose("quotes.kvx");
    main().mnuSetup_Save_Click();
    const std::string file = slurp(path("quotes.kvx"));
    EXPECT_EQ(file.substr(0, 21), "I2C ADDRESS , \" 62\"\r\n");
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const std::string line =
            board::HexByteText(static_cast<std::uint8_t>(k)) + "," + cases[k].inFile + ",,\r\n";
        EXPECT_NE(file.find(line), std::string::npos) << cases[k].text;
    }
    EXPECT_EQ(countInLog(kIntact), 2u);
    EXPECT_EQ(countInLog("row 04, Description holds a double quote"), 1u);
    EXPECT_EQ(countInLog("row 05, Description holds a double quote"), 1u);

    main().mnuSetup_Open_Click();  // cancelled
    choose("quotes.kvx");
    main().mnuSetup_Open_Click();
    EXPECT_EQ(main().txtI2CAdr.Text(), " 62");
    for (std::size_t k = 0; k < cases.size(); ++k) {
        EXPECT_EQ(main().Reg_Desc[k].Text() == cases[k].text, cases[k].intact) << cases[k].text;
    }
    // A text that was not kept is still one field: the boxes after it keep theirs.
    EXPECT_EQ(main().Reg_Desc[4].Text(), "'quoted'");
    EXPECT_EQ(main().Reg_Desc[5].Text(), "say 'hi', then");
    EXPECT_EQ(main().Reg_Adr[6].Text(), "06");
    EXPECT_EQ(main().txtBWrite[5].Text(), "");
}

TEST_F(SetupFileTest, Open_AddressTexts_LowByteOfHexValAnyFirstField) {
    struct Case {
        std::string first, address, shown, write, read;
        std::uint8_t writeAddr, readAddr;
    };
    const std::vector<Case> cases = {
        {"I2C ADDRESS ", "1a0", "1A0", "A0", "A1", 0xA0, 0xA1},
        {"I2C ADDRESS ", "FF", "FF", "FF", "0", 0xFF, 0x00},
        {"Whatever stands here", "3c", "3C", "3C", "3D", 0x3C, 0x3D},
        {"", "zz", "ZZ", "0", "1", 0x00, 0x01},
    };
    for (const Case& c : cases) {
        put(path("a.kvx"), handWritten(c.first, c.address));
        choose("a.kvx");
        main().mnuSetup_Open_Click();
        EXPECT_EQ(main().txtI2CAdr.Text(), c.shown) << c.address;
        EXPECT_EQ(main().txtActualWrtAddress.Text(), c.write) << c.address;
        EXPECT_EQ(main().txtActualReadAddress.Text(), c.read) << c.address;
        EXPECT_EQ(s().I2CWriteAddr, c.writeAddr) << c.address;
        EXPECT_EQ(s().I2CReadAddr, c.readAddr) << c.address;
    }
    EXPECT_TRUE(packets().empty());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SetupFileTest, Open_HandWrittenFile_EveryLineEndReads) {
    for (const std::string lineEnd : {"\r\n", "\n", "\r"}) {
        put(path("hand.kvx"), handWritten("I2C ADDRESS ", "60", lineEnd));
        choose("hand.kvx");
        ASSERT_NO_FATAL_FAILURE(main().mnuSetup_Open_Click());
        for (int i = 0; i < 32; ++i) {
            const std::string n = std::to_string(i);
            EXPECT_EQ(main().Reg_Adr[i].Text(), "R" + n);
            EXPECT_EQ(main().Reg_Desc[i].Text(), "Desc " + n);
            EXPECT_EQ(main().txtBWrite[i].Text(), "W" + n);
            EXPECT_EQ(main().txtRdByte[i].Text(), "D" + n);
        }
        EXPECT_EQ(main().txtI2CAdr.Text(), "60");
        EXPECT_EQ(main().Caption, "hand.kvx - Velmorix I2CUSB");
        main().Caption = "before";
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(SetupFileTest, Open_FileThatCannotBeRead_ChangesNothing) {
    const std::string full = handWritten("I2C ADDRESS ", "3c");
    const std::size_t row17 = full.find("R16,");
    std::string huge = full + std::string(console::SetupFile::kMaxBytes, ' ');
    struct Case {
        std::string name;
        std::optional<std::string> bytes;  // none: no such file
        std::string logged;
    };
    const std::vector<Case> cases = {
        {"truncated.kvx", full.substr(0, row17 + 7), "ends early: row 10 is missing"},
        {"empty.kvx", std::string(), "ends early: the address is missing"},
        {"label.kvx", std::string("I2C ADDRESS\r\n"), "ends early: the address is missing"},
        {"missing.kvx", std::nullopt, "No such file or directory"},
        {"huge.kvx", huge,
         "never larger than " + std::to_string(console::SetupFile::kMaxBytes) + " bytes"},
    };
    main().Reg_Desc[3].setText("kept");
    main().Caption = "mine.kvx - Velmorix I2CUSB";
    const auto before = windowState();
    for (const Case& c : cases) {
        if (c.bytes) {
            put(path(c.name), *c.bytes);
        }
        choose(c.name);
        main().mnuSetup_Open_Click();
        EXPECT_EQ(windowState(), before) << c.name;
        EXPECT_EQ(countInLog(path(c.name)), 1u) << c.name;
        EXPECT_NE(log().find(c.logged), std::string::npos) << c.name;
        ASSERT_FALSE(host.messages.empty());
        EXPECT_NE(host.messages.back().text.find(c.logged), std::string::npos) << c.name;
    }
    // A folder given as the file.
    host.dialogAnswers.push_back({false, dir.string(), dir.filename().string()});
    main().mnuSetup_Open_Click();
    EXPECT_EQ(windowState(), before);
    EXPECT_NE(host.messages.back().text.find("Is a directory"), std::string::npos);
    EXPECT_EQ(host.messages.size(), cases.size() + 1);
}

TEST_F(SetupFileTest, Save_Fails_OldFileKeptByteForByteAndCaptionUnchanged) {
    // A folder given as the file.
    fs::create_directory(path("folder.kvx"));
    main().Caption = "mine.kvx - Velmorix I2CUSB";
    choose("folder.kvx");
    main().mnuSetup_Save_Click();
    EXPECT_EQ(main().Caption, "mine.kvx - Velmorix I2CUSB");
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text,
              "Cannot save setup file " + path("folder.kvx") + ": Is a directory");
    EXPECT_EQ(countInLog("Cannot save setup file"), 1u);
    EXPECT_TRUE(fs::is_directory(path("folder.kvx")));

    // A disk that fills up half way through: the old file stays as it was.
    const std::string old = handWritten("I2C ADDRESS ", "60");
    put(path("old.kvx"), old);
    console::SetupFile file;
    file.address = "A0";
    for (auto& row : file.rows) {
        row.description = std::string(100, 'd');
    }
    const auto full = [](std::size_t written, std::size_t) { return written > 0 ? ENOSPC : 0; };
    const console::SetupFile::WriteResult result = file.write(path("old.kvx"), full);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errorText,
              "Cannot save setup file " + path("old.kvx") + ": No space left on device");
    EXPECT_EQ(slurp(path("old.kvx")), old);
    EXPECT_EQ(filesInDir(), 2u);

    // Without the fault the same write replaces the file whole.
    EXPECT_TRUE(file.write(path("old.kvx")).ok);
    EXPECT_EQ(slurp(path("old.kvx")), file.text());
    EXPECT_EQ(filesInDir(), 2u);
}

}  // namespace
}  // namespace apptest
