#include "script/ScriptRecorder.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "script/ScriptLoader.h"

namespace script {
namespace {

namespace fs = std::filesystem;

const form::LocalDateTime kWhen{2024, 3, 7, 14, 5, 9};
const char* const kStampText = "# AutoUpdated: 03-07-2024 14:05:09 Looping: 3";

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class ScriptRecorderFiles : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) /
               ("script_recorder_" +
                std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    ScriptWriteRequest request(const fs::path& path, bool append) const {
        return ScriptWriteRequest{path.string(), append, "3", kWhen};
    }

    fs::path dir_;
};

struct FieldCase {
    const char* line;
    const char* actual;
    const char* after;
    bool updated;
};

class ExpectedField : public testing::TestWithParam<FieldCase> {};

TEST_P(ExpectedField, Update_ReplacesExactlyTheThirdField) {
    std::string line = GetParam().line;
    EXPECT_EQ(updateExpectedField(line, GetParam().actual), GetParam().updated);
    EXPECT_EQ(line, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptRecorder, ExpectedField,
    testing::Values(FieldCase{"10,20,0A # gain", "0B", "10,20,0B # gain", true},
                    FieldCase{"10,20,0A#gain", "0B", "10,20,0B#gain", true},
                    FieldCase{"10 , 20 ,  0A  # c", "0B", "10 , 20 ,  0B  # c", true},
                    FieldCase{"10,20,\t5\t", "05", "10,20,\t05\t", true},
                    FieldCase{"10,,0A", "0B0C", "10,,0B0C", true},
                    FieldCase{"10,,0A0B", "0C", "10,,0C", true},
                    FieldCase{"10,20,0 A", "1B", "10,20,1B", true},
                    FieldCase{"10,20,0A,FF", "0B", "10,20,0B,FF", true},
                    FieldCase{"10,20", "0B", "10,20", false},
                    FieldCase{"10,20,", "0B", "10,20,", false},
                    FieldCase{"10,20,  # none", "0B", "10,20,  # none", false},
                    FieldCase{"10 # a,b,c", "0B", "10 # a,b,c", false},
                    FieldCase{"10,20 # a,b", "0B", "10,20 # a,b", false},
                    FieldCase{"10,20,0A", "0B,1", "10,20,0A", false}));

struct RecordableCase {
    const char* operation;
    const char* actual;
    bool recordable;
};

class Recordable : public testing::TestWithParam<RecordableCase> {};

TEST_P(Recordable, Row_RecordedOnlyWhenReadAndMeasured) {
    EXPECT_EQ(rowIsRecordable(GetParam().operation, GetParam().actual), GetParam().recordable);
}

INSTANTIATE_TEST_SUITE_P(ScriptRecorder, Recordable,
                         testing::Values(RecordableCase{" Reg:1 R:1", "0B", true},
                                         RecordableCase{" reg:1 r:1", "0B", true},
                                         RecordableCase{" Reg:1 R:1", "--", false},
                                         RecordableCase{" Reg:1 R:1", "B", false},
                                         RecordableCase{" Reg:1 R:1", "", false},
                                         RecordableCase{" Reg:1 W:1", "0B", false},
                                         RecordableCase{"Cmd: GPIO:1234", "1234", false},
                                         RecordableCase{"NOP", "0B", false}));

TEST(ScriptRecorder, UpdateExpectedData_RowNeverRunKeepsExpectedData) {
    std::vector<std::string> lines = {"10,,0A # first", "`ENDM", "10,,0C"};
    std::vector<RecordedRow> rows = {
        {" Reg:1 R:1", "0B"}, {"Cmd: End Main", ""}, {" Reg:1 R:1", "--"}};
    EXPECT_EQ(updateExpectedData(lines, rows), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{"10,,0B # first", "`ENDM", "10,,0C"}));
}

struct StampCase {
    const char* line;
    const char* before;
};

class Stamp : public testing::TestWithParam<StampCase> {};

TEST_P(Stamp, FirstLine_OldStampReplacedByNew) {
    EXPECT_EQ(stampedFirstLine(GetParam().line, kWhen, "3"),
              std::string(GetParam().before) + kStampText);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptRecorder, Stamp,
    testing::Values(StampCase{"10,20,0A", "10,20,0A"}, StampCase{"", ""},
                    StampCase{"# power # AutoUpdated: 01-01-2023 00:00:00 Looping: 0", "# power "},
                    StampCase{"# power # autoupdated: 01-01-2023 00:00:00 Looping: 0", "# power "},
                    StampCase{"#AUTOUPDATED:x", "#AUTOUPDATED:x"}));

struct DlCase {
    const char* path;
    const char* dl;
};

class DlName : public testing::TestWithParam<DlCase> {};

TEST_P(DlName, SaveFileName_DlBeforeExtension) {
    EXPECT_EQ(saveFileNameFor(GetParam().path), GetParam().dl);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptRecorder, DlName,
    testing::Values(DlCase{"C:\\scripts\\power.txt", "C:\\scripts\\power_DL.txt"},
                    DlCase{"/s/power.txt", "/s/power_DL.txt"},
                    DlCase{"/s/x.script", "/s/x_DL.script"}, DlCase{"/s/run", "/s/run_DL"},
                    DlCase{"/s.d/run", "/s.d/run_DL"}, DlCase{"/s/.hidden", "/s/.hidden_DL"},
                    DlCase{"a.tar.gz", "a.tar_DL.gz"}));

// The comment holds every byte 80 to FF, as a script of the original platform's code page
// (Windows-1252) may: the row shows the characters, the file gets the bytes back.
TEST_F(ScriptRecorderFiles, WriteToDisk_UpdatedLineKeepsCommentOtherLinesByteForByte) {
    fs::path path = dir_ / "power.txt";
    std::string gain = "# gain ";
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        gain += static_cast<char>(byte);
    }
    writeFile(path, "# power\n10,20,0A  " + gain + "\n\t`w 10 \x0F\n10,,01\n");
    LoadOptions options;
    options.fileTitle = "power.txt";
    ScriptLoadResult loaded = loadScriptFile(path.string(), options);
    ASSERT_TRUE(loaded.ok);
    const std::string comment = loaded.script.rows[1].text(Column::Comment);
    EXPECT_TRUE(comment.starts_with("# gain \u20AC\u0081\u201A")) << comment;
    EXPECT_NE(comment.find("\u017E\u0178\u00A0\u00A1"), std::string::npos) << comment;
    EXPECT_TRUE(comment.ends_with("\u00FE\u00FF")) << comment;
    std::vector<std::string> lines = loaded.script.scriptLines;
    std::vector<RecordedRow> rows;
    for (const ScriptRow& row : loaded.script.rows) {
        rows.push_back({row.text(Column::Operation), row.text(Column::ActRd)});
    }
    rows[1].actualRead = "0B";  // row 4 never ran: its "Act_Rd" still reads "--"

    ScriptWriteResult r = recordAndWrite(lines, rows, request(path, false));
    ASSERT_TRUE(r.ok) << r.errorText;
    EXPECT_EQ(readFile(path), std::string("# power") + kStampText + "\r\n10,20,0B  " + gain +
                                  "\r\n\t`w 10 \x0F\r\n10,,01\r\n");
    EXPECT_EQ(r.linesWritten, 4);
    EXPECT_EQ(r.label18Text, " 4 Script written: 03-07-2024 14:05:09");
    EXPECT_EQ(lines[1], "10,20,0B  " + gain);
}

TEST_F(ScriptRecorderFiles, Append_TwoWritesGiveTwoStampedCopies) {
    fs::path path = dir_ / "out.txt";
    std::vector<std::string> lines = {"# t", "10,,01"};
    ASSERT_TRUE(writeScriptLines(lines, request(path, true)).ok);
    ScriptWriteRequest second = request(path, true);
    second.loopCountText = "4";
    ASSERT_TRUE(writeScriptLines(lines, second).ok);
    EXPECT_EQ(readFile(path), std::string("# t") + kStampText + "\r\n10,,01\r\n# t" +
                                  "# AutoUpdated: 03-07-2024 14:05:09 Looping: 4\r\n10,,01\r\n");
}

TEST_F(ScriptRecorderFiles, NoAppend_ExistingFileReplacedByPresentScript) {
#if defined(_WIN32)
    GTEST_SKIP() << "Windows files have no POSIX permission bits to keep";
#endif
    fs::path path = dir_ / "out.txt";
    writeFile(path, "old contents that are longer than the new ones\r\nsecond\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    std::vector<std::string> lines = {"10,,01"};
    ASSERT_TRUE(writeScriptLines(lines, request(path, false)).ok);
    EXPECT_EQ(readFile(path), std::string("10,,01") + kStampText + "\r\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ScriptRecorderFiles, NoAppend_SymlinkKeptTargetReplaced) {
#if defined(_WIN32)
    GTEST_SKIP() << "symbolic links need a privilege on Windows; the file itself is replaced there";
#endif
    fs::path target = dir_ / "real.txt";
    fs::path link = dir_ / "link.txt";
    writeFile(target, "old\r\n");
    fs::create_symlink(target, link);
    std::vector<std::string> lines = {"10,,01"};
    ASSERT_TRUE(writeScriptLines(lines, request(link, false)).ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(target), std::string("10,,01") + kStampText + "\r\n");
}

TEST_F(ScriptRecorderFiles, NoAppend_WriteFailureLeavesOldFileAndNoTemp) {
    fs::path path = dir_ / "out.txt";
    const std::string old = "old script\r\n";
    writeFile(path, old);
    std::vector<std::string> lines(50, std::string(40, 'A'));

#if defined(_WIN32)
    GTEST_SKIP() << "Windows has no file-size limit (RLIMIT_FSIZE) to make the write fail";
#else
    // A file-size limit makes the write fail part-way, whatever the user's rights.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    ScriptWriteResult r = writeScriptLines(lines, request(path, false));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errorText.find(path.string()), std::string::npos);
    EXPECT_EQ(readFile(path), old);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
#endif
}

TEST_F(ScriptRecorderFiles, MissingFolderOrEmptyName_ErrorAndLinesUnstamped) {
    std::vector<std::string> lines = {"10,,01"};
    ScriptWriteResult r = writeScriptLines(lines, request(dir_ / "nope" / "out.txt", false));
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.errorText.empty());
    ScriptWriteResult appended = writeScriptLines(lines, request(dir_ / "nope" / "o.txt", true));
    EXPECT_FALSE(appended.ok);
    ScriptWriteResult empty = writeScriptLines(lines, request("", false));
    EXPECT_FALSE(empty.ok);
    EXPECT_FALSE(empty.errorText.empty());
    EXPECT_EQ(lines[0], "10,,01");
}

TEST_F(ScriptRecorderFiles, SaveFileRow_AppendsToDlFile) {
    fs::path script = dir_ / "power.txt";
    std::vector<std::string> lines = {"10,,0A"};
    std::vector<RecordedRow> rows = {{" Reg:1 R:1", "0B"}};
    fs::path dl = saveFileNameFor(script.string());
    ASSERT_TRUE(recordAndWrite(lines, rows, request(dl, true)).ok);
    ASSERT_TRUE(recordAndWrite(lines, rows, request(dl, true)).ok);
    EXPECT_EQ(dl, dir_ / "power_DL.txt");
    std::string one = std::string("10,,0B") + kStampText + "\r\n";
    EXPECT_EQ(readFile(dl), one + one);
    EXPECT_FALSE(fs::exists(script));
}

}  // namespace
}  // namespace script
