#pragma once
#include <chrono>
#include <mutex>

#include "sim/DeviceFaults.h"

namespace veska::sim {

/// What places the target when something does: the stage of the motor controller.
class TargetSource {
  public:
    virtual ~TargetSource() = default;
    /// The target distance from the sensor's front at time now [mm].
    virtual double TargetMmAt(std::chrono::steady_clock::time_point now) const = 0;
};

/// What drives the analog output when something does: the sensor's output stage.
class AnalogSource {
  public:
    virtual ~AnalogSource() = default;
    /// What the analog board's channel 0 sees now [V].
    virtual double AnalogOutputV() const = 0;
    /// What channel 0 saw at the time point at [V], with the target where it stood then;
    /// by default what it sees now.
    virtual double AnalogOutputVAt(std::chrono::steady_clock::time_point /*at*/) const {
        return AnalogOutputV();
    }
};

/// The shared world of the virtual bench: where the target stands in front of the sensor.
/// The target distance [mm] is measured from the sensor's front, so the measuring range
/// spans base ... base + range. By default the target drifts slowly on a sine over most of
/// the range, so that a chart shows something alive; SetTargetMm fixes it (the stage of
/// the motor controller will drive it the same way). Thread-safe: every member locks.
///
/// World time runs at a time scale (1: real time) that speeds every device up alike: the
/// stage's moves, the drift and the housing temperature.
class World {
  public:
    using SteadyClock = std::chrono::steady_clock;

    /// baseMm, rangeMm: the sensor's base distance and measuring range [mm].
    explicit World(double baseMm = 80.0, double rangeMm = 50.0);

    double BaseMm() const;
    double RangeMm() const;

    /// The target distance now [mm].
    double TargetMm() const;
    /// The target distance at t seconds after the world's start [mm] (drift or fixed).
    double TargetAt(double seconds) const;
    /// Fixes the target at mm [mm]; the drift stops.
    void SetTargetMm(double mm);
    /// Lets the target drift: centre of the range +- amplitude x range / 2, one cycle per
    /// periodSeconds [s]. amplitude 0.8 and 20 s are the defaults.
    void SetDrift(double periodSeconds, double amplitude = 0.8);
    bool Drifting() const;

    /// A source that places the target from now on (the stage); null gives the target
    /// back to the drift or the fixed position. The source must outlive its use here.
    void DriveTarget(const TargetSource* source);

    /// World time runs factor times as fast as real time (factor > 0; others are ignored).
    void SetTimeScale(double factor);
    double TimeScale() const;
    /// World time at the real time point now [s since the world's start].
    double SecondsAt(SteadyClock::time_point now) const;
    /// The real time point at which world time reaches seconds, at the present scale.
    SteadyClock::time_point TimeAtSeconds(double seconds) const;

    /// Position of the target within the range now: 0 at the base, 1 at base + range.
    double RangeFraction() const;

    /// The sensor's analog output now, as the analog board samples it [V]: the source's when
    /// one drives it, else 0 ... 10 V over the measuring range, clipped.
    double AnalogOutputV() const;
    /// The same at the time point at, with the target where it stood then [V].
    double AnalogOutputVAt(SteadyClock::time_point at) const;
    /// A source (the sensor's output stage) that drives the analog output from now on; null
    /// gives it back to the range. The source must outlive its use here.
    void DriveAnalogOutput(const AnalogSource* source);

    /// Temperature of the sensor's housing now [degC]; warms slowly from 25 to 31.
    double TemperatureC() const;

    /// The faults of the analog board that samples this world: every board made on it
    /// (the virtual bench's, whoever builds it) follows them.
    DeviceFaults& BoardFaults() { return boardFaults_; }

  private:
    double SecondsSinceStart() const;
    double SecondsAtLocked(SteadyClock::time_point now) const;
    SteadyClock::time_point TimeAtSecondsLocked(double seconds) const;

    DeviceFaults boardFaults_{FaultDevice::kBoard};  ///< locks itself
    mutable std::mutex mutex_;                       ///< guards every member below
    double baseMm_;
    double rangeMm_;
    bool drifting_ = true;
    double fixedMm_ = 0.0;
    double periodS_ = 20.0;
    double amplitude_ = 0.8;
    SteadyClock::time_point start_ = SteadyClock::now();
    const TargetSource* source_ = nullptr;
    const AnalogSource* analogSource_ = nullptr;
    double scale_ = 1.0;
    double scaledBase_ = 0.0;                      ///< world seconds at scaleSince_
    SteadyClock::time_point scaleSince_ = start_;  ///< when the present scale took effect
};

}  // namespace veska::sim
