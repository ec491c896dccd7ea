#pragma once
#include <map>
#include <string>

namespace veska::platform {

/// An INI file read with Windows lookup rules: section and key names compared without
/// regard to case, a missing key giving its default, a present key with an empty value
/// giving the empty text. Parsed by libinih.
class IniFile {
public:
    /// Reads the file; false (and no entries) when it cannot be read. Syntax errors in
    /// single lines are skipped, the rest of the file is kept.
    bool Load(const std::string& path);
    bool Loaded() const { return loaded_; }
    std::string Get(const std::string& section, const std::string& key,
                    const std::string& fallback) const;
    /// The value read as a decimal integer; the fallback when missing or not a number.
    long GetInt(const std::string& section, const std::string& key, long fallback) const;

private:
    std::map<std::string, std::string> values_;  ///< key "section\nkey", both lower case
    bool loaded_ = false;
};

}  // namespace veska::platform
