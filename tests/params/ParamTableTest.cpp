#include "params/ParamTable.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "lang/Language.h"

namespace veska::params {
namespace {

TEST(ParamTable, BuiltInNamesKeepTheirIndentsAndSpelling) {
    const ParamTable table = BuiltInParamTable();
    EXPECT_EQ(table[0].name, "Sensor On/Off");
    EXPECT_EQ(table[2].name, "    UART Baud Rate");
    EXPECT_EQ(table[22].name, "  LAN Destination IP Address");
    EXPECT_EQ(table[36].name, "__CulcDivCoef");
    EXPECT_EQ(table[47].name, "Esposition");
    EXPECT_EQ(table[53].name, "CCD Debug Format");
    for (int row : {2, 3, 4, 15, 16, 17, 18, 19, 20, 21}) {
        EXPECT_EQ(table[row].name.rfind("    ", 0), 0u) << row;
        EXPECT_NE(table[row].name[4], ' ') << row;
    }
    for (int row = 22; row <= 26; ++row) {
        EXPECT_EQ(table[row].name.rfind("  ", 0), 0u) << row;
        EXPECT_NE(table[row].name[2], ' ') << row;
    }
}

TEST(ParamTable, RowsMatchTheSensorLayout) {
    const ParamTable table = BuiltInParamTable();
    struct Case {
        int row;
        uint8_t address;
        int32_t minimum;
        int32_t maximum;
        uint8_t size;
        uint8_t style;
        uint8_t kind;
        uint8_t length;
    };
    const Case cases[] = {
        {2, 0x04, 1, 192, 1, kEditPickList, kDisplayDecimal, 6},
        {9, 0x08, 1, 65535, 2, kEditPlain, kDisplayDecimal, 5},
        {11, 0x0C, 0, 65534, 2, kEditEllipsis, kDisplayDecimal, 3},
        {13, 0x10, 0, 256, 1, kEditPickList, kDisplayDecimal, 6},
        {14, 0x17, 0, 65535, 2, kEditPlain, kDisplayDecimal, 5},
        {16, 0x30, 0, 127, 1, kEditPlain, kDisplayHex, 2},
        {19, 0x24, 0, 536870911, 4, kEditPlain, kDisplayHex, 8},
        {22, 0x6C, 0, static_cast<int32_t>(0xFFFFFFFFu), 4, kEditPlain, kDisplayDottedQuad, 15},
        {35, 0x86, INT32_MIN, INT32_MAX, 2, kEditPlain, kDisplayDecimal, 6},
        {36, 0xA0, 0, 65535, 2, kEditPlain, kDisplayDecimal, 5},
        {39, 0x07, 0, 8, 1, kEditPickList, kDisplayDecimal, 12},
        {47, 0x7E, 0, 65535, 2, kEditPlain, kDisplayDecimal, 5},
        {53, 0x80, 0, 4, 1, kEditPlain, kDisplayDecimal, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        const ParamDescriptor& d = table[c.row];
        EXPECT_EQ(d.address, c.address);
        EXPECT_EQ(d.minimum, c.minimum);
        EXPECT_EQ(d.maximum, c.maximum);
        EXPECT_EQ(d.size, c.size);
        EXPECT_EQ(d.editStyle, c.style);
        EXPECT_EQ(d.displayKind, c.kind);
        EXPECT_EQ(d.maxLength, c.length);
    }
}

TEST(ParamTable, OnlyTheControlByteRowsShareAnAddress) {
    const ParamTable table = BuiltInParamTable();
    auto isControl = [](int row) {
        return row == 4 || row == 5 || row == 6 || row == 8 || row == 21;
    };
    for (int a = 0; a < kParamCount; ++a) {
        if (isControl(a)) {
            EXPECT_EQ(table[a].address, 2) << a;
            continue;
        }
        for (int b = a + 1; b < kParamCount; ++b) {
            if (isControl(b)) continue;
            const int aEnd = table[a].address + table[a].size;
            const int bEnd = table[b].address + table[b].size;
            EXPECT_TRUE(aEnd <= table[b].address || bEnd <= table[a].address)
                << "rows " << a << " and " << b << " overlap";
        }
    }
}

TEST(ParamTable, LocalisedNamesReplaceBuiltInOnesAndMissingKeysShowNumbers) {
    ParamTable table = BuiltInParamTable();
    lang::TextTable texts;
    texts.Set(lang::Section::Parameter, 47, "Exposure");
    texts.Set(lang::Section::Parameter, 2, "    UART Baud Rate");
    LocaliseParamNames(table, texts);
    EXPECT_EQ(table[47].name, "Exposure");
    EXPECT_EQ(table[2].name, "    UART Baud Rate");
    EXPECT_EQ(table[0].name, "0");
    EXPECT_EQ(table[53].name, "53");
    EXPECT_EQ(table[9].address, 0x08);  // only names change
}

TEST(ValueStores, ClearZeroesWorkAndSensorValues) {
    ValueStores values;
    values.workValues[3] = 7;
    values.sensorValues[53] = -1;
    values.savedValues[26] = 5;
    values.Clear();
    for (int i = 0; i < kParamCount; ++i) {
        EXPECT_EQ(values.workValues[i], 0);
        EXPECT_EQ(values.sensorValues[i], 0);
    }
    EXPECT_EQ(values.savedValues[26], 5);
}

}  // namespace
}  // namespace veska::params
