#include "params/ParamFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <random>

#include "lang/Language.h"
#include "params/ParamCodings.h"
#include "params/ParamTransfer.h"

namespace veska::params {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSeparator(char c) { return c == '\t' || c == '\n' || c == '\r' || c == '\0' || c == ' '; }

bool IsLineEnd(char c) { return c == '\n' || c == '\r' || c == '\0'; }

std::optional<int32_t> ParseDecimal(std::string_view token) {
    int32_t value = 0;
    if (!ParseInteger(std::string(token), value)) return std::nullopt;
    return value;
}

/// Keeps control characters of a rejected token readable in a message, and a long token
/// short.
std::string Printable(std::string_view token) {
    constexpr size_t kShown = 40;
    std::string out;
    for (char c : token.substr(0, kShown)) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            static const char* hex = "0123456789ABCDEF";
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    if (token.size() > kShown) out += "...";
    return out;
}

std::string ConversionFailure(std::string_view token, int record) {
    return "record " + std::to_string(record) + " of " + std::to_string(kGridParamCount) + ": " +
           InvalidIntegerReport(Printable(token));
}

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

/// Writes all of text to fd; false with errno set when the write fails.
bool WriteAll(int fd, std::string_view text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

std::string WriteParamFileText(const ValueStores& values, const ParamTable& table) {
    std::string text;
    for (int i = 0; i < kGridParamCount; ++i) {
        text += std::to_string(table[i].address);
        text += '\t';
        text += std::to_string(values.workValues[i]);
        text += '\n';
    }
    return text;
}

ParamFileReadResult ReadParamFileText(std::string_view text, const ParamTable& table,
                                      ValueStores& values) {
    ParamFileReadResult result;
    size_t p = 0;
    for (int record = 1; record <= kGridParamCount; ++record) {
        while (p < text.size() && !IsDigit(text[p])) ++p;
        const size_t addressStart = p;
        while (p < text.size() && IsDigit(text[p])) ++p;
        const std::string_view addressToken = text.substr(addressStart, p - addressStart);
        const std::optional<int32_t> address = ParseDecimal(addressToken);
        if (!address) {
            result.ok = false;
            result.errorText = ConversionFailure(addressToken, record);
            return result;
        }
        while (p < text.size() && IsSeparator(text[p])) ++p;
        const size_t valueStart = p;
        while (p < text.size() && !IsLineEnd(text[p])) ++p;
        const std::string_view valueToken = text.substr(valueStart, p - valueStart);
        const std::optional<int32_t> value = ParseDecimal(valueToken);
        if (!value) {
            result.ok = false;
            result.errorText = ConversionFailure(valueToken, record);
            return result;
        }
        for (int i = 0; i < kGridParamCount; ++i) {
            if (table[i].address == *address) values.workValues[i] = *value;
        }
        result.records = record;
    }
    return result;
}

FileResult WriteTextFileReplacing(const std::string& requested, std::string_view text) {
    auto fail = [&requested](const std::string& what, int error) {
        return FileResult{false, "Cannot write the parameter file '" + requested + "': " + what +
                                     Reason(error) + "."};
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
    if (exists && S_ISDIR(existing.st_mode)) return fail("", EISDIR);

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
    if (fd < 0) return fail("", errno);

    int error = 0;
    if (exists) ::fchmod(fd, existing.st_mode & 07777);  // keep the old file's permissions
    if (!WriteAll(fd, text)) {
        error = errno;
    } else if (::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temporary.c_str());
        return fail("", error);
    }
    // Make the rename itself durable; a failure here leaves a complete file either way.
    const int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return {};
}

FileResult ReadTextFile(const std::string& path, std::string& text) {
    auto fail = [&path](const std::string& reason) {
        return FileResult{false, "Cannot read the parameter file '" + path + "': " + reason + "."};
    };
    text.clear();
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
            text.clear();
            return fail(Reason(error));
        }
        if (n == 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > kMaxParamFileBytes) {
            ::close(fd);
            text.clear();
            return fail("larger than " + std::to_string(kMaxParamFileBytes) +
                        " bytes, not a parameter file");
        }
    }
    ::close(fd);
    return {};
}

ParamFileCommands::ParamFileCommands(ParamTransfer& transfer) : transfer_(transfer) {}

bool ParamFileCommands::WriteWithDialog() {
    const ParamContext& ctx = transfer_.Context();
    const std::string preset = ctx.view.IdentityLabelText(IdentityLabel::SerialNumber) + ".prm";
    const std::optional<std::string> path = ctx.view.AskSaveParamFile(preset);
    if (!path || path->empty()) return false;
    struct stat info {};
    if (::stat(path->c_str(), &info) == 0) {
        const int answer =
            ctx.view.MessageBox(ctx.texts.Message(kMsgConfirmOverwrite),
                                ctx.texts.Message(kMsgCaption), kMbOkCancelExclamation);
        if (answer != kIdOk) return false;
    }
    const FileResult written =
        WriteTextFileReplacing(*path, WriteParamFileText(ctx.values, ctx.table));
    if (!written.ok) {
        ctx.view.ShowError(written.errorText);
        return false;
    }
    return true;
}

bool ParamFileCommands::WrParamFileClick() { return WriteWithDialog(); }

bool ParamFileCommands::WriteFactoryParamFile() { return WriteWithDialog(); }

bool ParamFileCommands::RdParamFileClick() {
    const ParamContext& ctx = transfer_.Context();
    const std::optional<std::string> path = ctx.view.AskOpenParamFile();
    if (!path || path->empty()) return false;
    std::string text;
    const FileResult read = ReadTextFile(*path, text);
    if (!read.ok) {
        ctx.view.ShowError(read.errorText);
        return false;
    }
    const ParamFileReadResult taken = ReadParamFileText(text, ctx.table, ctx.values);
    if (!taken.ok) {
        ctx.view.ShowError("Parameter file '" + *path + "', " + taken.errorText);
        return false;
    }
    transfer_.RebuildGrid();
    return true;
}

}  // namespace veska::params
