#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace veska::platform {

/// Writes data to path so that an existing file is only replaced by a complete new one:
/// the data goes to a fresh temporary file beside the target, is flushed to the disk, and
/// then takes the place of path by rename (the directory is synced too). A symbolic link
/// at path is followed: the file it names is replaced. An existing file keeps its
/// permissions. Only a regular file is replaced: a device or FIFO at path is written into
/// as a stream (a FIFO nobody reads fails at once). On failure path is untouched, the temporary
/// file removed, and reason holds the system's reason ("No such file or directory").
bool ReplaceFile(const std::string& path, std::string_view data, std::string& reason);

/// True when files can be written into folder: it exists, is a folder, a file can be
/// created in it and has at least minFreeBytes of free space behind it. Otherwise reason
/// says why ("not a folder", "Permission denied", "only 12 KiB free", ...).
bool CheckWritableFolder(const std::string& folder, uint64_t minFreeBytes, std::string& reason);

/// Reads a whole regular file of at most maxBytes. A FIFO or a device at path is refused
/// without blocking. On failure data is empty and reason holds why.
bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data,
                     std::string& reason);

}  // namespace veska::platform
