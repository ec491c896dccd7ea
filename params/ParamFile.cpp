#include "params/ParamFile.h"

#include <sys/stat.h>

#include <cstdint>
#include <optional>

#include "lang/Language.h"
#include "params/ParamCodings.h"
#include "params/ParamTransfer.h"
#include "platform/FileIo.h"

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

FileResult WriteTextFileReplacing(const std::string& path, std::string_view text) {
    std::string reason;
    if (platform::ReplaceFile(path, text, reason)) return {};
    return FileResult{false, "Cannot write the parameter file '" + path + "': " + reason + "."};
}

FileResult ReadTextFile(const std::string& path, std::string& text) {
    std::string reason;
    if (platform::ReadRegularFile(path, kMaxParamFileBytes, text, reason)) return {};
    if (reason.rfind("larger than", 0) == 0) reason += ", not a parameter file";
    return FileResult{false, "Cannot read the parameter file '" + path + "': " + reason + "."};
}

ParamFileCommands::ParamFileCommands(ParamTransfer& transfer) : transfer_(transfer) {}

bool ParamFileCommands::WriteWithDialog() {
    SensorSession& ctx = transfer_.Session();
    const std::string preset = ctx.View().IdentityLabelText(IdentityLabel::SerialNumber) + ".prm";
    const std::optional<std::string> path = ctx.View().AskSaveParamFile(preset);
    if (!path || path->empty()) return false;
    struct stat info {};
    if (::stat(path->c_str(), &info) == 0) {
        const int answer =
            ctx.View().MessageBox(ctx.Texts().Message(kMsgConfirmOverwrite),
                                  ctx.Texts().Message(kMsgCaption), kMbOkCancelExclamation);
        if (answer != kIdOk) return false;
    }
    const FileResult written =
        WriteTextFileReplacing(*path, WriteParamFileText(ctx.values, ctx.table));
    if (!written.ok) {
        ctx.View().ShowError(written.errorText);
        return false;
    }
    return true;
}

bool ParamFileCommands::WrParamFileClick() { return WriteWithDialog(); }

bool ParamFileCommands::WriteFactoryParamFile() { return WriteWithDialog(); }

bool ParamFileCommands::RdParamFileClick() {
    SensorSession& ctx = transfer_.Session();
    if (!transfer_.ConfirmDiscardEdits(
            transfer_.Session().Texts().Text(lang::ProgramText::DiscardFile))) {
        return false;
    }
    const std::optional<std::string> path = ctx.View().AskOpenParamFile();
    if (!path || path->empty()) return false;
    std::string text;
    const FileResult read = ReadTextFile(*path, text);
    if (!read.ok) {
        ctx.View().ShowError(read.errorText);
        return false;
    }
    const ParamFileReadResult taken = ReadParamFileText(text, ctx.table, ctx.values);
    if (!taken.ok) {
        // The records before the failure are taken over: the grid shows them (marked as not
        // on the sensor), so that no value it does not show is sent by a later Load All.
        if (ctx.grid.Built()) ctx.RebuildGrid();
        ctx.View().ShowError("Parameter file '" + *path + "', " + taken.errorText);
        return false;
    }
    ctx.RebuildGrid();
    return true;
}

}  // namespace veska::params
