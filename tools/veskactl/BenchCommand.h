#pragma once
#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "acquire/SampleBuffer.h"
#include "bench/ModeTable.h"
#include "bench/RunFrame.h"
#include "main/ProgramState.h"

namespace veska::tools {

/// How a headless bench run ended.
enum class RunEnd {
    Self,         ///< the mode ended its own run
    TimeLimit,    ///< --seconds ran out; the run was stopped as the Measure button does
    Interrupted,  ///< SIGINT or SIGTERM; stopped as the Measure button does
    Failure,      ///< an error box, an error display or a refused confirmation; stopped
    Lost,         ///< the answer watchdog lost the sensor and abandoned the run
};

/// "self", "time limit", "interrupted", "failure", "sensor lost".
const char* RunEndName(RunEnd end);

/// True for the modes that run until they are stopped: the plain modes, Pulse, AL_Check,
/// Laser_Adjustment. A mode without bound steps never ends by itself either.
bool RunsUntilStopped(int32_t code);

/// The mode a command-line word names: a caption of the mode list (compared without regard
/// to case) or a mode code in decimal. Null when it names none.
const bench::ModeRow* ResolveMode(const std::string& word);
/// The captions of the mode list, comma-separated, in the list's order.
std::string AllowedCaptions();

/// Values in the ring: 65536 once wrapped, else the positions before the index.
int32_t RingCount(const acquire::SampleBuffer& samples);
/// ISO 8601 in UTC with milliseconds: "2026-12-09T15:47:06.123Z".
std::string IsoUtc(std::chrono::system_clock::time_point time);

/// What the record of one run says beyond the program state and the run state.
struct RunRecord {
    const bench::ModeRow* row = nullptr;
    RunEnd end = RunEnd::Self;
    bool completed = false;
    std::string started;  ///< ISO 8601 UTC
    std::string ended;    ///< ISO 8601 UTC
    std::optional<double> secondsLimit;
    std::vector<std::string> messages;  ///< error boxes and displays shown during the run
};

/// The sensor's identity: type, serial, release, base [mm], range [mm].
nlohmann::ordered_json SensorJson(const link::DeviceInfo& info);
/// The motion timing of the run: the motor record that fits the sensor, the step period
/// [us], the sample step [mm] and the encoder averaging, as the run start computed them.
nlohmann::ordered_json MotionJson(const bench::RunState& run, const params::ConnectionState& conn);
/// The whole machine-readable record of a run.
nlohmann::ordered_json RecordJson(const RunRecord& record, const main::ProgramState& state,
                                  const bench::RunState& run);

}  // namespace veska::tools
