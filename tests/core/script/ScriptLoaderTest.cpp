#include "script/ScriptLoader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace script {
namespace {

LoadOptions options(std::uint8_t addr = 0x60) {
    LoadOptions o;
    o.defaultWriteAddr = addr;
    o.fileTitle = "power.txt";
    o.loadTime = {2024, 3, 7, 9, 5, 2};
    return o;
}

ParsedScript parse(const std::string& text, std::uint8_t addr = 0x60) {
    ScriptLoadResult r = parseScript(text, options(addr));
    EXPECT_TRUE(r.ok) << r.errorText;
    return r.script;
}

ScriptRow parseOne(const std::string& line) {
    ParsedScript s = parse(line + "\r\n");
    EXPECT_EQ(s.rows.size(), 1u);
    return s.rows.empty() ? ScriptRow{} : s.rows[0];
}

struct DataCase {
    const char* line;
    const char* reg;
    const char* wr;
    const char* rd;
    const char* actRd;
    const char* operation;
    const char* comment;
    int regCount, writeCount, readCount;
};

class DataLine : public testing::TestWithParam<DataCase> {};

TEST_P(DataLine, Loaded_CellsAndCountsAsShown) {
    const DataCase& c = GetParam();
    ScriptRow row = parseOne(c.line);
    EXPECT_EQ(row.kind, RowKind::Data);
    EXPECT_EQ(row.text(Column::RegAdr), c.reg);
    EXPECT_EQ(row.text(Column::DataWr), c.wr);
    EXPECT_EQ(row.text(Column::DataRd), c.rd);
    EXPECT_EQ(row.text(Column::ActRd), c.actRd);
    EXPECT_EQ(row.text(Column::Operation), c.operation);
    EXPECT_EQ(row.text(Column::Comment), c.comment);
    EXPECT_EQ(row.RowRegCount, c.regCount);
    EXPECT_EQ(row.RowWriteCount, c.writeCount);
    EXPECT_EQ(row.RowReadCount, c.readCount);
    EXPECT_EQ(row.RowDelay, 0);
    EXPECT_EQ(row.text(Column::I2CAdr), "60");
}

INSTANTIATE_TEST_SUITE_P(
    ScriptLoader, DataLine,
    testing::Values(
        DataCase{"10, A5 ,5# set gain", "10", "A5", "05", "--", " Reg:1 W:1 R:1", "# set gain", 1,
                 1, 1},
        DataCase{"10,,3", "10", "", "03", "--", " Reg:1 R:1", "", 1, 0, 1},
        DataCase{"1,123", "01", "0123", "", "", " Reg:1 W:2", "", 1, 2, 0},
        DataCase{"ab,cd,ef", "AB", "CD", "EF", "--", " Reg:1 W:1 R:1", "", 1, 1, 1},
        DataCase{",A5,a", "", "A5", "0A", "--", " W:1 R:1", "No Internal Register", 0, 1, 1},
        DataCase{",A5 # no reg", "", "A5", "", "", " W:1", "No Internal Register# no reg", 0, 1, 0},
        DataCase{"   ", "", "", "", "", "", "No Internal Register", 0, 0, 0},
        DataCase{"10", "10", "", "", "", " Reg:1", "", 1, 0, 0},
        DataCase{"1020,12345,1234567", "1020", "12345", "1234567", "--", " Reg:2 W:2 R:4", "", 2, 2,
                 4},
        DataCase{"10,20,30,40,50", "10", "20", "30", "--", " Reg:1 W:1 R:1", "", 1, 1, 1},
        DataCase{"1 0,\tA 5,0B", "10", "A5", "0B", "--", " Reg:1 W:1 R:1", "", 1, 1, 1}));

struct NopCase {
    const char* line;
    RowKind kind;
    const char* comment;
};

class NopLine : public testing::TestWithParam<NopCase> {};

TEST_P(NopLine, Loaded_NopWithComment) {
    ScriptRow row = parseOne(GetParam().line);
    EXPECT_EQ(row.kind, GetParam().kind);
    EXPECT_EQ(row.text(Column::Operation), "NOP");
    EXPECT_EQ(row.text(Column::Comment), GetParam().comment);
    EXPECT_EQ(row.RowReadCount, 0);
    EXPECT_EQ(row.text(Column::ActRd), "");
}

INSTANTIATE_TEST_SUITE_P(
    ScriptLoader, NopLine,
    testing::Values(NopCase{"", RowKind::Blank, "Script File has a blank line"},
                    NopCase{"# only a  comment", RowKind::Nop, "# only a  comment"},
                    NopCase{"   #\tx", RowKind::Nop, "# x"}));

struct CommandCase {
    const char* line;
    RowKind kind;
    const char* operation;
    const char* comment;
    int delay;
};

class CommandLine : public testing::TestWithParam<CommandCase> {};

TEST_P(CommandLine, Loaded_OperationTextAndDelay) {
    const CommandCase& c = GetParam();
    ScriptRow row = parseOne(c.line);
    EXPECT_EQ(row.kind, c.kind);
    EXPECT_EQ(row.text(Column::Operation), c.operation);
    EXPECT_EQ(row.text(Column::Comment), c.comment);
    EXPECT_EQ(row.RowDelay, c.delay);
    bool error = c.kind == RowKind::DelayError;
    EXPECT_EQ(row.cell(Column::Operation).background, error ? CellColor::Red : CellColor::Default);
    EXPECT_EQ(row.cell(Column::Comment).background, error ? CellColor::Red : CellColor::Default);
    if (c.kind != RowKind::Gpio) {
        EXPECT_EQ(row.RowWriteCount, 0);
        EXPECT_EQ(row.RowReadCount, 0);
    }
    EXPECT_EQ(row.RowRegCount, 0);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptLoader, CommandLine,
    testing::Values(CommandCase{"`w", RowKind::KeyPause, "Cmd: Delay Keypress", "", -1},
                    CommandCase{"` w  # wait for me", RowKind::KeyPause, "Cmd: Delay Keypress",
                                "# wait for me", -1},
                    CommandCase{"`w100", RowKind::Delay, "Cmd:Delay :100: mSec", "", 100},
                    CommandCase{"`w 1 00 #d", RowKind::Delay, "Cmd:Delay :100: mSec", "#d", 100},
                    CommandCase{"`w-1", RowKind::Delay, "Cmd:Delay :-1: mSec", "", -1},
                    CommandCase{"`w2.5", RowKind::Delay, "Cmd:Delay :2.5: mSec", "", 2},
                    CommandCase{"`w3.5", RowKind::Delay, "Cmd:Delay :3.5: mSec", "", 4},
                    CommandCase{"`w32767", RowKind::Delay, "Cmd:Delay :32767: mSec", "", 32767},
                    CommandCase{"`wabc#x", RowKind::DelayError, "Error Delay_Time",
                                "#xDelay Error: Time not numeric", 0},
                    CommandCase{"`w1e", RowKind::DelayError, "Error Delay_Time",
                                "Delay Error: Time not numeric", 0},
                    CommandCase{"`w32768", RowKind::DelayError, "Error Delay_Time",
                                "Delay Error: Time above 32767 mSec", 0},
                    CommandCase{"`w1e9", RowKind::DelayError, "Error Delay_Time",
                                "Delay Error: Time above 32767 mSec", 0},
                    CommandCase{"`w-40000", RowKind::DelayError, "Error Delay_Time",
                                "Delay Error: Time below -32768 mSec", 0},
                    CommandCase{"`S", RowKind::SaveFile, "Cmd: Save File", "", 0},
                    CommandCase{"`Sx", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`IE", RowKind::IntEnable, "Cmd: Int Enable", "", 0},
                    CommandCase{"` I D # off", RowKind::IntDisable, "Cmd: Int Disable", "# off", 0},
                    CommandCase{"`IEX", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`ENDM", RowKind::EndMain, "Cmd: End Main", "", 0},
                    CommandCase{"`endm", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`EISTART", RowKind::IntStart, "Cmd: Int Start", "", 0},
                    CommandCase{"`EIEND", RowKind::IntEnd, "Cmd: Int End", "", 0},
                    CommandCase{"`G12", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`GZZZZ", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`#just a note", RowKind::OtherCommand, "Cmd:", "#just a note", 0},
                    CommandCase{"`Q", RowKind::OtherCommand, "Cmd:", "", 0},
                    CommandCase{"`a50", RowKind::OtherCommand, "Cmd:", "", 0}));

struct GpioCase {
    const char* line;
    const char* digits;
    int count;
    GpioValues values;
};

class GpioLine : public testing::TestWithParam<GpioCase> {};

TEST_P(GpioLine, Loaded_GpioRowWithCountsAndValues) {
    const GpioCase& c = GetParam();
    ScriptRow row = parseOne(c.line);
    EXPECT_EQ(row.kind, RowKind::Gpio);
    EXPECT_EQ(row.text(Column::Operation), std::string("Cmd: GPIO:") + c.digits);
    EXPECT_EQ(row.text(Column::I2CAdr), "GPIO");
    EXPECT_EQ(row.text(Column::DataWr), c.digits);
    EXPECT_EQ(row.text(Column::DataRd), c.digits);
    EXPECT_EQ(row.text(Column::ActRd), "");
    EXPECT_EQ(row.RowWriteCount, c.count);
    EXPECT_EQ(row.RowReadCount, c.count);
    EXPECT_EQ(row.RowRegCount, 0);
    EXPECT_EQ(row.gpio.portBData, c.values.portBData);
    EXPECT_EQ(row.gpio.portCData, c.values.portCData);
    EXPECT_EQ(row.gpio.hasEnables, c.values.hasEnables);
    EXPECT_EQ(row.gpio.portBEnable, c.values.portBEnable);
    EXPECT_EQ(row.gpio.portCEnable, c.values.portCEnable);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptLoader, GpioLine,
    testing::Values(GpioCase{"`G12fe", "12FE", 2, {0x12, 0xFE, false, 0, 0}},
                    GpioCase{"`G 1234 5678 # all", "12345678", 4, {0x12, 0x34, true, 0x56, 0x78}}));

struct AddressCase {
    const char* line;
    const char* thisRow;
    const char* nextRow;
};

class AddressLine : public testing::TestWithParam<AddressCase> {};

TEST_P(AddressLine, Loaded_AddressShownOnFollowingRows) {
    ParsedScript s = parse(std::string("10,20\r\n") + GetParam().line + "\r\n10,,01\r\n");
    ASSERT_EQ(s.rows.size(), 3u);
    EXPECT_EQ(s.rows[0].text(Column::I2CAdr), "60");
    EXPECT_EQ(s.rows[1].kind, RowKind::SetAddress);
    EXPECT_EQ(s.rows[1].text(Column::Operation), "Cmd:Set I2C Adr");
    EXPECT_EQ(s.rows[1].text(Column::I2CAdr), GetParam().thisRow);
    EXPECT_EQ(s.rows[2].text(Column::I2CAdr), GetParam().nextRow);
    EXPECT_EQ(s.CurrentAddrText, GetParam().nextRow);
}

INSTANTIATE_TEST_SUITE_P(ScriptLoader, AddressLine,
                         testing::Values(AddressCase{"`A", "60", "0A"},
                                         AddressCase{"`A5", "60", "05"},
                                         AddressCase{"`A50", "50", "50"},
                                         AddressCase{"`Ac2 # dev", "C2", "C2"},
                                         AddressCase{"`A123", "60", "03"}));

// An address that is not hex would read as 00, the general call every device answers.
class BadAddressLine : public testing::TestWithParam<const char*> {};

TEST_P(BadAddressLine, Loaded_ErrorRowAndAddressInForceStays) {
    ParsedScript s = parse(std::string("`A50\r\n") + GetParam() + "\r\n10,,01\r\n");
    ASSERT_EQ(s.rows.size(), 3u);
    const ScriptRow& bad = s.rows[1];
    EXPECT_EQ(bad.kind, RowKind::AddressError);
    EXPECT_EQ(bad.text(Column::Operation), "Error I2C_Adr");
    EXPECT_EQ(bad.cell(Column::Operation).background, CellColor::Red);
    EXPECT_EQ(bad.cell(Column::Comment).background, CellColor::Red);
    EXPECT_NE(bad.text(Column::Comment).find("Address Error: I2C address not hex"),
              std::string::npos);
    EXPECT_EQ(bad.text(Column::I2CAdr), "50");
    EXPECT_EQ(s.rows[2].text(Column::I2CAdr), "50");
    EXPECT_EQ(s.CurrentAddrText, "50");
}

INSTANTIATE_TEST_SUITE_P(ScriptLoader, BadAddressLine,
                         testing::Values("`AZZ", "`AZZ # dev", "`A5G", "`AZZ5"));

TEST(ScriptLoader, DefaultAddress_HexWithoutLeadingZero) {
    ParsedScript s = parse("10,20\r\n", 0x0A);
    EXPECT_EQ(s.rows[0].text(Column::I2CAdr), "A");
}

struct LineEndCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
};

class LineEnds : public testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, Split_OneRowPerLine) {
    ParsedScript s = parse(GetParam().bytes);
    EXPECT_EQ(s.scriptLines, GetParam().lines);
    EXPECT_EQ(s.rows.size(), GetParam().lines.size());
    EXPECT_EQ(s.TotalLines, static_cast<int>(GetParam().lines.size()));
    EXPECT_EQ(s.ScriptLineCount, s.TotalLines);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptLoader, LineEnds,
    testing::Values(LineEndCase{"crlf", "a\r\nb\r\n", {"a", "b"}},
                    LineEndCase{"lf", "a\nb\n", {"a", "b"}},
                    LineEndCase{"cr", "a\rb\r", {"a", "b"}},
                    LineEndCase{"mixed", "a\r\n\nb\r\r\nc", {"a", "", "b", "", "c"}},
                    LineEndCase{"noFinalEnd", "a\r\nb", {"a", "b"}},
                    LineEndCase{"blankLast", "a\r\n\r\n", {"a", ""}}, LineEndCase{"empty", "", {}},
                    LineEndCase{"rawKept", "\t10 ,20\x0F  \r\n", {"\t10 ,20\x0F  "}}),
    [](const auto& info) { return info.param.name; });

TEST(ScriptLoader, ThousandLines_Loaded) {
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "10,20,30\r\n";
    }
    ParsedScript s = parse(text);
    EXPECT_EQ(s.TotalLines, 1000);
    EXPECT_EQ(s.rows.back().text(Column::Line), "1000");
    EXPECT_EQ(s.ReadOpCount, 1000);
}

TEST(ScriptLoader, MoreThanThousandLines_RefusedWithMessage) {
    std::string text;
    for (int i = 0; i < 1001; ++i) {
        text += "10\n";
    }
    ScriptLoadResult r = parseScript(text, options());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.errorText.find("more than 1000 lines"), std::string::npos);
    EXPECT_TRUE(r.script.rows.empty());
    EXPECT_TRUE(r.script.scriptLines.empty());
}

TEST(ScriptLoader, SectionCommands_SetBoundsAndTexts) {
    ParsedScript s = parse("10,,01\r\n`ENDM\r\n`EISTART\r\n10,20\r\n`EIEND\r\n10,,02\r\n");
    EXPECT_EQ(s.EndMainRow, 2);
    EXPECT_EQ(s.IntStartRow, 3);
    EXPECT_EQ(s.IntEndRow, 5);
    EXPECT_EQ(s.txtIstartText, " 3");
    EXPECT_EQ(s.txtIendText, " 5");
    EXPECT_EQ(s.ReadOpCount, 2);
    EXPECT_EQ(s.txttotReadsText, "2");
    EXPECT_EQ(s.txtTotLinesText, "6");
}

TEST(ScriptLoader, GpioRows_CountAsReadOperations) {
    ParsedScript s = parse("10,,01\r\n`GFFFF\r\n`G12F0FFF0\r\n10,20\r\n");
    EXPECT_EQ(s.ReadOpCount, 3);
    EXPECT_EQ(s.txttotReadsText, "3");
}

TEST(ScriptLoader, NoEndMainLine_EndMainIsLastLine) {
    ParsedScript s = parse("10,,01\r\n10,,02");
    EXPECT_EQ(s.EndMainRow, 2);
    EXPECT_EQ(s.IntStartRow, 0);
    EXPECT_EQ(s.IntEndRow, 0);
    EXPECT_EQ(s.txtIstartText, "----");
    EXPECT_EQ(s.txtIendText, "----");
}

TEST(ScriptLoader, Cells_LinePaddingCodesAndBackgrounds) {
    ParsedScript s = parse("10,20,30\r\n,20\r\n`w\r\n");
    const ScriptRow& data = s.rows[0];
    EXPECT_EQ(data.text(Column::Line), "001");
    EXPECT_EQ(data.cell(Column::Line).background, CellColor::ButtonFace);
    const std::array<int, 8> dataCodes = {1, 1, 0, 0, 0, 0, 1, 0};
    const std::array<int, 8> noRegCodes = {1, 1, 0, 0, 0, 0, 0, 1};
    for (int c = 0; c < kColumnCount; ++c) {
        EXPECT_EQ(data.cells[c].code, dataCodes[c]) << "column " << c + 1;
        EXPECT_EQ(s.rows[1].cells[c].code, noRegCodes[c]) << "column " << c + 1;
        EXPECT_EQ(s.rows[2].cells[c].code, dataCodes[c]) << "column " << c + 1;
    }
    EXPECT_EQ(s.rows[2].text(Column::Line), "003");
}

TEST(ScriptLoader, RowBytes_DecodedTwoDigitsAtATime) {
    ScriptRow row = parseOne("0102,a5ff,12345");
    EXPECT_EQ(row.regBytes, (std::vector<std::uint8_t>{0x01, 0x02}));
    EXPECT_EQ(row.writeBytes, (std::vector<std::uint8_t>{0xA5, 0xFF}));
    EXPECT_EQ(row.expectedBytes, (std::vector<std::uint8_t>{0x12, 0x34}));
}

TEST(ScriptLoader, ColumnWidths_NarrowedToLongestText) {
    EXPECT_EQ(parse("10,20,30\r\n").dataWrWidth, 64);
    ParsedScript s = parse("10,0011223344556677,00112233445566778899AABBCCDDEEFF0011\r\n");
    EXPECT_EQ(s.dataWrWidth, 128);
    EXPECT_EQ(s.dataRdWidth, 208);
}

TEST(ScriptLoader, OverByteLimit_RowMarkedAndSendsNothing) {
    std::string write(2 * 255, 'A');
    ParsedScript s = parse("10," + write + ",01\r\n10,," + std::string(2 * 255, 'B') + "\r\n");
    const ScriptRow& over = s.rows[0];
    EXPECT_EQ(over.kind, RowKind::DataError);
    EXPECT_EQ(over.text(Column::Operation), "Error Byte_Count");
    EXPECT_EQ(over.cell(Column::Operation).background, CellColor::Red);
    EXPECT_EQ(over.text(Column::Comment), "Byte Count Error: more than 255 bytes");
    EXPECT_EQ(over.RowRegCount + over.RowWriteCount + over.RowReadCount, 0);
    EXPECT_EQ(over.text(Column::ActRd), "");
    EXPECT_EQ(s.rows[1].kind, RowKind::Data);
    EXPECT_EQ(s.rows[1].RowReadCount, 255);
    EXPECT_EQ(s.ReadOpCount, 1);
}

TEST(ScriptLoader, ByteOrderMark_IgnoredForInterpretationKeptRaw) {
    ParsedScript s = parse("\xEF\xBB\xBF`A50\r\n");
    EXPECT_EQ(s.rows[0].kind, RowKind::SetAddress);
    EXPECT_EQ(s.scriptLines[0], "\xEF\xBB\xBF`A50");
}

TEST(ScriptLoader, Captions_CarryTitleAndLoadTime) {
    ParsedScript s = parse("10\r\n");
    EXPECT_EQ(s.caption, "[ power.txt ]    Script IC Send / Receive");
    EXPECT_EQ(s.loadingCaption, "[ power.txt ]    Loading Script File .. Please Wait");
    EXPECT_EQ(s.txtScriptLine1Text, "09:05:02");
}

TEST(ScriptLoader, File_LoadedFromDiskOrErrorWhenMissing) {
    std::string path = testing::TempDir() + "script_loader_file.txt";
    {
        std::ofstream out(path, std::ios::binary);
        out << "10,20,30 # x\r\n`ENDM\r\n";
    }
    ScriptLoadResult r = loadScriptFile(path, options());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.script.EndMainRow, 2);
    std::remove(path.c_str());
    ScriptLoadResult missing = loadScriptFile(path, options());
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.errorText.find(path), std::string::npos);
    ScriptLoadResult folder = loadScriptFile(testing::TempDir(), options());
    EXPECT_FALSE(folder.ok);
    EXPECT_NE(folder.errorText.find("Is a directory"), std::string::npos) << folder.errorText;
}

// ---- Findings: rows the loader reads differently from how they look ------------------------

struct FindingCase {
    const char* script;
    int line;
    const char* read;
    const char* why;  // a part of the reason
};

class Findings : public testing::TestWithParam<FindingCase> {};

TEST_P(Findings, Loaded_OneFindingReadAndWhy_RowUnchanged) {
    const FindingCase& c = GetParam();
    const ParsedScript s = parse(c.script);
    const std::vector<ScriptFinding> found = scriptFindings(s);
    std::string reads;
    for (const ScriptFinding& f : found) {
        reads += f.read + "; ";
    }
    ASSERT_EQ(found.size(), 1u) << reads;
    EXPECT_EQ(found[0].line, c.line);
    EXPECT_EQ(found[0].read, c.read);
    EXPECT_NE(found[0].why.find(c.why), std::string::npos) << found[0].why;
    const ScriptRow& row = s.rows.at(static_cast<std::size_t>(c.line - 1));
    EXPECT_EQ(row.cell(Column::Line).tip, "Reads " + found[0].read + ": " + found[0].why);
}

INSTANTIATE_TEST_SUITE_P(
    ScriptLoader, Findings,
    testing::Values(
        FindingCase{"1G,22\r\n`ENDM\r\n", 1, "register 01", "\"G\" in \"1G\" is not a hex digit"},
        FindingCase{"10,2X\r\n`ENDM\r\n", 1, "write data 02", "\"X\" in \"2X\""},
        FindingCase{"10,,0Z\r\n`ENDM\r\n", 1, "expected data \"0Z\"", "always fails"},
        FindingCase{"10,123\r\n`ENDM\r\n", 1, "write data 01 23", "a 0 is put in front (0123)"},
        FindingCase{"123,\r\n`ENDM\r\n", 1, "register 12 03", "the last one makes a byte"},
        FindingCase{"10,12345\r\n`ENDM\r\n", 1, "write data 12 34",
                    "the digits after the first 4 are ignored"},
        FindingCase{"10,,12345\r\n`ENDM\r\n", 1, "expected data 12 34", "always fails"},
        FindingCase{"10,,01,FF\r\n`ENDM\r\n", 1, "the first three fields only", "ignored"},
        FindingCase{"`FOO\r\n`ENDM\r\n", 1, "no command, the row does nothing",
                    "\"`FOO\" is not a command"},
        FindingCase{"`G12\r\n`ENDM\r\n", 1, "no command, the row does nothing",
                    "`G takes 4 or 8 hex digits"},
        FindingCase{"`A123\r\n`ENDM\r\n", 1, "address 03", "only the last one counts"},
        FindingCase{"`A\r\n`ENDM\r\n", 1, "address 0A", "its own letter"},
        FindingCase{"`wabc\r\n`ENDM\r\n", 1, "Error Delay_Time", "Time not numeric"},
        FindingCase{"10,,01\r\n10,,02\r\n", 2,
                    "the end of the main section, not run by Run All Steps", "no `ENDM line"},
        FindingCase{"10,,01\r\n`ENDM\r\n10,,02\r\n`ENDM\r\n", 2, "not the end of the main section",
                    "a later `ENDM at line 4"},
        FindingCase{"`ENDM\r\n`EISTART\r\n10,,01\r\n", 2, "an interrupt service that runs nothing",
                    "no `EIEND"},
        FindingCase{"`ENDM\r\n10,,01\r\n`EIEND\r\n", 3, "an interrupt service that runs nothing",
                    "no `EISTART"},
        FindingCase{"10,A5,0A\r\n`ENDM\r\n", 1, "a write, then a read compared with \"0A\"",
                    "expected-data field on a write row"}));

TEST(ScriptLoader, Findings_PlainScript_NoneAndRowsAsBefore) {
    const ParsedScript s = parse(
        "# setup\r\n`A3c\r\n10,A5\r\n05,,0b\r\n5,,7\r\n\r\n`w100\r\n`GFFFF\r\n`IE\r\n`ENDM\r\n"
        "`EISTART\r\n11,,00\r\n`EIEND\r\n");
    for (const ScriptFinding& f : scriptFindings(s)) {
        ADD_FAILURE() << "line " << f.line << ": " << f.read << ", " << f.why;
    }
    // A finding changes nothing of what the row does.
    const ScriptRow odd = parseOne("1G,22");
    EXPECT_EQ(odd.regBytes, std::vector<std::uint8_t>{0x01});
    EXPECT_EQ(odd.writeBytes, std::vector<std::uint8_t>{0x22});
    EXPECT_EQ(odd.text(Column::Operation), " Reg:1 W:1");
}

}  // namespace
}  // namespace script
