#include "acquire/CsvExport.h"

#include <ctime>

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
    std::string out = "Serial number," + std::to_string(header.serialNumber) + ",Mode," +
                      CsvCell(header.modeCaption) + ",Zero offset," +
                      lang::FormatFixed(header.zeroOffset, 3) + ",Start," +
                      CsvCell(header.startTime) + "\r\nIndex,Time [s],Value\r\n";
    // One snapshot, as the export takes it: a stream may go on appending.
    const int32_t end = buffer.Index();
    const bool wrapped = buffer.Wrapped();
    if (end < 0) return out;
    int32_t position = wrapped ? (end + 1) % SampleBuffer::kSize : 0;
    for (int64_t i = 0; position != end; ++i) {
        out += std::to_string(i);
        out += ',';
        if (header.sampleInterval > 0.0) {
            out += lang::FormatFixed(static_cast<double>(i) * header.sampleInterval, 6);
        }
        out += ',';
        out += lang::FormatFixed(buffer.At(position), 3);
        out += "\r\n";
        position = (position + 1) % SampleBuffer::kSize;
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
