// The "Register Map" window's model on the simulated bridge board: opening maps, "Read All" and
// its marks, and the masked write of an edited field at the packet level.
#include <filesystem>
#include <fstream>

#include "bridgesim/MapTarget.h"
#include "regmap/frmRegisterMap.h"
#include "testing/AppFixture.h"
#include "testing/ProgramRun.h"

namespace apptest {
namespace {

const std::string kMaps = VELMORIX_MAPS_DIR;

class RegisterMapWindow : public AppFixture {
  protected:
    void SetUp() override {
        if (!VELMORIX_MAP_FILES) {
            GTEST_SKIP() << "this build reads no map files (no libxml2)";
        }
        AppFixture::SetUp();
        app->setRegisterMapMemory(memory.string());
        startQuietly();
        main().mnuRegisterMap_Click();
        ASSERT_TRUE(window().openMap(kMaps + "/sensor2009.xml"));
        board->clearPacketLog();
    }
    regmap::frmRegisterMap& window() { return app->registerMap(); }
    std::size_t indexOf(const char* name) {
        const auto& regs = window().map()->registers;
        return static_cast<std::size_t>(window().map()->named(name) - regs.data());
    }
    bool edit(const char* reg, const char* field, const char* text) {
        const std::size_t index = indexOf(reg);
        return window().writeField(index, *window().map()->registers[index].field(field), text);
    }

    ScratchDir scratch{"velmorix-regmap"};
    const std::filesystem::path memory = scratch.path() / "register-map";
};

TEST_F(RegisterMapWindow, OpensFromTheMenuWithTheConsolesAddress) {
    EXPECT_EQ(navigator.registerMaps, 1);
    EXPECT_TRUE(window().Visible);
    EXPECT_EQ(window().address, "60");
    EXPECT_EQ(window().Caption, "sensor2009.xml - Register Map");
    EXPECT_EQ(main().mnuRegisterMap.Caption, "Register Map...");
}

TEST_F(RegisterMapWindow, ReadAll_ReadsEachRegisterOnceAndMarksThoseOffReset) {
    window().cmdReadAll_Click();
    EXPECT_EQ(readCommands(),
              (std::vector<std::vector<std::uint8_t>>{
                  {1, 0x61, 0x02}, {1, 0x61, 0x10}, {1, 0x61, 0x11}, {2, 0x61, 0x20}}));
    const auto& regs = window().map()->registers;
    std::vector<bool> marked;
    for (std::size_t i = 0; i < regs.size(); ++i) {
        ASSERT_TRUE(window().states()[i].value.has_value());
        marked.push_back(regs[i].differsFromReset(*window().states()[i].value));
    }
    // ID reads its reset 7A; CTRL (reset 24) and THRESH (reset 0100) read zeros.
    EXPECT_EQ(marked, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(countInLog("Register Map: device 60: read 4 registers, 2 differ from reset"), 1u);
    EXPECT_EQ(s().UsbOpened, board::False);  // automatic: closed again
}

TEST_F(RegisterMapWindow, EditingAField_OneReadOneMaskedWriteAndAReadBack) {
    ASSERT_TRUE(edit("CTRL", "GAIN", "10"));
    board->clearPacketLog();
    ASSERT_TRUE(edit("CTRL", "MODE", "CONTINUOUS"));
    EXPECT_EQ(i2cPackets(), (std::vector{out(2, {0x01, 0x61, 0x10}), in(0x82, {0x01, 0xA0}),
                                         out(2, {0x02, 0x60, 0x10, 0xA8}), in(0x82, {0x03}),
                                         out(2, {0x01, 0x61, 0x10}), in(0x82, {0x01, 0xA8})}));
    EXPECT_EQ(window().states()[indexOf("CTRL")].value, 0xA8u);
    EXPECT_EQ(countInLog("Register Map: device 60 CTRL.MODE = 2: read A0, wrote A8, read back A8"),
              1u);
}

TEST_F(RegisterMapWindow, RefusedEdits_MessageBoxAndNothingSent) {
    const std::size_t status = indexOf("STATUS");
    EXPECT_FALSE(edit("CTRL", "MODE", "7"));
    EXPECT_FALSE(edit("STATUS", "READY", "1"));
    EXPECT_FALSE(window().writeField(indexOf("ID"),
                                     window().map()->registers[indexOf("ID")].wholeField(), "1"));
    window().address = "61";
    EXPECT_FALSE(edit("CTRL", "EN", "1"));
    EXPECT_TRUE(packets().empty());
    ASSERT_EQ(host.messages.size(), 4u);
    EXPECT_EQ(host.messages[0].text, "CTRL.MODE: value 7 (0x7) does not fit in 2 bits");
    EXPECT_EQ(host.messages[1].text, "STATUS.READY is read-only");
    EXPECT_EQ(host.messages[2].text, "register ID is read-only");
    EXPECT_EQ(host.messages[3].text, "Illegal I2C Address, re-enter");
    EXPECT_FALSE(window().states()[status].failed);
}

TEST_F(RegisterMapWindow, WriteOneToClear_TheOtherFlagsAreWrittenAsZero) {
    board->pokeRegister(0x60, 0x11, 0x86);  // OVF, ERR and IRQ_EN set
    board->clearPacketLog();
    ASSERT_TRUE(edit("STATUS", "OVF", "1"));
    EXPECT_EQ(i2cPackets()[2], out(2, {0x02, 0x60, 0x11, 0x82}));
}

TEST_F(RegisterMapWindow, BadFileKeepsThePreviousMapAndIsRememberedOnlyWhenGood) {
    const std::string bad = (scratch.path() / "bad.svd").string();
    std::ofstream(bad) << "<device>\n<peripherals>\n<peripheral><registers>\n"
                          "<register><name>A</name></register>\n";
    host.dialogAnswers.push_back({false, bad, "velmorix-bad.svd"});
    window().cmdOpen_Click();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.rfind(bad + ":", 0), 0u) << host.messages[0].text;
    EXPECT_EQ(window().mapPath(), kMaps + "/sensor2009.xml");
    EXPECT_EQ(window().map()->registers.size(), 4u);

    // The next start opens the map remembered.
    regmap::frmRegisterMap next(app->link(), *app);
    next.memoryFile = memory.string();
    next.Form_Load();
    EXPECT_EQ(next.mapPath(), kMaps + "/sensor2009.xml");
}

// The window against a target made from the same map, as the chip answers.
class RealChipMapWindow : public AppFixture {
  protected:
    void SetUp() override {
        if (!VELMORIX_MAP_FILES) {
            GTEST_SKIP() << "this build reads no map files (no libxml2)";
        }
        bridgesim::installMapReader();
        build(bench.c_str());
        startQuietly();
        main().mnuRegisterMap_Click();
        ASSERT_TRUE(window().openMap(std::string(VELMORIX_SIM_EXAMPLES) + "/thermo.svd"));
        window().address = "90";
        board->clearPacketLog();
    }
    regmap::frmRegisterMap& window() { return app->registerMap(); }
    std::size_t indexOf(const char* name) {
        return static_cast<std::size_t>(window().map()->named(name) -
                                        window().map()->registers.data());
    }

    const std::string bench = std::string(R"({"targets": [{"address": "90", "map": ")") +
                              VELMORIX_SIM_EXAMPLES + R"(/thermo.svd"}]})";
};

TEST_F(RealChipMapWindow, ReadAllLeavesClearOnReadAndAWriteChangesOnlyNamedBits) {
    window().cmdReadAll_Click();
    EXPECT_EQ(readCommands(),
              (std::vector<std::vector<std::uint8_t>>{
                  {1, 0x91, 0x00}, {1, 0x91, 0x01}, {1, 0x91, 0x02}, {2, 0x91, 0x04}}));
    EXPECT_TRUE(window().states()[indexOf("INT")].notRead);
    EXPECT_EQ(board->peekRegister(0x90, 0x06), 0x01);  // the latch is still set
    EXPECT_EQ(countInLog("read 4 registers, 0 differ from reset, 1 not read (a read changes them)"),
              1u);

    board->clearPacketLog();
    const regmap::Register& status = window().map()->registers[indexOf("STATUS")];
    ASSERT_TRUE(window().writeField(indexOf("STATUS"), *status.field("DRDY"), "1"));
    EXPECT_EQ(i2cPackets(), (std::vector{out(2, {0x01, 0x91, 0x02}), in(0x82, {0x01, 0x03}),
                                         out(2, {0x02, 0x90, 0x02, 0x01}), in(0x82, {0x03})}));
    EXPECT_EQ(board->peekRegister(0x90, 0x02), 0x02);  // OVR still set
    EXPECT_EQ(countInLog("Register Map: device 90 STATUS.DRDY = 1: read 03, wrote 01"), 1u);

    // A read by name takes the latch, and clears it on the chip.
    ASSERT_TRUE(window().readRegister(indexOf("INT")));
    EXPECT_EQ(window().states()[indexOf("INT")].value, 0x01u);
    EXPECT_EQ(board->peekRegister(0x90, 0x06), 0x00);
}

TEST_F(RealChipMapWindow, FailedReadAll_ForgetsTheValuesTheFieldsWouldShow) {
    window().cmdReadAll_Click();
    ASSERT_TRUE(window().states()[indexOf("CTRL")].value.has_value());
    board->detach();
    window().cmdReadAll_Click();
    for (const auto& state : window().states()) {
        EXPECT_FALSE(state.value.has_value());
    }
}

}  // namespace
}  // namespace apptest
