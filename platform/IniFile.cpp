#include "platform/IniFile.h"

#include <ini.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace veska::platform {

namespace {

// libinih is built with inline comments (" ;"), ':' as a second separator, continuation
// lines and a 200-byte line buffer. So that none of these changes what a line means, the
// line feeder below hands libinih each key line as "key=<n>", with the raw value kept
// aside as entry n, and the handler puts the raw value back. libinih still does the
// sections, the comments, the key trimming and the error skipping.

constexpr size_t kLargestFile = 16u << 20;  ///< [bytes]; language files are a few KiB
constexpr char kBom[] = "\xEF\xBB\xBF";
// Stand-ins for the two key characters that libinih would take as syntax.
constexpr char kColonStandIn = '\x01';
constexpr char kSemicolonStandIn = '\x02';
/// Section name fed in place of a section line too long for libinih's buffer: it keeps
/// the keys that follow out of the section before it, and no lookup can name it.
constexpr char kUnnamedSection[] = "[\x03]";

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

/// Windows removes one pair of quotes that encloses the whole value.
std::string_view Unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        return s.substr(1, s.size() - 2);
    }
    return s;
}

struct ParseState {
    std::string_view text;
    size_t pos = 0;
    std::vector<std::string> rawValues;  ///< value part of each key line, by index
    std::map<std::string, std::string>* values = nullptr;
};

/// The line as libinih is to see it; empty for lines that carry nothing.
std::string PrepareLine(std::string_view line, ParseState& state, size_t room) {
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') return {};
    if (line.front() == '[') {
        return line.size() <= room ? std::string(line) : std::string(kUnnamedSection);
    }
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {};  // not a key line: skipped
    std::string key(Trim(line.substr(0, eq)));
    if (key.empty()) return {};
    for (char& c : key) {
        if (c == ':') c = kColonStandIn;
        if (c == ';') c = kSemicolonStandIn;
    }
    std::string fed = key + "=" + std::to_string(state.rawValues.size());
    if (fed.size() > room) return {};  // a key longer than libinih's line buffer
    state.rawValues.emplace_back(line.substr(eq + 1));
    return fed;
}

/// libinih's fgets-style reader over the text in memory.
char* ReadLine(char* str, int num, void* stream) {
    auto& state = *static_cast<ParseState*>(stream);
    if (state.pos >= state.text.size() || num < 3) return nullptr;
    size_t end = state.text.find('\n', state.pos);
    if (end == std::string_view::npos) end = state.text.size();
    const std::string_view line = state.text.substr(state.pos, end - state.pos);
    state.pos = end + 1;
    const size_t room = static_cast<size_t>(num) - 2;  // the newline and the terminator
    const std::string fed = PrepareLine(line, state, room);
    std::memcpy(str, fed.data(), fed.size());
    str[fed.size()] = '\n';
    str[fed.size() + 1] = '\0';
    return str;
}

int OnEntry(void* user, const char* section, const char* name, const char* value) {
    auto& state = *static_cast<ParseState*>(user);
    char* end = nullptr;
    errno = 0;
    const unsigned long index = std::strtoul(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || index >= state.rawValues.size()) {
        return 1;  // not a line the feeder made
    }
    std::string key(name);
    for (char& c : key) {
        if (c == kColonStandIn) c = ':';
        if (c == kSemicolonStandIn) c = ';';
    }
    const std::string raw = state.rawValues[index];
    const std::string_view text = Unquote(Trim(raw));
    // emplace keeps an existing entry: the first of equal keys wins.
    state.values->emplace(Lower(std::string(Trim(section))) + "\n" + Lower(key), std::string(text));
    return 1;
}

}  // namespace

bool IniFile::Load(const std::string& path) {
    values_.clear();
    loaded_ = false;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<size_t>(st.st_size) > kLargestFile) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    return Parse(text);
}

bool IniFile::Parse(std::string_view text) {
    values_.clear();
    if (text.substr(0, 3) == kBom) text.remove_prefix(3);
    ParseState state;
    state.text = text;
    state.values = &values_;
    // The result is the number of the first bad line; bad lines are skipped, not fatal.
    (void)ini_parse_stream(ReadLine, &state, OnEntry, &state);
    loaded_ = true;
    return true;
}

std::string IniFile::Get(const std::string& section, const std::string& key,
                         const std::string& fallback) const {
    const auto it = values_.find(Lower(section) + "\n" + Lower(key));
    return it != values_.end() ? it->second : fallback;
}

long IniFile::GetInt(const std::string& section, const std::string& key, long fallback) const {
    const auto it = values_.find(Lower(section) + "\n" + Lower(key));
    if (it == values_.end() || it->second.empty()) return fallback;
    const char* begin = it->second.c_str();
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    // As on Windows, text after the digits is ignored ("204 ; Cyrillic" reads 204).
    if (errno != 0 || end == begin || IsBlank(*begin)) return fallback;
    return value;
}

}  // namespace veska::platform
