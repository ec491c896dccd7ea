#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "acquire/SampleBuffer.h"

namespace veska::acquire {

/// What the first line of a CSV file says about the samples below it.
struct CsvHeader {
    uint16_t serialNumber = 0;
    std::string modeCaption;  ///< the mode as the window names it
    double zeroOffset = 0.0;  ///< [mm]
    std::string startTime;    ///< when the samples began, e.g. "2026-12-09 15:04:05"
    /// [s] between two samples of a stream; 0: a polled run, whose times are the ring's
    /// stamps (time cells empty where a sample has none)
    double sampleInterval = 0.0;
};

/// "YYYY-MM-DD hh:mm:ss" in local time, for CsvHeader::startTime.
std::string LocalTimeText(std::chrono::system_clock::time_point time);

/// Time between two stream samples at a line rate [s]: a sample is 4 bytes of 11 bits.
double StreamSampleInterval(uint32_t baud);

/// A CSV text (comma-separated, CRLF line ends, point decimals) of the ring's samples, the
/// same samples as ExportLines in the same order (one snapshot): the header line
///   Serial number,S,Mode,M,Zero offset,Z,Start,T,Samples,n,First sample,F,Last sample,L,
///   First time [s],tF,Last time [s],tL
/// (from "First sample" on only when n > 0), the column line "Index,Time [s],Value", then one
/// row per sample "i,t,v". i is the sample's number since the start (a wrapped ring's first
/// row is not 0), t its time since the start [s]: i x sampleInterval for a stream, the stamp
/// of a polled sample, empty when unknown. Text cells with a comma, a quote or a line break
/// are quoted.
std::string CsvText(const SampleBuffer& buffer, const CsvHeader& header);

/// Writes CsvText to path, replacing a file only by a complete new one. False with a
/// message in error when it cannot be written.
bool WriteCsvFile(const std::string& path, const SampleBuffer& buffer, const CsvHeader& header,
                  std::string& error);

}  // namespace veska::acquire
