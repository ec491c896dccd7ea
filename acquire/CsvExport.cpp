#include "acquire/CsvExport.h"

#include <ctime>
#include <optional>

#include "lang/NumberFormat.h"
#include "platform/FileIo.h"

namespace veska::acquire {

namespace {

constexpr double kStreamBitsPerSample = 44.0;  // 4 bytes, 11 bits each on the line

std::string CsvCell(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"') quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

}  // namespace

std::string LocalTimeText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm local{};
    if (localtime_r(&seconds, &local) == nullptr) return {};
    char text[32];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return std::string(text, n);
}

double StreamSampleInterval(uint32_t baud) { return baud == 0 ? 0.0 : kStreamBitsPerSample / baud; }

std::string CsvText(const SampleBuffer& buffer, const CsvHeader& header) {
    // One snapshot, as the export takes it: a stream may go on appending.
    const SampleSpan span = buffer.ExportSpan();
    auto timeOf = [&](int32_t row) -> std::string {
        if (header.sampleInterval > 0.0) {
            return lang::FormatFixed(
                static_cast<double>(span.firstNumber + static_cast<uint64_t>(row)) *
                    header.sampleInterval,
                6);
        }
        const std::optional<double> stamp = buffer.StampedTime(span.first + row);
        return stamp ? lang::FormatFixed(*stamp, 6) : std::string();
    };

    std::string out = "Serial number," + std::to_string(header.serialNumber) + ",Mode," +
                      CsvCell(header.modeCaption) + ",Zero offset," +
                      lang::FormatFixed(header.zeroOffset, 3) + ",Start," +
                      CsvCell(header.startTime) + ",Samples," + std::to_string(span.count);
    if (span.count > 0) {
        const uint64_t last = span.firstNumber + static_cast<uint64_t>(span.count) - 1;
        out += ",First sample," + std::to_string(span.firstNumber) + ",Last sample," +
               std::to_string(last) + ",First time [s]," + timeOf(0) + ",Last time [s]," +
               timeOf(span.count - 1);
    }
    out += "\r\nIndex,Time [s],Value\r\n";
    out.reserve(out.size() + static_cast<size_t>(span.count) * 28);
    for (int32_t row = 0; row < span.count; ++row) {
        out += std::to_string(span.firstNumber + static_cast<uint64_t>(row));
        out += ',';
        out += timeOf(row);
        out += ',';
        out += lang::FormatFixed(buffer.At(span.first + row), 3);
        out += "\r\n";
    }
    return out;
}

bool WriteCsvFile(const std::string& path, const SampleBuffer& buffer, const CsvHeader& header,
                  std::string& error) {
    std::string reason;
    if (platform::ReplaceFile(path, CsvText(buffer, header), reason)) return true;
    error = "Cannot write the CSV file '" + path + "': " + reason + ".";
    return false;
}

}  // namespace veska::acquire
