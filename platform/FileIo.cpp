#include "platform/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace veska::platform {
namespace {

std::string Reason(int error) { return std::strerror(error); }

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Writes all of data to fd; false with errno set when the write fails.
bool WriteAll(int fd, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

/// Writes data into an existing device or FIFO as a stream: such a node is never replaced.
/// The open does not block (a FIFO nobody reads fails with ENXIO at once).
bool WriteIntoNode(const std::string& path, std::string_view data, std::string& reason) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        reason = error == ENXIO ? "no reader on the FIFO (" + Reason(error) + ")" : Reason(error);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int error = WriteAll(fd, data) ? 0 : errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        reason = Reason(error);
        return false;
    }
    return true;
}

}  // namespace

bool ReplaceFile(const std::string& requested, std::string_view data, std::string& reason) {
    auto fail = [&reason](int error) {
        reason = Reason(error);
        return false;
    };
    // Replace the file a symbolic link names, not the link.
    std::string path = requested;
    struct stat linkInfo {};
    if (::lstat(requested.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
        if (char* real = ::realpath(requested.c_str(), nullptr)) {
            path = real;
            std::free(real);
        }
    }
    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) return fail(EISDIR);
    if (exists && !S_ISREG(existing.st_mode)) return WriteIntoNode(path, data, reason);

    // A fresh name beside the target; O_EXCL never reuses an existing file, and the mode
    // 0666 lets the umask decide as for any new file.
    const std::string directory = DirectoryOf(path);
    std::random_device random;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = directory + "/." + BaseNameOf(path) + ".tmp" + std::to_string(::getpid()) +
                    "_" + std::to_string(random());
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) return fail(errno);

    int error = 0;
    if (exists) ::fchmod(fd, existing.st_mode & 07777);  // keep the old file's permissions
    if (!WriteAll(fd, data)) {
        error = errno;
    } else if (::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return fail(error);
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool CheckWritableFolder(const std::string& folder, uint64_t minFreeBytes, std::string& reason) {
    const std::string dir = folder.empty() ? std::string(".") : folder;
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        reason = Reason(errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        reason = "not a folder";
        return false;
    }
    std::string probe = dir + "/.veska-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) {
        reason = Reason(errno);
        return false;
    }
    // A full file system still creates the empty file; a block of data shows it.
    const std::string block(4096, '\0');
    const bool written = WriteAll(fd, block) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    ::unlink(probe.c_str());
    if (!written) {
        reason = Reason(writeError);
        return false;
    }
    struct statvfs fs {};
    if (::statvfs(dir.c_str(), &fs) == 0) {
        const uint64_t free = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
        if (free < minFreeBytes) {
            reason = "only " + std::to_string(free / 1024) + " KiB free";
            return false;
        }
    }
    return true;
}

bool ReadRegularFile(const std::string& path, size_t maxBytes, std::string& data,
                     std::string& reason) {
    data.clear();
    auto fail = [&](std::string why) {
        data.clear();
        reason = std::move(why);
        return false;
    };
    // Non-blocking open: a FIFO at path must not hang the reader.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(Reason(errno));
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return fail(Reason(error));
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(info.st_mode) ? Reason(EISDIR) : "not a regular file");
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            ::close(fd);
            return fail(Reason(error));
        }
        if (n == 0) break;
        data.append(buffer, static_cast<size_t>(n));
        if (data.size() > maxBytes) {
            ::close(fd);
            return fail("larger than " + std::to_string(maxBytes) + " bytes");
        }
    }
    ::close(fd);
    return true;
}

}  // namespace veska::platform
