#include "acquire/CsvExport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace veska::acquire {
namespace {

std::string Lines(const std::string& text, size_t first, size_t count) {
    size_t start = 0;
    for (size_t i = 0; i < first; ++i) start = text.find("\r\n", start) + 2;
    size_t end = start;
    for (size_t i = 0; i < count; ++i) end = text.find("\r\n", end) + 2;
    return text.substr(start, end - start);
}

TEST(CsvExport, HeaderNamesTheSensorModeOffsetAndStart) {
    const auto buffer = std::make_unique<SampleBuffer>();
    CsvHeader header{1234, "Distance, mm", -0.5, "2026-12-09 15:04:05", 0.0};
    EXPECT_EQ(CsvText(*buffer, header),
              "Serial number,1234,Mode,\"Distance, mm\",Zero offset,-0.500,Start,"
              "2026-12-09 15:04:05\r\nIndex,Time [s],Value\r\n");
    header.modeCaption = "say \"hi\"";
    EXPECT_NE(CsvText(*buffer, header).find(",Mode,\"say \"\"hi\"\"\",Zero"), std::string::npos);
}

TEST(CsvExport, StreamRowsCarryTheTimeFromTheLineRate) {
    const auto buffer = std::make_unique<SampleBuffer>();
    for (const float v : {10.0f, 10.5f, 11.25f, 12.0f}) buffer->AppendNewest(v);
    CsvHeader header;
    header.sampleInterval = StreamSampleInterval(115200);
    const std::string text = CsvText(*buffer, header);
    // The same samples as the plain export: the one at the index is left out.
    EXPECT_EQ(Lines(text, 2, 3), "0,0.000000,10.000\r\n1,0.000382,10.500\r\n2,0.000764,11.250\r\n");
    EXPECT_EQ(text.size(), Lines(text, 0, 5).size());
    EXPECT_DOUBLE_EQ(StreamSampleInterval(44), 1.0);
    EXPECT_EQ(StreamSampleInterval(0), 0.0);
}

TEST(CsvExport, UnknownIntervalLeavesTheTimeCellEmptyAndAWrappedRingStartsAtTheOldest) {
    const auto buffer = std::make_unique<SampleBuffer>();
    for (int32_t i = 0; i < SampleBuffer::kSize + 3; ++i) {
        buffer->AppendNewest(static_cast<float>(i));
    }
    const std::string text = CsvText(*buffer, CsvHeader{});
    EXPECT_EQ(Lines(text, 2, 1), "0,,3.000\r\n");
    std::string plain;
    buffer->ExportLines(plain);
    const size_t rows = static_cast<size_t>(std::count(plain.begin(), plain.end(), '\n'));
    EXPECT_EQ(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), rows + 2);
}

TEST(CsvExport, AFileThatCannotBeWrittenIsReported) {
    const auto buffer = std::make_unique<SampleBuffer>();
    std::string error;
    EXPECT_FALSE(WriteCsvFile("/nonexistent/dir/x.csv", *buffer, CsvHeader{}, error));
    EXPECT_NE(error.find("/nonexistent/dir/x.csv"), std::string::npos);
}

}  // namespace
}  // namespace veska::acquire
