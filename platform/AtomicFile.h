#pragma once
#include <string>
#include <string_view>

namespace veska::platform {

/// Writes data to path so that an existing file is replaced only once the new content is
/// complete on disk (temporary file in the same folder, fsync, rename). On failure the old
/// file stays as it was and error holds a sentence naming the file and the reason.
bool WriteFileAtomically(const std::string& path, std::string_view data, std::string& error);

/// Reads a whole file; false with error set when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& data, std::string& error);

}  // namespace veska::platform
