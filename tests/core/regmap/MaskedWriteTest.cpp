// The masked read-modify-write planning: only the named bits change, write-1-to-clear flags are
// written as given with the register's other flags zero, read-only fields and registers and
// values too wide are refused.
#include <gtest/gtest.h>

#include "regmap/MaskedWrite.h"

namespace regmap {
namespace {

Field field(const char* name, unsigned lsb, unsigned width, Access access = Access::ReadWrite,
            std::uint32_t reset = 0) {
    Field f;
    f.name = name;
    f.lsb = lsb;
    f.width = width;
    f.access = access;
    f.reset = reset;
    return f;
}

class MaskedWriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Register ctrl;
        ctrl.name = "CTRL";
        ctrl.address = 0x10;
        ctrl.fields = {field("EN", 0, 1), field("MODE", 2, 2), field("GAIN", 4, 4)};
        ctrl.fields[1].values = {{"STANDBY", 0, "", 0}, {"CONTINUOUS", 2, "", 0}};
        Register status;
        status.name = "STATUS";
        status.address = 0x11;
        status.fields = {field("READY", 0, 1, Access::ReadOnly),
                         field("OVF", 1, 1, Access::WriteOneToClear),
                         field("ERR", 2, 1, Access::WriteOneToClear), field("IRQ_EN", 7, 1),
                         field("KEY", 4, 2, Access::WriteOnly, 2)};
        Register id;
        id.name = "ID";
        id.address = 0x02;
        id.access = Access::ReadOnly;
        Register wide;
        wide.name = "WIDE";
        wide.address = 0x20;
        wide.width = 16;
        wide.fields = {field("HI", 8, 8), field("LO", 0, 8)};
        map.registers = {id, ctrl, status, wide};
    }

    // The plan for the texts on one register, from the value read.
    std::uint32_t plan(std::uint32_t current, std::initializer_list<const char*> texts) {
        const Register* reg = nullptr;
        std::optional<MaskedWrite> write;
        for (const char* text : texts) {
            FieldAssignment a;
            std::string error;
            reg = MaskedWrite::parse(map, text, a, error);
            EXPECT_NE(reg, nullptr) << error;
            if (!write) {
                write.emplace(*reg);
            }
            EXPECT_EQ(write->assign(a.field, a.value), "");
        }
        return write->plan(current);
    }

    std::string refusal(const char* text) {
        FieldAssignment a;
        std::string error;
        EXPECT_EQ(MaskedWrite::parse(map, text, a, error), nullptr);
        return error;
    }

    RegisterMap map;
};

TEST_F(MaskedWriteTest, OnlyNamedBitsChange) {
    EXPECT_EQ(plan(0xA1, {"CTRL.MODE=CONTINUOUS"}), 0xA9u);
    EXPECT_EQ(plan(0xFF, {"CTRL.MODE=standby", "CTRL.GAIN=0x3"}), 0x33u);
    EXPECT_EQ(plan(0x00, {"CTRL=0x5A"}), 0x5Au);
    EXPECT_EQ(plan(0x1234, {"WIDE.LO=0xFF"}), 0x12FFu);
}

TEST_F(MaskedWriteTest, WriteOneToClear_OnlyTheFlagsGivenAreWrittenAsOne) {
    // Read: ERR and OVF set, IRQ_EN set, KEY (write-only) reads as 0.
    EXPECT_EQ(plan(0x87, {"STATUS.OVF=1"}), 0x80u | 0x02u | (2u << 4) | 0x01u);
    // Changing an ordinary field clears no flag by accident.
    EXPECT_EQ(plan(0x87, {"STATUS.IRQ_EN=0"}), 0x01u | (2u << 4));
}

TEST_F(MaskedWriteTest, ReadOnlyUnknownAndTooWideAreRefused) {
    EXPECT_EQ(refusal("ID=1"), "register ID is read-only");
    EXPECT_EQ(refusal("STATUS.READY=1"), "STATUS.READY is read-only");
    EXPECT_EQ(refusal("CTRL.MODE=4"), "CTRL.MODE: value 4 (0x4) does not fit in 2 bits");
    EXPECT_EQ(refusal("CTRL.SPEED=1"), "register CTRL has no field named \"SPEED\"");
    EXPECT_EQ(refusal("NOPE.X=1"), "no register named \"NOPE\" in the map");
    EXPECT_EQ(refusal("CTRL.MODE=FAST"),
              "CTRL.MODE: \"FAST\" is not a number nor one of STANDBY, CONTINUOUS");
}

TEST_F(MaskedWriteTest, ReadBackChecksOnlyNamedReadWriteFields) {
    MaskedWrite write(map.registers[2]);
    ASSERT_EQ(write.assign(*map.registers[2].field("IRQ_EN"), 1), "");
    ASSERT_EQ(write.assign(*map.registers[2].field("OVF"), 1), "");
    EXPECT_EQ(write.verifyMask(), 0x80u);
    EXPECT_TRUE(write.verified(0x82, 0x81));
    EXPECT_FALSE(write.verified(0x82, 0x02));
}

TEST(ByteOrder, WideRegistersTravelInTheMapsOrder) {
    RegisterMap map;
    Register reg;
    reg.width = 32;
    EXPECT_EQ(map.encode(reg, 0x11223344u), (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44}));
    map.byteOrder = ByteOrder::LeastSignificantFirst;
    EXPECT_EQ(map.decode(reg, {0x44, 0x33, 0x22, 0x11}), 0x11223344u);
}

}  // namespace
}  // namespace regmap
