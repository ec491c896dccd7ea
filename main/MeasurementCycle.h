#pragma once
#include <cstdint>

#include "link/MorlaInterface.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "params/ParamTransfer.h"
#include "platform/Clock.h"

namespace veska::main {

class StreamAcquisition;

/// The steps a bench mode adds to a run. The bench (a later layer) implements them; until
/// then NoBenchModes runs none, and every device it would use answers "absent".
class BenchHooks {
public:
    virtual ~BenchHooks() = default;
    /// Motion timing of every run start (step period, encoder averaging).
    virtual void ComputeMotionTiming() {}
    virtual void StartSteps(int32_t /*mode*/) {}
    /// One tick of a bench mode; returns true when the mode stopped the run itself.
    virtual bool TickStep(int32_t /*mode*/) { return false; }
    virtual void StopSteps(int32_t /*mode*/) {}
    /// Encoder: open at the working rate; false when absent.
    virtual bool OpenEncoderPort() { return false; }
    /// Encoder reading [mm]; false when absent.
    virtual bool ReadEncoderPosition(float& /*positionMm*/) { return false; }
    virtual void CloseEncoderPort() {}
    virtual int32_t MaskMotorOutputs(uint16_t /*mask*/) { return 2; }
    virtual void CloseMotorPort() {}
    /// Analog board.
    virtual void StartSweep() {}
    virtual void UpdateBoardReading(bool /*show*/) {}
    virtual void StopBoard() {}
};

/// Measurement run: ToggleMeasure starts and stops, TimerMainTimer is one tick.
class MeasurementCycle {
public:
    MeasurementCycle(ProgramState& state, MainView& view, link::TMORLAInterface& sensor,
                     params::ParamTransfer& params, platform::Clock& clock, BenchHooks& bench,
                     StreamAcquisition& stream);

    void ToggleMeasure();
    void TimerMainTimer();
    /// One result for this tick; true when a value is available (the retry budget bridges
    /// up to five failed requests with the last value).
    bool FetchResult();
    bool ReadEncoderPosition();
    bool Running() const { return running_; }

    /// Refreshes the identity as the connect sequence does (the run start's first step).
    /// Set by the main window.
    std::function<void()> refreshIdentity;

    // Run state read by tests and the bench.
    int32_t resultRetryBudget = 5;
    uint32_t pointNumber = 0;
    bool firstTickPending = true;
    float resultMin = 65535.0f;
    float resultMax = 0.0f;
    float encoderPosition = 0.0f;
    int32_t tickPhase = 0;  ///< Tag of TimerMain: step counter of the bench modes

private:
    void Start();
    void Stop();
    void StepPlain(int32_t mode);

    ProgramState& state_;
    MainView& view_;
    link::TMORLAInterface& sensor_;
    params::ParamTransfer& params_;
    platform::Clock& clock_;
    BenchHooks& bench_;
    StreamAcquisition& stream_;
    bool running_ = false;
};

}  // namespace veska::main
