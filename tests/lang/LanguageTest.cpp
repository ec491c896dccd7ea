#include "lang/Language.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace veska::lang {
namespace {

namespace fs = std::filesystem;

/// A fresh directory under the system's temporary folder, removed afterwards.
class TempDir {
  public:
    TempDir() {
        static int counter = 0;
        path_ = fs::temp_directory_path() /
                ("veska_lang_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    std::string Path() const { return path_.string(); }
    void Write(const std::string& name, const std::string& content) const {
        fs::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << content;
    }

  private:
    fs::path path_;
};

TEST(TextTable, StartsWithEveryEntryItsOwnNumber) {
    TextTable texts;
    EXPECT_EQ(texts.Label(0), "0");
    EXPECT_EQ(texts.Label(14), "14");
    EXPECT_EQ(texts.Button(12), "12");
    EXPECT_EQ(texts.Parameter(53), "53");
    EXPECT_EQ(texts.Message(30), "30");
    EXPECT_EQ(texts.Get(Section::About, 4), "4");
    EXPECT_EQ(texts.charSet, 1);
    EXPECT_EQ(texts.fontName, "MS Sans Serif");
}

TEST(TextTable, SectionsSitAtTheirFixedTablePositions) {
    struct Case {
        Section section;
        int first;
        int count;
        const char* name;
    };
    const Case cases[] = {
        {Section::Label, -1, 15, "LABEL"},
        {Section::Button, -1, 13, "BUTTON"},
        {Section::Parameter, 0, 54, "PARAMETER"},
        {Section::PopupParam, 54, 8, "POPUP PARAM"},
        {Section::PopupChart, 62, 2, "POPUP CHART"},
        {Section::ParamTable, 64, 2, "PARAM TABLE"},
        {Section::Graph, 66, 1, "GRAPH"},
        {Section::ParamValue, 67, 34, "PARAM VALUE"},
        {Section::FormsNames, 101, 6, "FORMS NAMES"},
        {Section::Message, 107, 31, "MESSAGE"},
        {Section::About, 138, 5, "ABOUT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextTable::First(c.section), c.first);
        EXPECT_EQ(TextTable::Count(c.section), c.count);
        EXPECT_STREQ(TextTable::SectionName(c.section), c.name);
        if (c.first < 0) continue;
        TextTable texts;
        texts.Set(c.section, c.count - 1, "last");
        EXPECT_EQ(texts.table[c.first + c.count - 1], "last");
    }
    // The table sections tile 0..142 without a gap.
    EXPECT_EQ(TextTable::First(Section::About) + TextTable::Count(Section::About), 143);
}

TEST(TextTable, OutOfRangeKeysGiveTheirNumberAndAreNotStored) {
    TextTable texts;
    texts.Set(Section::Graph, 1, "beyond");
    texts.Set(Section::Label, -1, "before");
    EXPECT_EQ(texts.Get(Section::Graph, 1), "1");
    EXPECT_EQ(texts.Get(Section::Label, -1), "-1");
    EXPECT_EQ(texts.table[67], "0");  // PARAM VALUE Item_0 untouched
}

TEST(LoadLanguage, WithoutSelectorFileEnIniIsUsed) {
    TempDir dir;
    dir.Write("EN.INI", "[MESSAGE]\nItem_2=Caption\n[LANGUAGE]\nChar=204\nFont=Arial\n");
    TextTable texts;
    EXPECT_TRUE(LoadLanguage(dir.Path(), texts));
    EXPECT_EQ(texts.Message(2), "Caption");
    EXPECT_EQ(texts.charSet, 204);
    EXPECT_EQ(texts.fontName, "Arial");
}

TEST(LoadLanguage, SelectorNamesTheLanguageFile) {
    TempDir dir;
    dir.Write("Language.ini", "[LANGUAGE]\nFile_Language=DE.INI\n");
    dir.Write("EN.INI", "[BUTTON]\nItem_0=Connect\n");
    dir.Write("DE.INI", "[BUTTON]\nItem_0=Verbinden\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Button(0), "Verbinden");
}

TEST(LoadLanguage, NoFilesAtAllLeaveNumbersAndDefaults) {
    TempDir dir;
    TextTable texts;
    texts.Set(Section::Message, 0, "stale");
    texts.charSet = 7;
    EXPECT_FALSE(LoadLanguage(dir.Path() + "/missing", texts));
    EXPECT_EQ(MissingLanguageNote(dir.Path() + "/missing"),
              "no language file found in '" + dir.Path() +
                  "/missing' (Language.ini, EN.INI): messages and captions show as numbers");
    EXPECT_EQ(texts.Message(0), "0");
    EXPECT_EQ(texts.charSet, 1);
    EXPECT_EQ(texts.fontName, "MS Sans Serif");
}

TEST(LoadLanguage, MissingSectionGivesNumbersEmptyValueGivesEmptyText) {
    TempDir dir;
    dir.Write("EN.INI", "[LABEL]\nItem_0=\nItem_1=Port\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Label(0), "");
    EXPECT_EQ(texts.Label(1), "Port");
    EXPECT_EQ(texts.Label(2), "2");
    // No MESSAGE section: the port failure text starts with "0".
    EXPECT_EQ(texts.Message(0) + " - \\\\.\\COM4.", "0 - \\\\.\\COM4.");
    EXPECT_EQ(texts.Message(2), "2");
}

TEST(LoadLanguage, SectionAndKeyNamesIgnoreCase) {
    TempDir dir;
    dir.Write("Language.ini", "[language]\nfile_language=EN.INI\n");
    dir.Write("EN.INI", "[Popup Param]\nITEM_7=Default\n[param value]\nitem_33=Last\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Get(Section::PopupParam, 7), "Default");
    EXPECT_EQ(texts.table[100], "Last");
}

TEST(LoadLanguage, FileNamesIgnoreCaseWhenTheExactNameIsMissing) {
    TempDir dir;
    dir.Write("language.INI", "[LANGUAGE]\nFile_Language=de.ini\n");
    dir.Write("DE.INI", "[GRAPH]\nItem_0=Abstand\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Get(Section::Graph, 0), "Abstand");
}

TEST(LoadLanguage, EmptySelectorValueFallsBackToEnIni) {
    TempDir dir;
    dir.Write("Language.ini", "[LANGUAGE]\nFile_Language=\n");
    dir.Write("EN.INI", "[GRAPH]\nItem_0=Distance\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Get(Section::Graph, 0), "Distance");
}

TEST(LoadLanguage, QuotedValuesKeepTheirBlanks) {
    TempDir dir;
    dir.Write("EN.INI", "[PARAMETER]\nItem_2=\"    UART Baud Rate\"\n[ABOUT]\nItem_0=\"VESKA \"\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Parameter(2), "    UART Baud Rate");
    EXPECT_EQ(texts.Get(Section::About, 0) + "(Setup program: rel.2.0)",
              "VESKA (Setup program: rel.2.0)");
}

TEST(LoadLanguage, BrokenLinesAreSkippedTheRestIsKept) {
    TempDir dir;
    dir.Write("EN.INI",
              "[MESSAGE\nnot a key line\n[MESSAGE]\n\x01\x02garbage\nItem_3=Store failed\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Message(3), "Store failed");
}

TEST(ToUtf8, KeepsUtf8AndConvertsWindows1252) {
    EXPECT_EQ(ToUtf8("plain"), "plain");
    EXPECT_EQ(ToUtf8("L\xC3\xB6schen"), "L\xC3\xB6schen");  // already UTF-8
    EXPECT_EQ(ToUtf8("L\xF6schen"), "L\xC3\xB6schen");      // 0xF6 o-umlaut
    EXPECT_EQ(ToUtf8("\x80 5"), "\xE2\x82\xAC 5");          // euro sign
    EXPECT_EQ(ToUtf8("\xC3"), "\xC3\x83");                  // cut-off sequence
    EXPECT_EQ(ToUtf8("\xC0\x80"), "\xC3\x80\xE2\x82\xAC");  // overlong form
}

TEST(LoadLanguage, Windows1252FileIsReadAsUtf8) {
    TempDir dir;
    dir.Write("EN.INI", "[BUTTON]\nItem_7=L\xF6schen\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    EXPECT_EQ(texts.Button(7), "L\xC3\xB6schen");
}

TEST(FindLanguageDirectory, PrefersTheCurrentDirectoryThenDataThenProgram) {
    TempDir root;
    const std::string cwd = root.Path() + "/cwd";
    const std::string data = root.Path() + "/data";
    const std::string program = root.Path() + "/prefix/bin/veskacfg";
    fs::create_directories(cwd);
    fs::create_directories(data);
    fs::create_directories(root.Path() + "/prefix/bin");

    // Nothing exists: the current directory's Language folder.
    EXPECT_EQ(FindLanguageDirectory(cwd, data, program), (fs::path(cwd) / "Language").string());

    fs::create_directories(root.Path() + "/prefix/bin/Language");
    EXPECT_EQ(FindLanguageDirectory(cwd, data, program), root.Path() + "/prefix/bin/Language");

    fs::create_directories(root.Path() + "/prefix/share/veskacfg/Language");
    EXPECT_EQ(FindLanguageDirectory(cwd, data, program),
              root.Path() + "/prefix/share/veskacfg/Language");

    fs::create_directories(data + "/Language");
    EXPECT_EQ(FindLanguageDirectory(cwd, data, program), data + "/Language");
    EXPECT_EQ(FindLanguageDirectory(cwd, "", program),
              root.Path() + "/prefix/share/veskacfg/Language");

    fs::create_directories(cwd + "/Language");
    EXPECT_EQ(FindLanguageDirectory(cwd, data, program), cwd + "/Language");
}

/// The shipped language files: every key of every section present, none left at its number.
class ShippedLanguage : public ::testing::TestWithParam<const char*> {};

TEST_P(ShippedLanguage, HasEveryKeyOfEverySection) {
    TempDir dir;
    fs::copy_file(fs::path(VESKA_SOURCE_LANGUAGE_DIR) / GetParam(), fs::path(dir.Path()) / "X.INI");
    dir.Write("Language.ini", "[LANGUAGE]\nFile_Language=X.INI\n");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    for (Section section : kAllSections) {
        for (int key = 0; key < TextTable::Count(section); ++key) {
            std::string text = texts.Get(section, key);
            EXPECT_NE(text, std::to_string(key))
                << TextTable::SectionName(section) << " Item_" << key;
            EXPECT_FALSE(text.empty()) << TextTable::SectionName(section) << " Item_" << key;
        }
    }
    EXPECT_EQ(texts.charSet, 1);
    EXPECT_NE(texts.fontName, "");
}

TEST_P(ShippedLanguage, KeepsTheGroupingIndentsAndTheCaptionBlank) {
    TempDir dir;
    fs::copy_file(fs::path(VESKA_SOURCE_LANGUAGE_DIR) / GetParam(),
                  fs::path(dir.Path()) / "EN.INI");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    for (int row : {2, 3, 4, 15, 16, 17, 18, 19, 20, 21}) {
        EXPECT_EQ(texts.Parameter(row).substr(0, 4), "    ") << row;
        EXPECT_NE(texts.Parameter(row)[4], ' ') << row;
    }
    for (int row = 22; row <= 26; ++row) {
        EXPECT_EQ(texts.Parameter(row).substr(0, 2), "  ") << row;
        EXPECT_NE(texts.Parameter(row)[2], ' ') << row;
    }
    const std::string caption = texts.Get(Section::About, 0);
    EXPECT_EQ(caption.back(), ' ');
    EXPECT_EQ(texts.Message(10).back(), ' ');
    EXPECT_EQ(texts.Message(11).back(), ' ');
}

TEST_P(ShippedLanguage, PickListWordsAreUniqueWithinEachList) {
    TempDir dir;
    fs::copy_file(fs::path(VESKA_SOURCE_LANGUAGE_DIR) / GetParam(),
                  fs::path(dir.Path()) / "EN.INI");
    TextTable texts;
    LoadLanguage(dir.Path(), texts);
    // PARAM VALUE keys of each pick list (on/off, sample control, AL control, window
    // control, averaging mode, CAN mode, CAN identifier, LAN mode).
    const std::vector<std::vector<int>> lists = {
        {0, 1}, {2, 3}, {4, 5, 6, 7, 31, 32, 33}, {8, 9}, {10, 11}, {12, 13, 14}, {15, 16}, {1, 26},
    };
    for (const auto& list : lists) {
        std::set<std::string> words;
        for (int key : list) {
            std::string word = texts.ParamValue(key);
            EXPECT_TRUE(words.insert(word).second) << "duplicate word '" << word << "'";
            // A word that reads as a number would be mistaken for a wordless state.
            EXPECT_EQ(word.find_first_not_of("0123456789-"), 0u) << word;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Files, ShippedLanguage, ::testing::Values("EN.INI", "DE.INI"));

TEST(ShippedLanguage, SelectorPointsAtEnglish) {
    TextTable texts;
    LoadLanguage(VESKA_SOURCE_LANGUAGE_DIR, texts);
    EXPECT_EQ(texts.Message(0), "Can't open port");
    EXPECT_EQ(texts.ParamValue(0), "On");
    EXPECT_EQ(texts.ParamValue(1), "Off");
}

}  // namespace
}  // namespace veska::lang
