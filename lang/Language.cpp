#include "lang/Language.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/IniFile.h"

namespace veska::lang {

namespace fs = std::filesystem;

namespace {

struct SectionInfo {
    const char* name;
    int count;
    int first;  ///< table position of Item_0, -1 for the caption arrays
};

SectionInfo InfoOf(Section section) {
    switch (section) {
        case Section::Label:
            return {"LABEL", 15, -1};
        case Section::Button:
            return {"BUTTON", 13, -1};
        case Section::Parameter:
            return {"PARAMETER", 54, 0};
        case Section::PopupParam:
            return {"POPUP PARAM", 8, 54};
        case Section::PopupChart:
            return {"POPUP CHART", 2, 62};
        case Section::ParamTable:
            return {"PARAM TABLE", 2, 64};
        case Section::Graph:
            return {"GRAPH", 1, 66};
        case Section::ParamValue:
            return {"PARAM VALUE", 34, 67};
        case Section::FormsNames:
            return {"FORMS NAMES", 6, 101};
        case Section::Message:
            return {"MESSAGE", 31, 107};
        case Section::About:
            return {"ABOUT", 5, 138};
        case Section::Program:
            return {"PROGRAM", static_cast<int>(ProgramText::Count), -1};
    }
    return {"", 0, -1};
}

std::string KeyName(int key) { return "Item_" + std::to_string(key); }

bool IsDirectory(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

bool SameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

/// The file `name` in `directory`; when that exact name is missing, the first entry whose
/// name matches without regard to case (the files come from a case-blind file system).
std::string ResolveFile(const std::string& directory, const std::string& name) {
    fs::path exact = fs::path(directory) / name;
    std::error_code error;
    if (fs::exists(exact, error)) return exact.string();
    fs::path wanted(name);
    fs::path folder = (fs::path(directory) / wanted).parent_path();
    std::string leaf = wanted.filename().string();
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (SameNoCase(it->path().filename().string(), leaf)) return it->path().string();
    }
    return exact.string();
}

/// Code points of Windows-1252 bytes 0x80..0x9F; the five unassigned bytes map to the C1
/// control of the same number, as the Windows conversion does.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        char32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;  // sequence cut off at the end
        for (size_t k = 1; k <= extra; ++k) {
            auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += extra + 1;
    }
    return true;
}

std::string ProgramPath() {
    std::error_code error;
    fs::path path = fs::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

std::string CurrentDirectory() {
    std::error_code error;
    fs::path path = fs::current_path(error);
    return error ? std::string(".") : path.string();
}

}  // namespace

TextTable::TextTable() { Reset(); }

void TextTable::Reset() {
    charSet = 1;
    fontName = "MS Sans Serif";
    for (size_t i = 0; i < labels.size(); ++i) labels[i] = std::to_string(i);
    for (size_t i = 0; i < buttons.size(); ++i) buttons[i] = std::to_string(i);
    for (size_t i = 0; i < program.size(); ++i) program[i] = std::to_string(i);
    for (Section section : kAllSections) {
        int first = First(section);
        if (first < 0) continue;
        for (int key = 0; key < Count(section); ++key) table[first + key] = std::to_string(key);
    }
}

std::string TextTable::Get(Section section, int key) const {
    if (key < 0 || key >= Count(section)) return std::to_string(key);
    switch (section) {
        case Section::Label:
            return labels[key];
        case Section::Button:
            return buttons[key];
        case Section::Program:
            return program[key];
        default:
            return table[First(section) + key];
    }
}

void TextTable::Set(Section section, int key, std::string text) {
    if (key < 0 || key >= Count(section)) return;
    switch (section) {
        case Section::Label:
            labels[key] = std::move(text);
            break;
        case Section::Button:
            buttons[key] = std::move(text);
            break;
        case Section::Program:
            program[key] = std::move(text);
            break;
        default:
            table[First(section) + key] = std::move(text);
            break;
    }
}

int TextTable::Count(Section section) { return InfoOf(section).count; }
int TextTable::First(Section section) { return InfoOf(section).first; }
const char* TextTable::SectionName(Section section) { return InfoOf(section).name; }

std::string SelectedLanguageFile(const std::string& directory) {
    platform::IniFile selector;
    selector.Load(ResolveFile(directory, "Language.ini"));
    std::string fileName = selector.Get("LANGUAGE", "File_Language", "EN.INI");
    if (fileName.empty()) fileName = "EN.INI";  // an empty name names no file
    return fileName;
}

std::vector<std::pair<std::string, std::string>> ListLanguageFiles(const std::string& directory) {
    std::vector<std::pair<std::string, std::string>> files;
    std::error_code error;
    for (fs::directory_iterator it(directory, error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= 4 || !SameNoCase(name.substr(name.size() - 4), ".ini") ||
            SameNoCase(name, "Language.ini")) {
            continue;
        }
        platform::IniFile file;
        file.Load(it->path().string());
        std::string shown = ToUtf8(file.Get("LANGUAGE", "Name", ""));
        if (shown.empty()) shown = name.substr(0, name.size() - 4);
        files.emplace_back(name, shown);
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string FillText(std::string_view text, const std::vector<std::string>& values) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            const auto n = static_cast<size_t>(text[i + 1] - '1');
            if (n < values.size()) {
                out += values[n];
                ++i;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

bool LoadLanguage(const std::string& directory, TextTable& texts, const std::string& languageFile) {
    texts.Reset();
    const std::string fileName =
        languageFile.empty() ? SelectedLanguageFile(directory) : languageFile;

    platform::IniFile file;
    file.Load(ResolveFile(directory, fileName));
    texts.charSet = static_cast<int>(file.GetInt("LANGUAGE", "Char", 1));
    texts.fontName = ToUtf8(file.Get("LANGUAGE", "Font", "MS Sans Serif"));

    for (Section section : kAllSections) {
        const char* name = TextTable::SectionName(section);
        for (int key = 0; key < TextTable::Count(section); ++key) {
            texts.Set(section, key, ToUtf8(file.Get(name, KeyName(key), std::to_string(key))));
        }
    }
    return file.Loaded();
}

std::string MissingLanguageNote(const std::string& directory) {
    return "no language file found in '" + directory +
           "' (Language.ini, EN.INI): messages and captions show as numbers";
}

std::string FindLanguageDirectory(const std::string& currentDir, const std::string& dataDir,
                                  const std::string& programPath) {
    fs::path local = fs::path(currentDir) / "Language";
    if (IsDirectory(local)) return local.string();
    if (!dataDir.empty()) {
        fs::path installed = fs::path(dataDir) / "Language";
        if (IsDirectory(installed)) return installed.string();
    }
    if (!programPath.empty()) {
        fs::path programDir = fs::path(programPath).parent_path();
        fs::path shared = programDir / ".." / "share" / "veskacfg" / "Language";
        if (IsDirectory(shared)) return shared.lexically_normal().string();
        fs::path beside = programDir / "Language";
        if (IsDirectory(beside)) return beside.string();
    }
    return local.string();
}

std::string FindLanguageDirectory() {
#ifdef VESKA_DATA_DIR
    const std::string dataDir = VESKA_DATA_DIR;
#else
    const std::string dataDir;
#endif
    return FindLanguageDirectory(CurrentDirectory(), dataDir, ProgramPath());
}

std::string ToUtf8(std::string_view text) {
    if (IsValidUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 2);
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F) {
            AppendUtf8(out, kCp1252High[c - 0x80]);
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

}  // namespace veska::lang
