#pragma once
#include <map>
#include <string>
#include <string_view>

namespace veska::platform {

/// An INI file read with Windows lookup rules: section and key names compared without
/// regard to case, a missing key giving its default, a present key with an empty value
/// giving the empty text. Parsed by libinih.
///
/// Where Windows and libinih's built-in options differ, the Windows reading holds:
/// - a value is everything after the first '=', trimmed of blanks, with one pair of
///   enclosing quotes (" or ') removed; ';' and ':' inside a value are kept;
/// - the first of two equal keys in a section wins;
/// - indented lines are ordinary lines (no continuation lines), any line length;
/// - a line without '=' is skipped; lines starting with ';' or '#' are comments;
/// - a UTF-8 byte order mark at the start is ignored; bytes are kept as they are.
class IniFile {
  public:
    /// Reads the file; false (and no entries) when it cannot be read. Syntax errors in
    /// single lines are skipped, the rest of the file is kept.
    bool Load(const std::string& path);
    /// Reads INI text from memory (the same rules); always succeeds.
    bool Parse(std::string_view text);
    bool Loaded() const { return loaded_; }
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback) const;
    /// The value read as a decimal integer (text after the digits is ignored, as Windows
    /// does); the fallback when missing, not starting with a number, or out of range.
    long GetInt(const std::string& section, const std::string& key, long fallback) const;

  private:
    std::map<std::string, std::string> values_;  ///< key "section\nkey", both lower case
    bool loaded_ = false;
};

}  // namespace veska::platform
