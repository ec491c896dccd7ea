#pragma once
#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "bench/ModeTable.h"
#include "bench/RunFrame.h"
#include "link/MorlaInterface.h"
#include "params/ConnectionState.h"

namespace veska::bench {

/// ISO 8601 in UTC with milliseconds: "2026-12-09T15:47:06.123Z".
std::string IsoUtc(std::chrono::system_clock::time_point time);

/// The stem every file of one run starts with: "<serial>_<caption>_<YYYYMMDD-HHMMSS>" (local
/// time of the run's start), so that no run's files replace another's.
std::string RunFileStem(uint32_t serial, const std::string& caption,
                        std::chrono::system_clock::time_point start);

/// What the record of one run says beyond the connection and the run state.
struct RunRecord {
    const ModeRow* row = nullptr;
    std::string end = "self";  ///< how the run loop ended ("self", "stopped", "time limit", ...)
    std::string started;       ///< ISO 8601 UTC
    std::string ended;         ///< ISO 8601 UTC
    std::optional<double> secondsLimit;
    std::vector<std::string> messages;  ///< error boxes and displays shown during the run
};

/// The sensor's identity: type, serial, release, base [mm], range [mm].
nlohmann::ordered_json SensorJson(const link::DeviceInfo& info);
/// The motion timing of the run: the motor record that fits the sensor, the step period
/// [us], the sample step [mm] and the encoder averaging, as the run start computed them.
nlohmann::ordered_json MotionJson(const RunState& run, const params::ConnectionState& conn);
/// Named results; whole numbers (counts, levels) as integers.
nlohmann::ordered_json ResultsJson(const std::map<std::string, double>& results);
/// The whole machine-readable record of a run; samples is the number of samples recorded.
nlohmann::ordered_json RecordJson(const RunRecord& record, const params::ConnectionState& conn,
                                  const RunState& run, int32_t samples);
/// The record as the text of its file (two-space indentation, a line end at the end).
std::string RecordText(const nlohmann::ordered_json& record);

/// A run stopped by its time limit: one of a mode that ends by itself did not reach its end
/// and is stopped; one of a mode that runs until stopped keeps its outcome.
void ConcludeTimeLimit(RunState& run, bool endsByItself);

/// The run's end for the operator: "<caption>: <outcome>" with the reason, the figure of a
/// verification and the table's state of a calibration.
std::string RunEndLine(const ModeRow& row, const RunState& run);

}  // namespace veska::bench
