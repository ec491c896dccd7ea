#pragma once
#include "bench/VerificationReport.h"

namespace veska::bench {
class RunFrame;
}

namespace veska::analog {

/// The analog half of the verification report, after the digital half: everything the board
/// recorded since the sweep's StartLive (ReadAll into a 524,288-byte buffer), evaluated with
/// the board's coefficients, the sweep's sampleStep and the sensor's range; the deviation
/// curve on the chart (cleared first), the title "s/n <serial>", the left axis and the foot
/// "<MESSAGE Item_30>: <figure, 3 decimals>"; the files "<serial>_Analog.pvk" (proposed in
/// the save dialog) and "<serial>_Analog_pvk.bmp"; the result "analog_figure_percent" [%].
/// Without an open board nothing happens; a recording without a usable span (4 V or less,
/// no valid voltage) leaves a note and writes nothing. True when the report was made.
bool WriteAnalogReport(bench::RunFrame& frame);

/// WriteAnalogReport as the hook that bench::BenchModes::SetAnalogEvaluation takes.
bench::AnalogEvaluation AnalogVerification();

}  // namespace veska::analog
