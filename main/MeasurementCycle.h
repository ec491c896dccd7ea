#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/MorlaInterface.h"
#include "main/MainView.h"
#include "main/ProgramState.h"
#include "params/ParamTransfer.h"
#include "platform/Clock.h"

namespace veska::main {

class StreamAcquisition;

/// Mode codes of the factory bench that the measurement cycle itself looks at.
enum BenchModeCode : int32_t {
    kModePulse = 128,
    kModeCalibration = 129,
    kModeSynchroCalibration = 130,
    kModePoverka = 131,
    kModeSynchroPoverka = 132,
    kModeInCheck = 142,
    kModeAlCheck = 143,
    kModeStreamFrqCheck = 144,
    kModeHomePulse = 145,
    kModeEndPulse = 146,
    kModeScan = 147,
    kModeLaserAdjustment = 148,
};

/// The steps a bench mode adds to a run. The bench (a later layer) implements them; until
/// then NoBenchModes runs none, and every device it would use answers "absent".
class BenchHooks {
  public:
    virtual ~BenchHooks() = default;
    /// Motion timing of every run start (step period, encoder averaging) and the encoder
    /// line rate of the run (460800 bit/s).
    virtual void ComputeMotionTiming() {}
    virtual void StartSteps(int32_t /*mode*/) {}
    /// One tick of a bench mode; returns true when the mode stopped the run itself.
    virtual bool TickStep(int32_t /*mode*/) { return false; }
    virtual void StopSteps(int32_t /*mode*/) {}
    /// Encoder: open at the working rate; false when absent.
    virtual bool OpenEncoderPort() { return false; }
    /// Encoder reading [mm]; false when absent or when the read failed.
    virtual bool ReadEncoderPosition(float& /*positionMm*/) { return false; }
    virtual void CloseEncoderPort() {}
    /// Motor outputs mask; the status of the motor link (2: port not open).
    virtual int32_t MaskMotorOutputs(uint16_t /*mask*/) { return 2; }
    virtual void CloseMotorPort() {}
    /// Analog board.
    virtual void StartSweep() {}
    virtual void UpdateBoardReading(bool /*show*/) {}
    virtual void StopBoard() {}
};

/// The delivered build: no bench mode steps, no encoder, no motor, no analog board.
class NoBenchModes final : public BenchHooks {};

/// Measurement run: ToggleMeasure starts and stops, TimerMainTimer is one tick. Runs on the
/// interface thread only. A tick costs one sensor exchange plus one chart point and one
/// repaint request, whatever the number of points already on the chart.
class MeasurementCycle {
  public:
    /// Entries of the profile capture (one per pixel of the largest profile).
    static constexpr int kProfileEntries = link::TMORLAInterface::kVideoAreaBytes / 2;
    /// Failed result requests a run bridges with the last value.
    static constexpr int16_t kRetryBudget = 5;

    MeasurementCycle(ProgramState& state, MainView& view, link::TMORLAInterface& sensor,
                     params::ParamTransfer& params, platform::Clock& clock, BenchHooks& bench,
                     StreamAcquisition& stream);

    void ToggleMeasure();
    void TimerMainTimer();
    /// The sensor was lost (answer watchdog): the run ends without another exchange, so
    /// that the next click on Measure starts a new one.
    void AbandonRun();
    /// One result for this tick; true when a value is available (the retry budget bridges
    /// up to five failed requests with the last value).
    bool FetchResult();
    bool ReadEncoderPosition();
    bool Running() const { return running_; }

    /// Replaces the run start's identity refresh (tests count it); when null the start
    /// refreshes the identity as the connect sequence does (RefreshIdentity).
    std::function<void()> refreshIdentity;

    // Run state read by tests and the bench.
    int16_t resultRetryBudget = kRetryBudget;
    uint32_t pointNumber = 0;
    bool firstTickPending = true;
    float resultMin = 65535.0f;
    float resultMax = 0.0f;
    float encoderPosition = 0.0f;  ///< [mm]
    int32_t tickPhase = 0;         ///< Tag of TimerMain: step counter of the bench modes
    /// Second ring beside the sample buffer (same indexing): encoder positions [mm] of the
    /// calibration runs. Cleared at every run start.
    std::vector<float> encoderBuffer = std::vector<float>(SampleBuffer::kSize, 0.0f);

    // Profile capture of Pulse mode, exported by "Save data to file" in that mode.
    bool captureProfile = true;  ///< the next profile read is copied into profileSamples
    std::array<int32_t, kProfileEntries> profileSamples{};
    int32_t profileLast = 0;  ///< index of the last valid entry of profileSamples
    /// The window's copy of the last profile read (the whole video area).
    std::array<uint8_t, link::TMORLAInterface::kVideoAreaBytes> profileCopy{};

  private:
    void Start();
    void Stop();
    void IdentifyForRun();
    void SendModeOfRun(int32_t value);
    void StepPlain(int32_t mode);
    void ReadProfile();
    void ShowRunExtremes();

    ProgramState& state_;
    MainView& view_;
    link::TMORLAInterface& sensor_;
    params::ParamTransfer& params_;
    platform::Clock& clock_;
    BenchHooks& bench_;
    StreamAcquisition& stream_;
    bool running_ = false;  ///< Tag of ButtonMeasure
};

/// Fixed notation with the given significant digits and decimals, point as separator
/// (the bench read-outs use 8 digits and 4 decimals). Exponent notation when the integer
/// part needs more digits than the precision.
std::string FormatFixedPrecision(double value, int precision, int decimals);

}  // namespace veska::main
