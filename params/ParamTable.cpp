#include "params/ParamTable.h"

#include <cstdint>

#include "lang/Language.h"

namespace veska::params {

namespace {

/// Maximum of the IP address rows: the bit pattern 0xFFFFFFFF read as signed.
constexpr int32_t kAllBits = static_cast<int32_t>(0xFFFFFFFFu);

struct BuiltInRow {
    const char* name;
    uint8_t address;
    int32_t minimum;
    int32_t maximum;
    uint8_t size;
    uint8_t editStyle;
    uint8_t displayKind;
    uint8_t maxLength;
};

// clang-format off
// name, address, minimum, maximum, size [bytes], edit style, display kind, max length
constexpr BuiltInRow kBuiltIn[kParamCount] = {
    {"Sensor On/Off", 0x00, 0, 1, 1, 2, 0, 3},  // 0
    {"Analog Output On/Off", 0x01, 0, 1, 1, 2, 0, 3},  // 1
    {"    UART Baud Rate", 0x04, 1, 192, 1, 2, 0, 6},  // 2
    {"    UART Network Address", 0x03, 1, 127, 1, 2, 0, 3},  // 3
    {"    UART Control of Sample", 0x02, 0, 255, 1, 2, 0, 1},  // 4
    {"AL Control", 0x02, 0, 255, 1, 2, 0, 1},  // 5
    {"Analog Window Control", 0x02, 0, 255, 1, 2, 0, 1},  // 6
    {"Number of Averaged Values", 0x06, 1, 255, 1, 2, 0, 3},  // 7
    {"Mode of Averaged Values", 0x02, 0, 255, 1, 2, 0, 1},  // 8
    {"Sampling Period", 0x08, 1, 65535, 2, 0, 0, 5},  // 9
    {"Max Integration Time", 0x0A, 1, 65535, 2, 0, 0, 5},  // 10
    {"Analog Window Begin", 0x0C, 0, 65534, 2, 1, 0, 3},  // 11
    {"Analog Window End", 0x0E, 0, 65534, 2, 1, 0, 3},  // 12
    {"Lock Time of Result", 0x10, 0, 256, 1, 2, 0, 6},  // 13
    {"Zero Point", 0x17, 0, 65535, 2, 0, 0, 5},  // 14
    {"    CAN On/Off", 0x29, 0, 1, 1, 2, 0, 3},  // 15
    {"    CAN Node ID", 0x30, 0, 127, 1, 0, 1, 2},  // 16
    {"    CAN Baud Rate", 0x20, 10, 200, 1, 2, 0, 7},  // 17
    {"    CAN Standard Identifier", 0x22, 0, 2047, 2, 0, 1, 3},  // 18
    {"    CAN Extended Identifier", 0x24, 0, 536870911, 4, 0, 1, 8},  // 19
    {"    CAN Identifier", 0x28, 0, 1, 1, 2, 0, 1},  // 20
    {"    CAN Mode", 0x02, 0, 255, 1, 2, 0, 1},  // 21
    {"  LAN Destination IP Address", 0x6C, 0, kAllBits, 4, 0, 3, 15},  // 22
    {"  LAN Gateway IP Address", 0x70, 0, kAllBits, 4, 0, 3, 15},  // 23
    {"  LAN Subnet Mask", 0x74, 0, kAllBits, 4, 0, 3, 15},  // 24
    {"  LAN Source IP Address", 0x78, 0, kAllBits, 4, 0, 3, 15},  // 25
    {"  LAN Mode", 0x88, 0, 255, 1, 2, 0, 1},  // 26
    {"Out Data Format", 0x11, 0, 255, 1, 0, 0, 3},  // 27
    {"Border A Num", 0x12, 0, 255, 1, 0, 0, 3},  // 28
    {"Border A Pol", 0x13, 0, 255, 1, 0, 0, 3},  // 29
    {"Border B Num", 0x14, 0, 255, 1, 0, 0, 3},  // 30
    {"Border B Pol", 0x15, 0, 255, 1, 0, 0, 3},  // 31
    {"LOut Mask", 0x81, 0, 255, 1, 0, 0, 3},  // 32
    {"LOut Down Limit", 0x82, 0, 65535, 2, 0, 0, 5},  // 33
    {"LOut Up Limit", 0x84, 0, 65535, 2, 0, 0, 5},  // 34
    {"Dia Correction", 0x86, INT32_MIN, INT32_MAX, 2, 0, 0, 6},  // 35
    {"__CulcDivCoef", 0xA0, 0, 65535, 2, 0, 0, 5},  // 36
    {"Bottom Analog Level", 0x19, 0, 65535, 2, 0, 0, 5},  // 37
    {"Top Analog Level", 0x1B, 0, 65535, 2, 0, 0, 5},  // 38
    {"Mode of Run", 0x07, 0, 8, 1, 2, 0, 12},  // 39
    {"__Device Type", 0x90, 0, 255, 1, 0, 0, 3},  // 40
    {"__Serial Number", 0x92, 0, 65535, 2, 0, 0, 5},  // 41
    {"__Base Distance", 0x94, 0, 65535, 2, 0, 0, 5},  // 42
    {"__Measuring Range", 0x96, 0, 65535, 2, 0, 0, 5},  // 43
    {"Scale Video CCD", 0x98, 0, 65535, 2, 0, 0, 5},  // 44
    {"Level 0 Video CCD", 0x9A, 0, 65535, 2, 0, 0, 5},  // 45
    {"Length CCD", 0x9C, 0, 2048, 2, 0, 0, 5},  // 46
    {"Esposition", 0x7E, 0, 65535, 2, 0, 0, 5},  // 47
    {"Begin Border CCD", 0x8C, 0, 2048, 2, 0, 0, 5},  // 48
    {"End Border CCD", 0x8E, 0, 2048, 2, 0, 0, 5},  // 49
    {"Filter Width", 0xA8, 0, 255, 1, 2, 0, 3},  // 50
    {"Level CMP", 0xA6, 0, 65535, 2, 2, 0, 5},  // 51
    {"Dark Level", 0xA2, 0, 65535, 2, 2, 0, 5},  // 52
    {"CCD Debug Format", 0x80, 0, 4, 1, 0, 0, 2},  // 53
};
// clang-format on

}  // namespace

ParamTable BuiltInParamTable() {
    ParamTable table;
    for (int i = 0; i < kParamCount; ++i) {
        const BuiltInRow& row = kBuiltIn[i];
        table[i] = ParamDescriptor{row.name, row.address,   row.minimum,     row.maximum,
                                   row.size, row.editStyle, row.displayKind, row.maxLength};
    }
    return table;
}

void LocaliseParamNames(ParamTable& table, const lang::TextTable& texts) {
    for (int i = 0; i < kParamCount; ++i) table[i].name = texts.Parameter(i);
}

}  // namespace veska::params
