#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "acquire/SampleBuffer.h"

namespace veska::acquire {

/// What the first line of a CSV file says about the samples below it.
struct CsvHeader {
    uint16_t serialNumber = 0;
    std::string modeCaption;      ///< the mode as the window names it
    double zeroOffset = 0.0;      ///< [mm]
    std::string startTime;        ///< when the samples began, e.g. "2026-12-09 15:04:05"
    double sampleInterval = 0.0;  ///< [s] between two samples; 0: unknown, time cells empty
};

/// "YYYY-MM-DD hh:mm:ss" in local time, for CsvHeader::startTime.
std::string LocalTimeText(std::chrono::system_clock::time_point time);

/// Time between two stream samples at a line rate [s]: a sample is 4 bytes of 11 bits.
double StreamSampleInterval(uint32_t baud);

/// A CSV text (comma-separated, CRLF line ends, point decimals) of the ring's samples, the
/// same samples as ExportLines in the same order: the header line
///   Serial number,S,Mode,M,Zero offset,Z,Start,T
/// the column line "Index,Time [s],Value", then one row per sample "i,t,v" with i from 0 and
/// t = i x sampleInterval. Text cells with a comma, a quote or a line break are quoted.
std::string CsvText(const SampleBuffer& buffer, const CsvHeader& header);

/// Writes CsvText to path, replacing a file only by a complete new one. False with a
/// message in error when it cannot be written.
bool WriteCsvFile(const std::string& path, const SampleBuffer& buffer, const CsvHeader& header,
                  std::string& error);

}  // namespace veska::acquire
