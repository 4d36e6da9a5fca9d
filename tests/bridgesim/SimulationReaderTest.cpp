#include "bridgesim/SimulationReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace bridgesim {
namespace {

constexpr const char* kIssueExample = R"({ "name": "demo",
  "attached": true,
  "latency_us": 0,
  "inputs": { "PB": "FF", "PC": "FF" },
  "targets": [
    { "address": "60", "register_bytes": 1, "fill": "00",
      "registers": { "02": "7A" }, "read_only": [ "02" ],
      "interrupt": { "pin": "PC4", "set_by_write": "10", "cleared_by_read": "11" } },
    { "address": "A0", "register_bytes": 2, "fill": "FF" } ] })";

TEST(SimulationReader, DocumentedExample_ReadsEveryField) {
    std::string error;
    const auto config = SimulationReader::fromText(kIssueExample, "demo.json", error);
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->name, "demo");
    EXPECT_TRUE(config->attached);
    ASSERT_EQ(config->targets.size(), 2u);
    const TargetConfig& t60 = config->targets[0];
    EXPECT_EQ(t60.address, 0x60);
    EXPECT_EQ(t60.registerBytes, 1);
    EXPECT_EQ(t60.size, 256u);
    EXPECT_EQ(t60.registers.at(0x02), 0x7A);
    EXPECT_TRUE(t60.readOnly.contains(0x02));
    ASSERT_TRUE(t60.interrupt);
    EXPECT_EQ(t60.interrupt->pin, (Pin{Port::C, 4}));
    EXPECT_EQ(t60.interrupt->setByWrite, 0x10u);
    EXPECT_EQ(t60.interrupt->clearedByRead, 0x11u);
    const TargetConfig& tA0 = config->targets[1];
    EXPECT_EQ(tA0.registerBytes, 2);
    EXPECT_EQ(tA0.size, 65536u);
    EXPECT_EQ(tA0.fill, 0xFF);
}

TEST(SimulationReader, OnlyTargets_DefaultsForEverythingElse) {
    std::string error;
    const auto config =
        SimulationReader::fromText(R"({"targets":[{"address":"a0"}]})", "min.json", error);
    ASSERT_TRUE(config) << error;
    EXPECT_TRUE(config->attached);
    EXPECT_EQ(config->latencyUs, 0u);
    EXPECT_EQ(config->inputsB, 0xFF);
    EXPECT_EQ(config->inputsC, 0xFF);
    EXPECT_EQ(config->targets[0].address, 0xA0);
    EXPECT_EQ(config->targets[0].fill, 0x00);
}

TEST(SimulationReader, BuiltInText_ParsesAsDocumented) {
    std::string error;
    const auto config =
        SimulationReader::fromText(SimulationReader::builtInText(), "built-in", error);
    ASSERT_TRUE(config) << error;
    ASSERT_EQ(config->targets.size(), 2u);
    EXPECT_EQ(config->targets[0].address, 0x60);
    EXPECT_EQ(config->targets[0].registers.at(0x02), 0x7A);
    EXPECT_EQ(config->targets[1].address, 0xA0);
    EXPECT_EQ(config->targets[1].registerBytes, 2);
    EXPECT_EQ(config->targets[1].size, 256u);
    EXPECT_EQ(config->targets[1].fill, 0xFF);
}

struct BadCase {
    const char* what;
    const char* json;
    const char* expected;  // "KEY: problem" part of the message
};

class SimulationReaderBad : public ::testing::TestWithParam<BadCase> {};

TEST_P(SimulationReaderBad, Rejected_ErrorNamesFileKeyAndProblem) {
    std::string error;
    const auto config = SimulationReader::fromText(GetParam().json, "bench.json", error);
    EXPECT_FALSE(config);
    EXPECT_EQ(error.rfind("bench.json: ", 0), 0u) << error;
    EXPECT_NE(error.find(GetParam().expected), std::string::npos) << error;
}

const BadCase kBadCases[] = {
    {"syntax", R"({"targets": [)", "(syntax): not valid JSON"},
    {"not an object", R"([1, 2])", "(top level): expected an object"},
    {"unknown key", R"({"targets": [], "colour": 1})", "colour: unknown key"},
    {"missing targets", R"({"name": "x"})", "targets: missing"},
    {"targets not a list", R"({"targets": {}})", "targets: expected a list"},
    {"bad hex address", R"({"targets": [{"address": "6G"}]})",
     "targets[0].address: bad hex \"6G\""},
    {"address as number", R"({"targets": [{"address": 96}]})",
     "targets[0].address: expected a hex text"},
    {"read address", R"({"targets": [{"address": "61"}]})",
     "targets[0].address: must be the 8-bit write address"},
    {"missing address", R"({"targets": [{"fill": "00"}]})", "targets[0].address: missing"},
    {"duplicate address", R"({"targets": [{"address": "A0"}, {"address": "a0"}]})",
     "targets[1].address: duplicate address"},
    {"register bytes 3", R"({"targets": [{"address": "A0", "register_bytes": 3}]})",
     "targets[0].register_bytes: must be 1 or 2"},
    {"fill too long", R"({"targets": [{"address": "A0", "fill": "100"}]})",
     "targets[0].fill: expected 1 to 2 hex digits"},
    {"register too wide", R"({"targets": [{"address": "A0", "registers": {"102": "00"}}]})",
     "targets[0].registers.102: expected 1 to 2 hex digits"},
    {"register value bad", R"({"targets": [{"address": "A0", "registers": {"10": "XY"}}]})",
     "targets[0].registers.10: bad hex"},
    {"register twice", R"({"targets": [{"address": "A0", "registers": {"2": "01", "02": "02"}}]})",
     "registers.2: register listed twice"},
    {"register beyond size",
     R"({"targets": [{"address": "A0", "register_bytes": 2, "size": 16, "registers": {"0010": "01"}}]})",
     "registers.0010: register \"0010\" is beyond the target's size"},
    {"size zero", R"({"targets": [{"address": "A0", "size": 0}]})", "targets[0].size: must be"},
    {"read_only not a list", R"({"targets": [{"address": "A0", "read_only": "02"}]})",
     "targets[0].read_only: expected a list"},
    {"pin PC3", R"({"targets": [{"address": "60", "interrupt":
        {"pin": "PC3", "set_by_write": "10", "cleared_by_read": "11"}}]})",
     "targets[0].interrupt.pin: expected a pin name"},
    {"pin PA0", R"({"targets": [{"address": "60", "interrupt":
        {"pin": "PA0", "set_by_write": "10", "cleared_by_read": "11"}}]})",
     "targets[0].interrupt.pin"},
    {"interrupt incomplete", R"({"targets": [{"address": "60", "interrupt": {"pin": "PB0",
        "set_by_write": "10"}}]})",
     "targets[0].interrupt.cleared_by_read: missing"},
    {"interrupt unknown key", R"({"targets": [{"address": "60", "interrupt": {"pin": "PB0",
        "set_by_write": "10", "cleared_by_read": "11", "edge": "low"}}]})",
     "targets[0].interrupt.edge: unknown key"},
    {"target unknown key", R"({"targets": [{"address": "60", "regs": {}}]})",
     "targets[0].regs: unknown key"},
    {"attached not bool", R"({"attached": "yes", "targets": []})",
     "attached: expected true or false"},
    {"latency negative", R"({"latency_us": -1, "targets": []})", "latency_us: expected"},
    {"latency too long", R"({"latency_us": 5000000, "targets": []})", "latency_us: expected"},
    {"inputs unknown port", R"({"inputs": {"PD": "00"}, "targets": []})", "inputs.PD: unknown key"},
    {"inputs bad hex", R"({"inputs": {"PB": "0x1"}, "targets": []})", "inputs.PB: "},
    {"name not text", R"({"name": 5, "targets": []})", "name: expected a text"},
    {"key twice", R"({"name": "a", "name": "b", "targets": []})",
     "name: key given twice in the same object"},
    {"key twice in a target", R"({"targets": [{"address": "60"}, {"address": "62", "fill": "00",
        "address": "64"}]})",
     "targets[1].address: key given twice in the same object"},
    {"register key twice", R"({"targets": [{"address": "60", "registers": {"02": "01",
        "02": "02"}}]})",
     "targets[0].registers.02: key given twice in the same object"},
    {"long bad hex shortened",
     R"({"targets": [{"address": "0123456789012345678901234567890123456789012345678901234567890123456789"}]})",
     "targets[0].address: expected 1 to 2 hex digits, got "
     "\"012345678901234567890123456789012345..."},
    {"control character in hex", R"({"targets": [{"address": "6\n"}]})",
     "targets[0].address: bad hex \"6\\n\""},
    {"bit named twice", R"({"targets": [{"address": "60", "bits": {"10": {"read_only": "81",
        "write_1_to_clear": "03"}}}]})",
     "targets[0].bits.10.write_1_to_clear: bit 0 is also named by read_only"},
    {"unknown bit behaviour",
     R"({"targets": [{"address": "60", "bits": {"10": {"sticky": "01"}}}]})",
     "targets[0].bits.10.sticky: unknown key"},
    {"FIFO value not hex",
     R"({"targets": [{"address": "60", "fifo": {"14": {"values": ["1G"]}}}]})",
     "targets[0].fifo.14.values[0]: bad hex \"1G\""},
    {"unknown changing kind", R"({"targets": [{"address": "60", "changing": {"12": {"square":
        {}}}}]})",
     "targets[0].changing.12.square: unknown kind"},
    {"every that is no time", R"({"targets": [{"address": "60", "changing": {"12": {"counter":
        {"every": "often"}}}}]})",
     "targets[0].changing.12.counter.every: expected \"read\" or a time"},
};

INSTANTIATE_TEST_SUITE_P(Table, SimulationReaderBad, ::testing::ValuesIn(kBadCases),
                         [](const ::testing::TestParamInfo<BadCase>& info) {
                             std::string name = info.param.what;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

TEST(SimulationReader, FileMissing_ErrorNamesThePath) {
    std::string error;
    EXPECT_FALSE(SimulationReader::fromFile("/nonexistent/bench.json", error));
    EXPECT_EQ(error, "/nonexistent/bench.json: (file): cannot be opened for reading");
}

TEST(SimulationReader, FolderGiven_ErrorNamesThePathNotTheSyntax) {
    const std::string path = ::testing::TempDir();
    std::string error;
    EXPECT_FALSE(SimulationReader::fromFile(path, error));
    EXPECT_EQ(error, path + ": (file): is a folder, not a simulation file");
}

TEST(SimulationReader, DeviceGiven_RefusedWithoutReadingIt) {
#if defined(_WIN32)
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
#endif
    std::string error;
    EXPECT_FALSE(SimulationReader::fromFile(device, error));
    EXPECT_EQ(error, device + ": (file): is not a regular file");
}

TEST(SimulationReader, GoodFile_ReadLikeText) {
    const std::string path = ::testing::TempDir() + "sim_reader_good.json";
    std::ofstream(path) << kIssueExample;
    std::string error;
    const auto config = SimulationReader::fromFile(path, error);
    std::remove(path.c_str());
    ASSERT_TRUE(config) << error;
    EXPECT_EQ(config->name, "demo");
}

}  // namespace
}  // namespace bridgesim
