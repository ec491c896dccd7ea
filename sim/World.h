#pragma once
#include <chrono>
#include <mutex>

namespace veska::sim {

/// The shared world of the virtual bench: where the target stands in front of the sensor.
/// The target distance [mm] is measured from the sensor's front, so the measuring range
/// spans base ... base + range. By default the target drifts slowly on a sine over most of
/// the range, so that a chart shows something alive; SetTargetMm fixes it (the stage of
/// the motor controller will drive it the same way). Thread-safe: every member locks.
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

    /// Position of the target within the range now: 0 at the base, 1 at base + range.
    double RangeFraction() const;

    /// The sensor's analog output now [V]: 0 ... 10 V over the measuring range, clipped.
    /// What the analog board samples.
    double AnalogOutputV() const;

    /// Temperature of the sensor's housing now [degC]; warms slowly from 25 to 31.
    double TemperatureC() const;

  private:
    double SecondsSinceStart() const;

    mutable std::mutex mutex_;  ///< guards every member below
    double baseMm_;
    double rangeMm_;
    bool drifting_ = true;
    double fixedMm_ = 0.0;
    double periodS_ = 20.0;
    double amplitude_ = 0.8;
    SteadyClock::time_point start_ = SteadyClock::now();
};

}  // namespace veska::sim
