// The IP-XACT and CMSIS-SVD readers on small hand-written maps that together use every construct
// they read, and the refusals, each naming its file, line and element.
#include <gtest/gtest.h>

#include <string>

#include "regmap/MapFormats.h"
#include "regmap/MapReader.h"

namespace regmap {
namespace {

class MapReader : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!VELMORIX_MAP_FILES) {
            GTEST_SKIP() << "this build reads no map files (no libxml2)";
        }
    }
    static RegisterMap load(const std::string& name) {
        MapReadResult result = readRegisterMapFile(std::string(VELMORIX_MAPS_DIR) + "/" + name);
        EXPECT_TRUE(result.ok()) << result.error;
        return result.ok() ? *result.map : RegisterMap{};
    }
};

TEST_F(MapReader, IpXact2009_RegistersFieldsResetsAndEnumeratedValues) {
    const RegisterMap map = load("sensor2009.xml");
    ASSERT_EQ(map.registers.size(), 4u);
    EXPECT_EQ(map.byteOrder, ByteOrder::MostSignificantFirst);
    const Register& id = *map.named("ID");
    EXPECT_EQ(id.address, 0x02u);
    EXPECT_EQ(id.access, Access::ReadOnly);
    EXPECT_EQ(id.resetValue, 0x7Au);
    EXPECT_EQ(id.description, "Chip identity");
    const Register& ctrl = *map.named("ctrl");
    EXPECT_EQ(ctrl.address, 0x10u);
    EXPECT_EQ(ctrl.resetValue, 0x24u);
    const Field& mode = *ctrl.field("MODE");
    EXPECT_EQ(mode.lsb, 2u);
    EXPECT_EQ(mode.msb(), 3u);
    EXPECT_EQ(mode.reset, 1u);
    ASSERT_EQ(mode.values.size(), 3u);
    EXPECT_EQ(mode.valueFor(2)->name, "CONTINUOUS");
    EXPECT_EQ(mode.valueFor(1)->description, "One conversion");
    EXPECT_EQ(ctrl.field("GAIN")->reset, 2u);
    const Register& status = *map.named("STATUS");
    EXPECT_EQ(status.field("READY")->access, Access::ReadOnly);
    EXPECT_EQ(status.field("OVF")->writeKind, WriteKind::OneToClear);
    EXPECT_EQ(status.field("IRQ_EN")->access, Access::ReadWrite);
    const Register& thresh = *map.named("THRESH");
    EXPECT_EQ(thresh.width, 16u);
    EXPECT_EQ(thresh.field("LEVEL")->reset, 0x100u);
    EXPECT_EQ(map.registerAddressBytes(), 1);
}

TEST_F(MapReader, IpXact2014_FieldResetsSystemVerilogNumbersAndByteOrder) {
    const RegisterMap map = load("sensor2014.xml");
    ASSERT_EQ(map.registers.size(), 3u);
    EXPECT_EQ(map.byteOrder, ByteOrder::LeastSignificantFirst);
    const Register& ctrl = *map.named("CTRL");
    EXPECT_EQ(ctrl.address, 0x110u);  // 'h100 + 'h10
    EXPECT_EQ(ctrl.resetValue, 0x24u);
    EXPECT_EQ(ctrl.resetMask, 0xFDu);                                // bit 1 belongs to no field
    EXPECT_EQ(ctrl.field("MODE")->valueFor(2)->name, "CONTINUOUS");  // 2'b10
    const Register& flags = *map.named("FLAGS");
    EXPECT_EQ(flags.field("DONE")->writeKind, WriteKind::OneToClear);
    EXPECT_EQ(flags.resetMask, 0u);
    const Register& count = *map.named("COUNT");
    EXPECT_EQ(count.address, 0x120u);  // 8'h20
    EXPECT_EQ(count.resetValue, 0x12345678u);
    EXPECT_EQ(map.registerAddressBytes(), 2);
    EXPECT_EQ(map.addressBytes(0x120), (std::vector<std::uint8_t>{0x01, 0x20}));
    EXPECT_EQ(map.encode(count, 0x12345678u), (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
}

TEST_F(MapReader, Svd_BitFormsInheritanceDimArraysAndDerivedRegisters) {
    const RegisterMap map = load("sensor.svd");
    ASSERT_EQ(map.registers.size(), 10u);
    const Register& ctrl = *map.named("CTRL");
    EXPECT_EQ(ctrl.width, 8u);  // the device's size
    EXPECT_EQ(ctrl.resetValue, 0x24u);
    EXPECT_EQ(ctrl.field("EN")->width, 1u);                       // bitOffset + bitWidth
    EXPECT_EQ(ctrl.field("MODE")->mask(), 0x0Cu);                 // lsb + msb
    EXPECT_EQ(ctrl.field("GAIN")->mask(), 0xF0u);                 // bitRange
    EXPECT_EQ(ctrl.field("MODE")->values.size(), 3u);             // isDefault left out
    EXPECT_EQ(ctrl.field("MODE")->parseValue("continuous"), 2u);  // #10
    EXPECT_EQ(map.named("STATUS")->field("ERR")->writeKind, WriteKind::OneToClear);
    const Register& derived = *map.named("CTRL2");
    EXPECT_EQ(derived.address, 0x12u);
    EXPECT_EQ(derived.resetValue, 0u);
    EXPECT_EQ(derived.fields.size(), 3u);
    const Register& ch3 = *map.named("CH3");
    EXPECT_EQ(ch3.address, 0x26u);
    EXPECT_EQ(ch3.width, 16u);
    EXPECT_EQ(ch3.resetMask, 0xFF00u);
    EXPECT_FALSE(ch3.differsFromReset(0x80FF));
    EXPECT_TRUE(ch3.differsFromReset(0x81FF));
    EXPECT_EQ(map.named("TRIM_B")->address, 0x31u);
    EXPECT_EQ(map.named("TRIM_B")->access, Access::WriteOnly);
}

std::string svd(const std::string& fields) {
    return "<device>\n<size>8</size>\n<peripherals><peripheral><name>P</name>\n<registers>\n"
           "<register><name>A</name><addressOffset>0x10</addressOffset>\n" +
           fields + "</register>\n</registers></peripheral></peripherals>\n</device>\n";
}

TEST_F(MapReader, WriteKindsAndAccess_FieldsTakeTheirRegistersAndBlocks) {
    const MapReadResult svdMap = readRegisterMap(
        svd("<modifiedWriteValues>oneToClear</modifiedWriteValues><readAction>clear</readAction>"
            "<fields>\n<field><name>X</name><bitOffset>0</bitOffset></field>\n"
            "<field><name>Y</name><bitOffset>1</bitOffset>"
            "<modifiedWriteValues>zeroToSet</modifiedWriteValues></field>\n</fields>"),
        "m.svd");
    ASSERT_TRUE(svdMap.ok()) << svdMap.error;
    const Register& a = svdMap.map->registers[0];
    EXPECT_EQ(a.field("X")->writeKind, WriteKind::OneToClear);
    EXPECT_EQ(a.field("X")->readAction, ReadAction::Clear);
    EXPECT_EQ(a.field("Y")->writeKind, WriteKind::ZeroToSet);
    EXPECT_TRUE(a.readChanges());

    const MapReadResult ipxact = readRegisterMap(
        "<c:component xmlns:c=\"http://www.accellera.org/XMLSchema/IPXACT/1685-2014\">"
        "<c:memoryMaps><c:memoryMap><c:addressBlock><c:access>read-only</c:access>"
        "<c:register><c:name>R</c:name><c:addressOffset>0</c:addressOffset><c:size>8</c:size>"
        "<c:modifiedWriteValue>oneToSet</c:modifiedWriteValue>"
        "<c:field><c:name>F</c:name><c:bitOffset>0</c:bitOffset><c:bitWidth>1</c:bitWidth>"
        "</c:field></c:register></c:addressBlock></c:memoryMap></c:memoryMaps></c:component>",
        "m.xml");
    ASSERT_TRUE(ipxact.ok()) << ipxact.error;
    EXPECT_EQ(ipxact.map->registers[0].access, Access::ReadOnly);
    EXPECT_EQ(ipxact.map->registers[0].field("F")->writeKind, WriteKind::OneToSet);
}

// The dialogs and help texts name what the reader reads.
TEST_F(MapReader, Formats_FilterAndNamesFromTheReadersTable) {
    EXPECT_EQ(regmap::mapFileFilter(), "Register maps (*.xml *.svd)");
    EXPECT_EQ(regmap::mapFormatNames(), "IP-XACT or CMSIS-SVD");
}

TEST_F(MapReader, Refusals_NameFileLineElementAndProblem) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {"<device><peripherals>", "m.svd:1: (XML): "},
        {"<html/>",
         "m.svd:1: html: neither an IP-XACT component (IEEE 1685-2009 or 1685-2014) nor a "
         "CMSIS-SVD device"},
        {svd("<fields>\n<field><name>X</name><bitRange>[3:0]</bitRange></field>\n"
             "<field><name>Y</name><bitOffset>3</bitOffset><bitWidth>2</bitWidth></field>\n"
             "</fields>"),
         "m.svd:8: field \"Y\": bit 3 is also in field \"X\" (bits 3..0) of register \"A\""},
        {svd("<fields>\n<field><name>X</name><lsb>6</lsb><msb>8</msb></field></fields>"),
         "m.svd:7: field \"X\": bits 8..6 lie beyond the 8 bits of register \"A\""},
        {svd("</register>\n<register><name>B</name><addressOffset>16</addressOffset>\n"),
         "m.svd:7: register \"B\": address 0x10 is also register \"A\", line 5"},
        {svd("<fields><field><name>X</name><bitOffset>0</bitOffset><bitWidth>1</bitWidth>\n"
             "<enumeratedValues>\n<enumeratedValue><name>TWO</name><value>2</value>"
             "</enumeratedValue>\n</enumeratedValues></field></fields>"),
         "m.svd:8: enumeratedValue \"TWO\": value 2 does not fit in the 1 bits of field \"X\""},
        {svd("<size>12</size>"), "m.svd:5: register \"A\": size 12 is not 8, 16 or 32 bits"},
        {svd("<access>sometimes</access>"), "m.svd:6: access: unknown access \"sometimes\""},
        {svd("<fields>\n<field><name>X</name><bitRange>3:0</bitRange></field></fields>"),
         "m.svd:7: bitRange: \"3:0\" is not [msb:lsb]"},
        {svd("<resetValue>0xZZ</resetValue>"),
         "m.svd:6: resetValue: \"0xZZ\" is not a number of 32 bits"},
        {"<?xml version=\"1.0\"?>\n<c:component "
         "xmlns:c=\"http://www.accellera.org/XMLSchema/IPXACT/1685-2014\">\n"
         "<c:memoryMaps><c:memoryMap><c:addressBlock>\n<c:register><c:name>R</c:name>"
         "<c:addressOffset>0</c:addressOffset>\n</c:register>\n"
         "</c:addressBlock></c:memoryMap></c:memoryMaps></c:component>",
         "m.svd:4: register \"R\": has no <size>"},
        {svd("<fields>\n<field><name>X</name><bitOffset>0</bitOffset></field>\n"
             "<field><name>X</name><bitOffset>1</bitOffset></field>\n</fields>"),
         "m.svd:8: field \"X\": the name is also that of another field of register \"A\""},
        {"<!DOCTYPE device [<!ENTITY w \"8\">]>\n" + svd("<size>&w;</size>"),
         "m.svd:7: size: entity reference &w; is not read"},
        {svd("<modifiedWriteValues>sometimes</modifiedWriteValues>"),
         "m.svd:6: modifiedWriteValues: unknown write kind \"sometimes\""},
        {"<device><size>8</size><peripherals><peripheral><name>P</name>\n"
         "<baseAddress>0xFFFFFF00</baseAddress><registers>\n<register><name>A</name>\n"
         "<addressOffset>0x110</addressOffset></register></registers></peripheral>"
         "</peripherals></device>",
         "m.svd:3: register \"A\": the base address plus the offset lies beyond 32-bit"},
        {[] {
             std::string fields =
                 "<size>32</size><dim>65536</dim><dimIncrement>4</dimIncrement>"
                 "<fields>";
             for (int bit = 0; bit < 16; ++bit) {
                 fields += "<field><name>F" + std::to_string(bit) + "</name><bitOffset>" +
                           std::to_string(bit) + "</bitOffset></field>";
             }
             std::string text = svd(fields + "</fields>\n");
             text.replace(text.find("<name>A</name>"), 14, "<name>A%s</name>");
             return text;
         }(),
         "m.svd:5: register \"A%s\": the map holds more than 1000000 registers"},
    };
    for (const auto& c : cases) {
        const MapReadResult result = readRegisterMap(c.text, "m.svd");
        EXPECT_FALSE(result.ok()) << c.text;
        EXPECT_EQ(result.error.substr(0, c.error.size()), c.error) << result.error;
    }
}

}  // namespace
}  // namespace regmap
