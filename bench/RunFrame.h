#pragma once
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "acquire/SampleBuffer.h"
#include "acquire/SampleStream.h"
#include "bench/BenchDevices.h"
#include "bench/ModeTable.h"
#include "bench/MotionTiming.h"
#include "bench/MotorTable.h"
#include "bench/RunOutcome.h"
#include "bench/RunView.h"
#include "link/MorlaInterface.h"
#include "params/SensorSession.h"
#include "platform/Clock.h"

namespace veska::bench {

/// The state of a measurement run that the frame and the mode steps share. The frame resets
/// it at every run start as noted.
struct RunState {
    /// Entries of the profile capture (one per pixel of the largest profile).
    static constexpr int kProfileEntries = link::TMORLAInterface::kVideoAreaBytes / 2;

    int32_t mode = kModeLine;      ///< measureMode of the run (kept after the stop)
    int32_t tickPhase = 0;         ///< step counter of the bench modes; 0 at start
    bool firstTickPending = true;  ///< true until the end of the run's first tick
    uint32_t pointNumber = 0;      ///< label of the next chart point of the plain steps
    float resultMin = 65535.0f;    ///< run minimum while no encoder is present
    float resultMax = 0.0f;        ///< run maximum while no encoder is present
    float encoderPosition = 0.0f;  ///< [mm], kept across runs
    bool encoderPresent = false;   ///< set by the encoder open of a Line run
    /// encoderBuffer holds an encoder position for every sample (a stepping sweep with the
    /// encoder present); else the table and the report take the nominal stage positions.
    bool encoderRecorded = false;
    /// Second ring beside the sample buffer (same indexing): encoder positions [mm] of the
    /// calibration runs. Cleared at every run start.
    std::vector<float> encoderBuffer = std::vector<float>(acquire::SampleBuffer::kSize, 0.0f);

    // Profile capture of the Pulse modes, exported by "Save data to file" in mode 128.
    bool captureProfile = true;  ///< the next profile read is copied into profileSamples
    std::array<int32_t, kProfileEntries> profileSamples{};
    int32_t profileLast = 0;  ///< index of the last valid entry of profileSamples
    /// The window's copy of the last profile read (the whole video area).
    std::array<uint8_t, link::TMORLAInterface::kVideoAreaBytes> profileCopy{};

    // Stage values of the bench runs.
    MotionTiming timing;      ///< computed by the frame at every run start
    uint32_t stepCount = 0;   ///< steps per increment of the stepping runs
    float sampleStep = 0.0f;  ///< [mm] travel per recorded sample

    // What the run found and wrote, for its record (the headless runs write them out). All
    // are cleared at every run start.
    std::map<std::string, double> results;  ///< named results, e.g. "figure_percent"
    std::vector<std::string> files;         ///< files the run wrote
    std::vector<std::string> notes;         ///< statuses and messages that ended a step early
    /// How the run measured, for its record (e.g. "reference": "encoder" or "nominal").
    std::map<std::string, std::string> method;

    /// The stem of every file of the run: "<serial>_<caption>_<start time>".
    std::string stem;
    /// How the run ended and why; Passed at every run start.
    RunVerdict verdict;
    /// What the run does now ("homing", "recording", "uploading", ...); empty when idle.
    std::string activity;
    /// Samples the run records in all (0 when it has no fixed count).
    int32_t expectedSamples = 0;
    /// The operator (or a signal) stopped the run; set by the frame before the stop steps.
    bool stopRequested = false;

    /// Concludes the run with outcome (when worse than the present one) and notes why, once:
    /// a reason the run already noted is not noted again.
    void Conclude(RunOutcome outcome, const std::string& why) {
        if (std::find(notes.begin(), notes.end(), why) == notes.end()) notes.push_back(why);
        verdict.Conclude(outcome, why);
    }
};

/// What the run frame offers a mode's steps. A step that ends its own run calls EndRun
/// once; the frame then keeps its tick timer off. Everything runs on the frame's thread.
class RunFrame {
  public:
    virtual ~RunFrame() = default;
    /// One result for this tick, converted by the mode's row; true when a value is
    /// available. A failed request gives none (the read-out says so); up to five in a row
    /// are kept from the watchdog.
    virtual bool FetchResult() = 0;
    /// One encoder reading onto the read-outs when the encoder is present; true when
    /// encoderPosition was updated.
    virtual bool ReadEncoderPosition() = 0;
    /// Opens the motor port of the bench form's choice; a failure is shown in a message box.
    /// True when open.
    virtual bool OpenMotorPort() = 0;
    /// Opens the encoder for the sensor's range: sets encoderPresent, enables the two encoder
    /// read-outs exactly when it is present, shows no message. Returns encoderPresent.
    virtual bool OpenEncoderPort() = 0;
    /// Stops the run from inside a tick (the stop sequence, the mode's stop steps included).
    virtual void EndRun() = 0;
    /// The interval of the tick timer [ms].
    virtual void SetTickInterval(int milliseconds) = 0;
    /// True once the operator or a signal asked the run to stop while a tick runs: a step
    /// that loops within one tick returns at its next safe point, and the frame stops the run
    /// right after the tick. An upload or files under way are finished first.
    virtual bool StopPending() { return false; }

    virtual RunState& Run() = 0;
    virtual const ModeRow& Row() const = 0;
    virtual acquire::SampleBuffer& Samples() = 0;
    virtual std::atomic<float>& CurrentValue() = 0;
    virtual std::atomic<float>& ZeroOffset() = 0;
    virtual acquire::SampleStream& Stream() = 0;
    virtual params::SensorSession& Session() = 0;
    virtual BenchDevices& Devices() = 0;
    virtual RunView& View() = 0;
    virtual platform::Clock& Clock() = 0;
    /// The bench's motor table ("Motor.dat"); conn.motorRecord names the sensor's record.
    virtual const MotorTable& Motors() const = 0;
};

/// The start, tick and stop steps of a mode.
class RunMode {
  public:
    virtual ~RunMode() = default;
    /// After the frame's common start steps; the tick timer starts after it.
    virtual void Start(RunFrame& frame) = 0;
    /// One tick; the frame repaints the chart afterwards.
    virtual void Tick(RunFrame& frame) = 0;
    /// After the frame's common stop steps (outputs masked), before the ports close.
    virtual void Stop(RunFrame& /*frame*/) {}
};

/// The steps bound to the mode codes. A code without steps runs only the frame's common
/// start and stop and ticks without effect.
class ModeSteps {
  public:
    /// steps outlives this table.
    void Bind(int32_t code, RunMode& steps) { steps_[code] = &steps; }
    RunMode* Find(int32_t code) const {
        const auto it = steps_.find(code);
        return it == steps_.end() ? nullptr : it->second;
    }

  private:
    std::map<int32_t, RunMode*> steps_;
};

}  // namespace veska::bench
