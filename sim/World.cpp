#include "sim/World.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace veska::sim {

World::World(double baseMm, double rangeMm) : baseMm_(baseMm), rangeMm_(std::max(rangeMm, 1.0)) {
    fixedMm_ = baseMm_ + rangeMm_ / 2.0;
}

double World::BaseMm() const {
    std::lock_guard lock(mutex_);
    return baseMm_;
}

double World::RangeMm() const {
    std::lock_guard lock(mutex_);
    return rangeMm_;
}

double World::TargetMm() const { return TargetAt(SecondsSinceStart()); }

double World::TargetAt(double seconds) const {
    std::unique_lock lock(mutex_);
    if (source_ != nullptr) {
        // The source reads world time itself: it is asked without the lock held.
        const TargetSource* source = source_;
        const SteadyClock::time_point at = TimeAtSecondsLocked(seconds);
        lock.unlock();
        return source->TargetMmAt(at);
    }
    if (!drifting_) return fixedMm_;
    const double phase = 2.0 * std::numbers::pi * seconds / periodS_;
    return baseMm_ + rangeMm_ / 2.0 * (1.0 + amplitude_ * std::sin(phase));
}

void World::SetTargetMm(double mm) {
    std::lock_guard lock(mutex_);
    source_ = nullptr;
    drifting_ = false;
    fixedMm_ = mm;
}

void World::SetDrift(double periodSeconds, double amplitude) {
    std::lock_guard lock(mutex_);
    source_ = nullptr;
    drifting_ = true;
    periodS_ = std::max(periodSeconds, 0.001);
    amplitude_ = std::clamp(amplitude, 0.0, 1.0);
}

bool World::Drifting() const {
    std::lock_guard lock(mutex_);
    return drifting_;
}

double World::RangeFraction() const {
    const double target = TargetMm();
    std::lock_guard lock(mutex_);
    return (target - baseMm_) / rangeMm_;
}

void World::DriveTarget(const TargetSource* source) {
    std::lock_guard lock(mutex_);
    source_ = source;
}

void World::SetTimeScale(double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return;
    std::lock_guard lock(mutex_);
    const SteadyClock::time_point now = SteadyClock::now();
    scaledBase_ = SecondsAtLocked(now);
    scaleSince_ = now;
    scale_ = factor;
}

double World::TimeScale() const {
    std::lock_guard lock(mutex_);
    return scale_;
}

double World::SecondsAt(SteadyClock::time_point now) const {
    std::lock_guard lock(mutex_);
    return SecondsAtLocked(now);
}

double World::SecondsAtLocked(SteadyClock::time_point now) const {
    const std::chrono::duration<double> real = now - scaleSince_;
    return scaledBase_ + real.count() * scale_;
}

World::SteadyClock::time_point World::TimeAtSeconds(double seconds) const {
    std::lock_guard lock(mutex_);
    return TimeAtSecondsLocked(seconds);
}

World::SteadyClock::time_point World::TimeAtSecondsLocked(double seconds) const {
    const std::chrono::duration<double> real((seconds - scaledBase_) / scale_);
    return scaleSince_ + std::chrono::duration_cast<SteadyClock::duration>(real);
}
double World::AnalogOutputV() const {
    const AnalogSource* source = nullptr;
    {
        std::lock_guard lock(mutex_);
        source = analogSource_;
    }
    // The source reads the world itself: it is asked without the lock held.
    if (source != nullptr) return source->AnalogOutputV();
    return 10.0 * std::clamp(RangeFraction(), 0.0, 1.0);
}

double World::AnalogOutputVAt(SteadyClock::time_point at) const {
    const AnalogSource* source = nullptr;
    {
        std::lock_guard lock(mutex_);
        source = analogSource_;
    }
    if (source != nullptr) return source->AnalogOutputVAt(at);
    const double fraction = (TargetAt(SecondsAt(at)) - BaseMm()) / RangeMm();
    return 10.0 * std::clamp(fraction, 0.0, 1.0);
}

void World::DriveAnalogOutput(const AnalogSource* source) {
    std::lock_guard lock(mutex_);
    analogSource_ = source;
}

double World::TemperatureC() const {
    const double minutes = SecondsSinceStart() / 60.0;
    return 25.0 + 6.0 * (1.0 - std::exp(-minutes / 10.0));
}

double World::SecondsSinceStart() const { return SecondsAt(SteadyClock::now()); }

}  // namespace veska::sim
