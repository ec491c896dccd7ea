#include "params/ParamCodings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "TestTexts.h"

namespace veska::params {
namespace {

class Codings : public ::testing::Test {
  protected:
    ParamTable table = BuiltInParamTable();
    lang::TextTable texts = test::TestTexts();
};

TEST_F(Codings, ShownTextOfEachRowKind) {
    struct Case {
        int param;
        int32_t v;
        const char* shown;
    };
    const Case cases[] = {
        // on/off words
        {0, 1, "On"},
        {0, 0, "Off"},
        {1, 7, "On"},
        {15, 0, "Off"},
        // UART baud: v x 2400, 128 stands for 921600
        {2, 1, "2400"},
        {2, 48, "115200"},
        {2, 128, "921600"},
        {2, 384, "921600"},
        // plain decimal rows
        {3, 17, "17"},
        {7, 255, "255"},
        {9, 65535, "65535"},
        {33, 40000, "40000"},
        {36, 50000, "50000"},
        // analog window percent
        {11, 32767, "50"},
        {12, 65534, "100"},
        {11, 0, "0"},
        {12, 327, "0"},
        {12, 328, "1"},
        // lock time x 5, CAN baud x 5000
        {13, 3, "15"},
        {13, 256, "1280"},
        {17, 10, "50000"},
        {17, 200, "1000000"},
        // zero point: v x 1000 / 16384, truncated
        {14, 8192, "500"},
        {14, 9, "0"},
        {14, 65535, "3999"},
        // hex, zero-padded to maxLength digits
        {16, 10, "0A"},
        {18, 2047, "7FF"},
        {19, 1, "00000001"},
        {19, 536870911, "1FFFFFFF"},
        {16, 300, "12C"},
        // CAN identifier and LAN mode words
        {20, 0, "Std"},
        {20, 1, "Ext"},
        {26, 0, "Off"},
        {26, 1, "LanOn"},
        {26, 2, "Off"},
        {26, 3, "LanOn"},
        // IP address
        {22, 0x0A000001, " 10.  0.  0.  1"},
        {25, -1, "255.255.255.255"},
        // Dia correction: low 16 bits signed
        {35, -5, "-5"},
        {35, 65531, "-5"},
        {35, 0x12345, "9029"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownText(table, c.param, c.v, texts), c.shown)
            << "param " << c.param << " value " << c.v;
    }
}

TEST_F(Codings, ControlByteWordsPerBitField) {
    struct Case {
        int param;
        int32_t b;
        const char* shown;
    };
    const Case cases[] = {
        // 0x45: sample bit set, AL 0x44, window bit clear, averaging clear, CAN 0x01
        {4, 0x45, "FreeRun"}, {5, 0x45, "AL44"},    {6, 0x45, "Full"},    {8, 0x45, "Moving"},
        {21, 0x45, "69"},     {4, 0x00, "Request"}, {6, 0x02, "Window"},  {8, 0x20, "Block"},
        {5, 0x00, "AL0"},     {5, 0x04, "AL4"},     {5, 0x08, "AL8"},     {5, 0x0C, "ALC"},
        {5, 0x40, "AL40"},    {5, 0x48, "AL48"},    {5, 0x4C, "76"},      {5, 0xB3, "AL0"},
        {21, 0x00, "CanOff"}, {21, 0x10, "CanReq"}, {21, 0x11, "CanRun"}, {21, 0x80, "CanOff"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShownText(table, c.param, c.b, texts), c.shown)
            << "param " << c.param << " byte " << c.b;
    }
}

TEST_F(Codings, ComposingTheControlByte) {
    struct Case {
        int param;
        const char* text;
        int32_t before;
        int32_t after;
    };
    const Case cases[] = {
        {5, "AL4", 0x61, 0x25},  // AL bits replaced, the rest kept
        {5, "AL48", 0x00, 0x48},    {5, "AL0", 0xFF, 0xB3},
        {5, "typed", 0x61, 0x61},  // no word: unchanged
        {5, "ALC", 0x80, 0x8C},    // bit 7 kept
        {21, "CanRun", 0x00, 0x11}, {21, "CanReq", 0x11, 0x10},
        {21, "CanOff", 0x11, 0x01},  // bit 0 left alone for the first word
        {21, "typed", 0x00, 0x10},   // any other text sets bit 4 only
        {4, "Request", 0xFF, 0xFE}, {4, "FreeRun", 0x00, 0x01},
        {4, "x", 0x00, 0x01},       {6, "Full", 0x03, 0x01},
        {6, "Window", 0x80, 0x82},  {8, "Moving", 0x21, 0x01},
        {8, "Block", 0x00, 0x20},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComposeControlByte(c.param, c.text, c.before, texts), c.after)
            << "param " << c.param << " '" << c.text << "' on " << c.before;
    }
}

TEST_F(Codings, PickListsOfEachRow) {
    EXPECT_EQ(PickList(0, texts), (std::vector<std::string>{"On", "Off"}));
    EXPECT_EQ(PickList(26, texts), (std::vector<std::string>{"Off", "LanOn"}));
    EXPECT_EQ(PickList(20, texts), (std::vector<std::string>{"Std", "Ext"}));
    EXPECT_EQ(PickList(4, texts), (std::vector<std::string>{"Request", "FreeRun"}));
    EXPECT_EQ(PickList(5, texts),
              (std::vector<std::string>{"AL0", "AL4", "AL8", "ALC", "AL40", "AL44", "AL48"}));
    EXPECT_EQ(PickList(21, texts), (std::vector<std::string>{"CanOff", "CanReq", "CanRun"}));
    const auto baud = PickList(2, texts);
    ASSERT_EQ(baud.size(), 11u);
    EXPECT_EQ(baud.front(), "2400");
    EXPECT_EQ(baud[3], "14400");
    EXPECT_EQ(baud.back(), "921600");
    const auto address = PickList(3, texts);
    ASSERT_EQ(address.size(), 127u);
    EXPECT_EQ(address.front(), "1");
    EXPECT_EQ(address.back(), "127");
    EXPECT_EQ(PickList(7, texts).size(), 255u);
    const auto lock = PickList(13, texts);
    ASSERT_EQ(lock.size(), 256u);
    EXPECT_EQ(lock[1], "5");
    EXPECT_EQ(lock.back(), "1275");
    EXPECT_EQ(PickList(17, texts), (std::vector<std::string>{"50000", "100000", "125000", "250000",
                                                             "500000", "1000000"}));
    for (int plain : {9, 11, 14, 16, 22, 35, 36}) EXPECT_TRUE(PickList(plain, texts).empty());
}

TEST(TextFunctions, PadNumber) {
    EXPECT_EQ(PadNumber(7, 3), "  7");
    EXPECT_EQ(PadNumber(42, 3), " 42");
    EXPECT_EQ(PadNumber(255, 3), "255");
    EXPECT_EQ(PadNumber(1234, 3), "1234");
    EXPECT_EQ(PadNumber(-5, 3), " -5");
    EXPECT_EQ(PadNumber(0, 0), "0");
}

TEST(TextFunctions, FormatDottedQuadIsAlwaysFifteenCharacters) {
    EXPECT_EQ(FormatDottedQuad(0), "  0.  0.  0.  0");
    EXPECT_EQ(FormatDottedQuad(0x0A000001), " 10.  0.  0.  1");
    EXPECT_EQ(FormatDottedQuad(0xC0A80164), "192.168.  1.100");
    EXPECT_EQ(FormatDottedQuad(0xFFFFFFFF), "255.255.255.255");
}

TEST(TextFunctions, ParseDottedQuadNeedsFourNumbersUpTo255) {
    struct Case {
        const char* text;
        bool ok;
        uint32_t value;
    };
    const Case cases[] = {
        {"255.255.255.255", true, 0xFFFFFFFF},
        {"  1.  2.  3.  4", true, 0x01020304},
        {"1  .2  .3  .4  ", true, 0x01020304},  // blanks on either side of a number
        {"192.168.1.100", true, 0xC0A80164},
        {"10.0.0.1", true, 0x0A000001},
        {"999.  0.  0.  0", false, 0},
        {"256.0.0.0", false, 0},
        {"7 1.  0.  0.  0", false, 0},
        {"  1.  2", false, 0},
        {"10.0.0", false, 0},
        {"1.2.3.4.5", false, 0},
        {"1..2.3", false, 0},
        {"", false, 0},
        {"   .   .   .   ", false, 0},
        {"abc.def.ghi.jkl", false, 0},
        {"0001.0.0.0", false, 0},
        {"-1.0.0.0", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t value = 0x5A5A5A5A;
        EXPECT_EQ(ParseDottedQuad(c.text, value), c.ok) << "'" << c.text << "'";
        EXPECT_EQ(value, c.ok ? c.value : 0x5A5A5A5Au) << "'" << c.text << "'";
    }
    for (uint32_t v : {0u, 0x0A000001u, 0xC0A80164u, 0x7F000001u, 0xFFFFFFFFu}) {
        uint32_t back = 0;
        EXPECT_TRUE(ParseDottedQuad(FormatDottedQuad(v), back));
        EXPECT_EQ(back, v);
    }
}

TEST(TextFunctions, HexDigitsAndHexTexts) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('f'), 15);
    EXPECT_EQ(HexDigitValue('g'), 0);
    EXPECT_EQ(HexDigitValue(' '), 0);

    struct Case {
        const char* text;
        bool fits;
        uint32_t value;
    };
    const Case cases[] = {
        {"", true, 0},
        {"7ff", true, 2047},
        {"0A", true, 10},
        {"1G", true, 16},  // a non-digit weighs as 0
        {"FFFFFFFF", true, 0xFFFFFFFF},
        {"000000000A", true, 10},  // leading zeros do not overflow
        {"100000000", false, 0},   // nine significant digits
        {"100000000A", false, 0},  // would wrap to 0x0A in 32 bits
    };
    for (const Case& c : cases) {
        uint32_t value = 12345;
        EXPECT_EQ(ParseHex(c.text, value), c.fits) << c.text;
        if (c.fits) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    EXPECT_EQ(FormatHex(10, 2), "0A");
    EXPECT_EQ(FormatHex(0x12C, 2), "12C");
    EXPECT_EQ(FormatHex(0, 0), "0");
    EXPECT_EQ(FormatHex(0xFFFFFFFF, 8), "FFFFFFFF");
}

TEST(TextFunctions, ParseIntegerTakesSignedDecimalsOnly) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"-5", true, -5},
        {"+7", true, 7},
        {"007", true, 7},
        {"-0", true, 0},
        {"2147483647", true, std::numeric_limits<int32_t>::max()},
        {"-2147483648", true, std::numeric_limits<int32_t>::min()},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"+", false, 0},
        {"5-", false, 0},
        {"--5", false, 0},
        {"+-5", false, 0},
        {" 5", false, 0},
        {"5 ", false, 0},
        {"1e3", false, 0},
        {"0x10", false, 0},
        {"abc", false, 0},
    };
    for (const Case& c : cases) {
        int32_t value = 4711;
        EXPECT_EQ(ParseInteger(c.text, value), c.ok) << "'" << c.text << "'";
        EXPECT_EQ(value, c.ok ? c.value : 4711) << "'" << c.text << "'";
    }
}

TEST(TextFunctions, InvalidIntegerReportNamesTheInput) {
    EXPECT_EQ(InvalidIntegerReport("abc"), "'abc' is not a valid integer value.");
    EXPECT_EQ(InvalidIntegerReport(""), "'' is not a valid integer value.");
}

TEST(TextFunctions, AnalogWindowPercentRoundsHalfUp) {
    EXPECT_EQ(WindowPercent(32767), 50);
    EXPECT_EQ(WindowPercent(65534), 100);
    EXPECT_EQ(WindowPercent(65535), 100);
    EXPECT_EQ(WindowValueOfPercent(50), 32767);
    EXPECT_EQ(WindowValueOfPercent(100), 65534);
    EXPECT_EQ(WindowValueOfPercent(1), 655);  // 655.34
    EXPECT_EQ(WindowValueOfPercent(0), 0);
    EXPECT_EQ(RoundHalfUp(2.5), 3);
    EXPECT_EQ(RoundHalfUp(1e20), std::numeric_limits<int32_t>::max());
}

TEST(Coding, RowsMapToTheirCodings) {
    EXPECT_EQ(CodingOf(0), Coding::OnOff);
    EXPECT_EQ(CodingOf(14), Coding::ZeroPoint);
    EXPECT_EQ(CodingOf(21), Coding::ControlByte);
    EXPECT_EQ(CodingOf(36), Coding::Divisor);
    EXPECT_EQ(CodingOf(40), Coding::Decimal);
    EXPECT_EQ(CodingOf(-1), Coding::Decimal);
    int controlRows = 0;
    for (int p = 0; p < kGridParamCount; ++p) controlRows += IsControlByteRow(p) ? 1 : 0;
    EXPECT_EQ(controlRows, 5);
}

}  // namespace
}  // namespace veska::params
