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
              "2026-12-09 15:04:05,Samples,0\r\nIndex,Time [s],Value\r\n");
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

TEST(CsvExport, AWrappedStreamIsNumberedAndTimedFromItsStartAndTheHeaderNamesTheSamples) {
    const auto buffer = std::make_unique<SampleBuffer>();
    // 100,000 samples: the ring holds the newest 65536, the export the 65535 before the newest.
    for (int32_t i = 0; i < 100000; ++i) buffer->AppendNewest(static_cast<float>(i % 1000));
    CsvHeader header;
    header.sampleInterval = 0.5;
    const std::string text = CsvText(*buffer, header);
    EXPECT_NE(text.find(",Samples,65535,First sample,34464,Last sample,99998,"
                        "First time [s],17232.000000,Last time [s],49999.000000\r\n"),
              std::string::npos)
        << Lines(text, 0, 1);
    EXPECT_EQ(Lines(text, 2, 2), "34464,17232.000000,464.000\r\n34465,17232.500000,465.000\r\n");
    EXPECT_EQ(Lines(text, 65536, 1), "99998,49999.000000,998.000\r\n");

    std::string plain;
    buffer->ExportLines(plain);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'),
              std::count(plain.begin(), plain.end(), '\n') + 2);

    // Without a rate or stamps the time cells stay empty; the numbers are still true.
    EXPECT_EQ(Lines(CsvText(*buffer, CsvHeader{}), 2, 1), "34464,,464.000\r\n");
}

TEST(CsvExport, APolledRunCarriesTheTimeEachSampleWasTaken) {
    const auto buffer = std::make_unique<SampleBuffer>();
    platform::FakeClock clock;
    clock.now = 5000;
    buffer->Reset();
    buffer->StampTimes(clock);
    for (const uint32_t step : {3u, 2u, 7u}) {
        clock.now += step;
        buffer->AppendOnePast(static_cast<float>(clock.now));
    }
    const std::string text = CsvText(*buffer, CsvHeader{});
    EXPECT_EQ(Lines(text, 2, 3),
              "0,0.003000,5003.000\r\n1,0.005000,5005.000\r\n2,0.012000,5012.000\r\n");
    EXPECT_NE(text.find(",Samples,3,First sample,0,Last sample,2,First time [s],0.003000,"
                        "Last time [s],0.012000\r\n"),
              std::string::npos);

    // A stream after it is timed by its rate only: its reset drops the stamps.
    buffer->Reset();
    for (int i = 0; i < 3; ++i) buffer->AppendNewest(1.0f);
    EXPECT_EQ(Lines(CsvText(*buffer, CsvHeader{}), 2, 1), "0,,1.000\r\n");
}

TEST(CsvExport, AFileThatCannotBeWrittenIsReported) {
    const auto buffer = std::make_unique<SampleBuffer>();
    std::string error;
    EXPECT_FALSE(WriteCsvFile("/nonexistent/dir/x.csv", *buffer, CsvHeader{}, error));
    EXPECT_NE(error.find("/nonexistent/dir/x.csv"), std::string::npos);
}

}  // namespace
}  // namespace veska::acquire
