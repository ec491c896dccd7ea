#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "acquire/SampleBuffer.h"
#include "lang/NumberFormat.h"

using veska::acquire::SampleBuffer;
using veska::lang::FormatFixed;

namespace {

int LineCount(const std::string& text) {
    int lines = 0;
    for (size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++lines;
    return lines;
}

}  // namespace

TEST(SampleBufferStream, FirstSampleAtZeroAndWrapAfter65536) {
    auto buffer = std::make_unique<SampleBuffer>();
    buffer->Reset();
    EXPECT_EQ(buffer->AppendNewest(1.0f), 0);
    for (int i = 1; i < SampleBuffer::kSize; ++i) buffer->AppendNewest(float(i));
    EXPECT_EQ(buffer->Index(), 65535);
    EXPECT_FALSE(buffer->Wrapped());
    EXPECT_EQ(buffer->AppendNewest(7.0f), 0);  // the 65537th lands at 0 again
    EXPECT_TRUE(buffer->Wrapped());
    EXPECT_FLOAT_EQ(buffer->At(0), 7.0f);
}

TEST(SampleBufferMeasure, IndexPointsOnePastTheNewest) {
    auto buffer = std::make_unique<SampleBuffer>();
    buffer->Reset();
    EXPECT_EQ(buffer->AppendOnePast(1.0f), 0);
    buffer->AppendOnePast(2.0f);
    buffer->AppendOnePast(3.0f);
    EXPECT_EQ(buffer->Index(), 3);
    std::string text;
    buffer->ExportLines(text);
    EXPECT_EQ(text, "1.000\r\n2.000\r\n3.000\r\n");

    for (int i = 3; i < SampleBuffer::kSize; ++i) buffer->AppendOnePast(0.0f);
    EXPECT_TRUE(buffer->Wrapped());
    EXPECT_EQ(buffer->Index(), 0);
}

TEST(SampleBufferExport, WritesOldestFirstWithoutTheSampleAtTheIndex) {
    auto buffer = std::make_unique<SampleBuffer>();
    std::string text;
    buffer->Reset();
    buffer->ExportLines(text);
    EXPECT_EQ(text, "") << "an empty ring exports nothing";

    for (int i = 0; i < 5; ++i) buffer->AppendNewest(float(i));  // indices 0..4
    buffer->ExportLines(text);
    EXPECT_EQ(text, "0.000\r\n1.000\r\n2.000\r\n3.000\r\n");

    buffer->Reset();
    for (int i = 0; i < SampleBuffer::kSize + 10; ++i) buffer->AppendNewest(float(i % 100));
    ASSERT_EQ(buffer->Index(), 9);
    text.clear();
    buffer->ExportLines(text);
    EXPECT_EQ(LineCount(text), 65535);
    EXPECT_EQ(text.substr(0, 8), "10.000\r\n") << "starts at the index after the newest";

    buffer->Reset();
    for (int i = 0; i < SampleBuffer::kSize; ++i) buffer->AppendNewest(1.0f);
    buffer->AppendNewest(1.0f);
    for (int i = 1; i < SampleBuffer::kSize; ++i) buffer->AppendNewest(2.0f);
    ASSERT_EQ(buffer->Index(), 65535);
    text.clear();
    buffer->ExportLines(text);
    EXPECT_EQ(text.substr(0, 7), "1.000\r\n") << "wrapped at 65535: starts at index 0";
    EXPECT_EQ(LineCount(text), 65535);
}

TEST(SampleBufferExport, TheSpanNamesTheFirstSampleWrittenUnderEitherRule) {
    auto buffer = std::make_unique<SampleBuffer>();
    buffer->Reset();
    EXPECT_EQ(buffer->ExportSpan().count, 0);
    for (int i = 0; i < 5; ++i) buffer->AppendNewest(float(i));
    EXPECT_EQ(buffer->ExportSpan().count, 4);
    EXPECT_EQ(buffer->ExportSpan().firstNumber, 0u);

    // Measurement rule, wrapped twice over: the position at the index holds the oldest
    // sample, which the export leaves out; every value equals its sample number.
    buffer->Reset();
    const int total = 2 * SampleBuffer::kSize + 7;
    for (int i = 0; i < total; ++i) buffer->AppendOnePast(float(i));
    const auto span = buffer->ExportSpan();
    EXPECT_EQ(buffer->Appended(), static_cast<uint64_t>(total));
    EXPECT_EQ(span.count, 65535);
    EXPECT_EQ(span.firstNumber, static_cast<uint64_t>(total - 65535));
    EXPECT_FLOAT_EQ(buffer->At(span.first), float(span.firstNumber));
    EXPECT_FLOAT_EQ(buffer->At(span.first + span.count - 1), float(total - 1));
}

TEST(SampleBufferExport, FileIsReplacedWholeOrNotAtAll) {
    auto buffer = std::make_unique<SampleBuffer>();
    buffer->Reset();
    buffer->AppendOnePast(12.345f);
    buffer->AppendOnePast(-0.5f);
    const std::string path = ::testing::TempDir() + "/veska_export.txt";
    std::string error;
    ASSERT_TRUE(buffer->ExportToFile(path, error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "12.345\r\n-0.500\r\n");

    EXPECT_FALSE(buffer->ExportToFile("/nonexistent-dir/data.txt", error));
    EXPECT_NE(error.find("/nonexistent-dir/data.txt"), std::string::npos) << error;
    std::remove(path.c_str());
}

TEST(NumberFormat, FixedNotationWithTenSignificantDigits) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {12.345, 3, "12.345"}, {-0.5, 3, "-0.500"},        {0.0, 3, "0.000"},
        {-0.0001, 3, "0.000"}, {1234.0, 0, "1234"},        {123456789.123, 3, "123456789.100"},
        {2.5, 4, "2.5000"},    {65535.0, 4, "65535.0000"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
}
