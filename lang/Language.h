#pragma once
#include <array>
#include <string>

namespace veska::lang {

/// Sections of the language file whose "Item_<n>" keys fill the text table.
enum class Section {
    Label,       ///< caption array of 15 label texts
    Button,      ///< caption array of 13 button texts
    Parameter,   ///< table 0..53
    PopupParam,  ///< table 54..61
    PopupChart,  ///< table 62..63
    ParamTable,  ///< table 64..65
    Graph,       ///< table 66
    ParamValue,  ///< table 67..100
    FormsNames,  ///< table 101..106
    Message,     ///< table 107..137
    About,       ///< table 138..142
};

/// The text table and the two caption arrays of the program. A key missing from the
/// language file holds its own number ("0", "1", ...), a key with an empty value the empty text.
class TextTable {
public:
    TextTable();  ///< every entry its own number, as with no language file at all

    /// The entry of a section's key; an out-of-range key gives its own number.
    std::string Get(Section section, int key) const;
    std::string Label(int key) const { return Get(Section::Label, key); }
    std::string Button(int key) const { return Get(Section::Button, key); }
    std::string Message(int key) const { return Get(Section::Message, key); }
    std::string ParamValue(int key) const { return Get(Section::ParamValue, key); }
    std::string Parameter(int key) const { return Get(Section::Parameter, key); }

    void Set(Section section, int key, std::string text);
    static int Count(Section section);
    static const char* SectionName(Section section);

    int charSet = 1;                       ///< LANGUAGE Char, kept, not applied
    std::string fontName = "MS Sans Serif";  ///< LANGUAGE Font, kept, not applied

    std::array<std::string, 15> labels;
    std::array<std::string, 13> buttons;
    std::array<std::string, 143> table;
};

/// Reads "Language.ini" (LANGUAGE File_Language, default "EN.INI") and that language file
/// from the directory. Missing files or keys are no error: their defaults apply.
void LoadLanguage(const std::string& directory, TextTable& texts);

/// The language directory: "Language/" under the current directory when it exists, else
/// the installed data folder (VESKA_DATA_DIR/Language), else the folder beside the program.
std::string FindLanguageDirectory();

}  // namespace veska::lang
