// The masked read-modify-write planning: only the named bits change, write-1-to-clear flags are
// written as given with the register's other flags zero, read-only fields and registers and
// values too wide are refused.
#include <gtest/gtest.h>

#include "regmap/MaskedWrite.h"

namespace regmap {
namespace {

Field field(const char* name, unsigned lsb, unsigned width, Access access = Access::ReadWrite,
            std::uint32_t reset = 0, WriteKind kind = WriteKind::Normal) {
    Field f;
    f.name = name;
    f.lsb = lsb;
    f.width = width;
    f.access = access;
    f.reset = reset;
    f.writeKind = kind;
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
                         field("OVF", 1, 1, Access::ReadWrite, 0, WriteKind::OneToClear),
                         field("ERR", 2, 1, Access::ReadWrite, 0, WriteKind::OneToClear),
                         field("IRQ_EN", 7, 1), field("KEY", 4, 2, Access::WriteOnly, 2)};
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
    // Assignments apply in order, each to its own bits: a whole value, then one field.
    EXPECT_EQ(plan(0xF0, {"CTRL=0x24", "CTRL.EN=1"}), 0x25u);
    EXPECT_EQ(plan(0xF0, {"CTRL.EN=1", "CTRL=0x24"}), 0x24u);
}

// One field of each write kind beside a named plain field: the byte written when the chip holds
// 0xFF, and whether the write goes at all.
struct KindCase {
    WriteKind kind;
    Access access;
    std::uint32_t written;  // the planned byte; ignored when refused
    bool refused;
    std::uint32_t verifyMask;
};

class MaskedWriteKinds : public ::testing::TestWithParam<KindCase> {};

TEST_P(MaskedWriteKinds, OtherFieldIsWrittenSoThatTheChipKeepsIt) {
    const KindCase c = GetParam();
    Register reg;
    reg.name = "R";
    reg.resetValue = 0x50;
    reg.fields = {field("A", 0, 2), field("B", 4, 4, c.access, 0x5, c.kind)};
    MaskedWrite write(reg);
    ASSERT_EQ(write.assign("A", std::uint32_t{1}), "");
    EXPECT_EQ(!write.blocked().empty(), c.refused) << write.blocked();
    if (!c.refused) {
        EXPECT_EQ(write.plan(0xFF), c.written);
    }
    EXPECT_EQ(write.verifyMask(), c.verifyMask);
}

INSTANTIATE_TEST_SUITE_P(
    EveryKind, MaskedWriteKinds,
    ::testing::Values(KindCase{WriteKind::Normal, Access::ReadWrite, 0xFD, false, 0x03},
                      KindCase{WriteKind::OneToClear, Access::ReadWrite, 0x0D, false, 0x03},
                      KindCase{WriteKind::OneToSet, Access::ReadWrite, 0x0D, false, 0x03},
                      KindCase{WriteKind::OneToToggle, Access::ReadWrite, 0x0D, false, 0x03},
                      KindCase{WriteKind::ZeroToClear, Access::ReadWrite, 0xFD, false, 0x03},
                      KindCase{WriteKind::ZeroToSet, Access::ReadWrite, 0xFD, false, 0x03},
                      KindCase{WriteKind::ZeroToToggle, Access::ReadWrite, 0xFD, false, 0x03},
                      KindCase{WriteKind::Clear, Access::ReadWrite, 0, true, 0x03},
                      KindCase{WriteKind::Set, Access::ReadWrite, 0, true, 0x03},
                      KindCase{WriteKind::Modify, Access::ReadWrite, 0, true, 0x03},
                      KindCase{WriteKind::Normal, Access::WriteOnly, 0x5D, false, 0x03},
                      KindCase{WriteKind::Normal, Access::WriteOnce, 0x5D, false, 0x03},
                      KindCase{WriteKind::Normal, Access::ReadOnly, 0xFD, false, 0x03}));

TEST_F(MaskedWriteTest, RegisterWriteKindReachesFieldsAndGaps) {
    // STATUS of a map whose register says oneToClear: the fields inherit it (the readers do),
    // the bits outside them follow it too, so only DRDY is written as 1.
    Register reg;
    reg.name = "STATUS";
    reg.writeKind = WriteKind::OneToClear;
    reg.fields = {field("DRDY", 0, 1, Access::ReadWrite, 0, WriteKind::OneToClear),
                  field("OVR", 1, 1, Access::ReadWrite, 0, WriteKind::OneToClear)};
    MaskedWrite write(reg);
    ASSERT_EQ(write.assign("DRDY", std::uint32_t{1}), "");
    EXPECT_EQ(write.plan(0x13), 0x01u);
    EXPECT_EQ(write.verifyMask(), 0u);
}

TEST_F(MaskedWriteTest, ReadWithSideEffects_RefusedUnlessEveryFieldIsNamed) {
    Register reg;
    reg.name = "INT";
    reg.fields = {field("FLAG", 0, 1, Access::ReadOnly), field("EN", 1, 1)};
    reg.fields[0].readAction = ReadAction::Clear;
    MaskedWrite partly(reg);
    ASSERT_EQ(partly.assign("EN", std::uint32_t{1}), "");
    EXPECT_EQ(partly.blocked(),
              "reading register INT first would change INT.FLAG (clear-on-read): name every field "
              "of it so that it is written without a read");
    MaskedWrite whole(reg);
    ASSERT_EQ(whole.assign("", std::uint32_t{2}), "");
    EXPECT_EQ(whole.blocked(), "");
    EXPECT_FALSE(whole.readsFirst());
    EXPECT_EQ(whole.verifyMask(), 0u);
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
