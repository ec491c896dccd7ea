#pragma once
#include <cstdint>
#include <string>

#include "bench/ModeTable.h"

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

}  // namespace veska::tools
