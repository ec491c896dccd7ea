#pragma once
#include <array>
#include <string>
#include <string_view>

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

/// Every section in the order the language file is read.
inline constexpr std::array<Section, 11> kAllSections = {
    Section::Label,      Section::Button,     Section::Parameter, Section::PopupParam,
    Section::PopupChart, Section::ParamTable, Section::Graph,     Section::ParamValue,
    Section::FormsNames, Section::Message,    Section::About,
};

/// The text table and the two caption arrays of the program. A key missing from the
/// language file holds its own number ("0", "1", ...), a key with an empty value the empty text.
/// Every text is UTF-8 (language files written in Windows-1252 are converted on load).
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

    /// Sets an entry; an out-of-range key is ignored.
    void Set(Section section, int key, std::string text);
    /// Number of keys of a section (Item_0 .. Item_<count-1>).
    static int Count(Section section);
    /// Table position of a section's Item_0; -1 for the two caption arrays.
    static int First(Section section);
    /// The section's name in the language file, e.g. "POPUP PARAM".
    static const char* SectionName(Section section);
    /// Back to the state of the constructor (numbers, default Char and Font).
    void Reset();

    int charSet = 1;                         ///< LANGUAGE Char, kept, not applied
    std::string fontName = "MS Sans Serif";  ///< LANGUAGE Font, kept, not applied

    std::array<std::string, 15> labels;
    std::array<std::string, 13> buttons;
    std::array<std::string, 143> table;
};

/// Reads "Language.ini" (LANGUAGE File_Language, default "EN.INI") and that language file
/// from the directory. Missing files or keys are no error: their defaults apply. File names
/// are matched without regard to case when the exact name is not there. Returns false when
/// the language file itself was not found (every text then shows its number).
bool LoadLanguage(const std::string& directory, TextTable& texts);

/// The one-line note for a language file that was not found: which folder was looked in and
/// that the texts fall back to their numbers.
std::string MissingLanguageNote(const std::string& directory);

/// The language directory: "Language/" under the current directory when it exists, else
/// the installed data folder (VESKA_DATA_DIR/Language), else <program dir>/../share/veskacfg/
/// Language, else <program dir>/Language. When none exists: "Language/" under the current
/// directory (every text then shows its number).
std::string FindLanguageDirectory();

/// The same search with the three starting points given (for tests and tools). An empty
/// dataDir or programPath skips the candidates built from it.
std::string FindLanguageDirectory(const std::string& currentDir, const std::string& dataDir,
                                  const std::string& programPath);

/// The text itself when it is valid UTF-8, else the text read as Windows-1252 and
/// re-encoded as UTF-8.
std::string ToUtf8(std::string_view text);

}  // namespace veska::lang
