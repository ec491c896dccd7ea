#pragma once
#include <cstdint>

#include "main/MeasurementCycle.h"
#include "main/ProgramState.h"

namespace veska::testing {

/// Runs the bench mode code as the Measure button does, ticking the main timer until the run
/// ends by itself; a run still going after maxTicks is stopped as the button stops it. True
/// when the run ended by itself.
inline bool RunBenchMode(main::ProgramState& state, main::MeasurementCycle& cycle, int32_t code,
                         int maxTicks = 200000) {
    state.benchModeCode = code;
    cycle.ToggleMeasure();
    for (int i = 0; i < maxTicks && cycle.Running(); ++i) cycle.TimerMainTimer();
    if (!cycle.Running()) return true;
    cycle.ToggleMeasure();
    return false;
}

}  // namespace veska::testing
