#include "platform/IniFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace veska::platform {
namespace {

const std::string kLongValue(300, 'x');

/// A language file written the way translators write them on Windows.
const std::string kText =
    "\xEF\xBB\xBF[LANGUAGE]\r\n"
    "File_Language=DE.INI\r\n"
    "[Message]\n"
    "Item_0=Port cannot be opened; check the cable\n"
    "Item_1=\n"
    "Item_2 = Error ; really  \n"
    "Item_2=second\n"
    "  Item_3=indented\n"
    "Item_4=\"  quoted  \"\n"
    "Item_5=Range: 10 mm\n"
    "broken line without an equals sign\n"
    "[broken section\n"
    "Item_6=after broken lines\n"
    "Item_7='single'\n"
    "Item_8=\"unbalanced\n"
    "; comment=not a key\n"
    "# hash=not a key\n"
    "Item_9=" +
    kLongValue +
    "\n"
    "Item_10=a=b\n"
    "=no key\n"
    "[ PARAM TABLE ]\n"
    "Item_0=Name\n"
    "[message]\n"
    "Item_11=second section of the same name\n"
    "Item_0=too late\n"
    "[Numbers]\n"
    "Plain=12\nNegative=-3\nEmpty=\nTrailing=12abc\nHuge=99999999999999999999\nWord=one\n";

struct LookupCase {
    const char* section;
    const char* key;
    std::string expected;
};

TEST(IniFileTest, LooksUpTheWayWindowsDoes) {
    IniFile ini;
    ASSERT_TRUE(ini.Parse(kText));
    const std::string fallback = "<fallback>";
    const LookupCase cases[] = {
        {"language", "file_language", "DE.INI"},  // BOM, CRLF, case
        {"MESSAGE", "ITEM_0", "Port cannot be opened; check the cable"},
        {"Message", "Item_1", ""},         // present but empty
        {"Message", "Item_99", fallback},  // missing
        {"Nowhere", "Item_0", fallback},
        {"Message", "Item_2", "Error ; really"},  // first wins; ';' is no comment
        {"Message", "Item_3", "indented"},        // not a continuation line
        {"Message", "Item_4", "  quoted  "},
        {"Message", "Item_5", "Range: 10 mm"},
        {"Message", "Item_6", "after broken lines"},
        {"Message", "Item_7", "single"},
        {"Message", "Item_8", "\"unbalanced"},
        {"Message", "; comment", fallback},
        {"Message", "# hash", fallback},
        {"Message", "Item_9", kLongValue},  // longer than libinih's line buffer
        {"Message", "Item_10", "a=b"},
        {"Message", "", fallback},
        {"param table", "item_0", "Name"},
        {"message", "item_11", "second section of the same name"},
    };
    for (const LookupCase& c : cases) {
        EXPECT_EQ(ini.Get(c.section, c.key, fallback), c.expected) << c.section << "/" << c.key;
    }
}

TEST(IniFileTest, ReadsTheLeadingIntegerOrGivesTheFallback) {
    IniFile ini;
    ini.Parse(kText);
    EXPECT_EQ(ini.GetInt("numbers", "plain", 1), 12);
    EXPECT_EQ(ini.GetInt("numbers", "negative", 1), -3);
    EXPECT_EQ(ini.GetInt("numbers", "trailing", 1), 12);
    for (const char* key : {"Empty", "Huge", "Word", "Missing"}) {
        EXPECT_EQ(ini.GetInt("Numbers", key, 77), 77) << key;
    }
}

class IniFileLoadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char templ[] = "/tmp/veska-ini-XXXXXX";
        ASSERT_NE(mkdtemp(templ), nullptr);
        dir_ = templ;
    }
    void TearDown() override {
        unlink(Path().c_str());
        rmdir(dir_.c_str());
    }
    std::string Path() const { return dir_ + "/EN.INI"; }
    void Write(const std::string& text) const { std::ofstream(Path(), std::ios::binary) << text; }
    std::string dir_;
};

TEST_F(IniFileLoadTest, LoadsAFileAndReplacesWhatWasLoadedBefore) {
    Write(kText);
    IniFile ini;
    ASSERT_TRUE(ini.Load(Path()));
    EXPECT_TRUE(ini.Loaded());
    EXPECT_EQ(ini.Get("Language", "File_Language", "EN.INI"), "DE.INI");

    Write("[Other]\nKey=1\n");
    ASSERT_TRUE(ini.Load(Path()));
    EXPECT_EQ(ini.Get("Language", "File_Language", "EN.INI"), "EN.INI");
    EXPECT_EQ(ini.Get("other", "key", ""), "1");
}

TEST_F(IniFileLoadTest, MissingFilesAndDirectoriesGiveNoEntries) {
    IniFile ini;
    Write(kText);
    ASSERT_TRUE(ini.Load(Path()));
    EXPECT_FALSE(ini.Load(dir_ + "/missing.ini"));
    EXPECT_FALSE(ini.Loaded());
    EXPECT_EQ(ini.Get("Language", "File_Language", "EN.INI"), "EN.INI");
    EXPECT_FALSE(ini.Load(dir_));
}

TEST_F(IniFileLoadTest, BinaryGarbageLoadsWithoutHarm) {
    std::string garbage;
    for (int i = 0; i < 20000; ++i) garbage.push_back(static_cast<char>((i * 7919) % 256));
    garbage += "\n[S]\nK=v\n";
    Write(garbage);
    IniFile ini;
    EXPECT_TRUE(ini.Load(Path()));
    EXPECT_EQ(ini.Get("s", "k", ""), "v");
}

}  // namespace
}  // namespace veska::platform
