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
    std::lock_guard lock(mutex_);
    if (!drifting_) return fixedMm_;
    const double phase = 2.0 * std::numbers::pi * seconds / periodS_;
    return baseMm_ + rangeMm_ / 2.0 * (1.0 + amplitude_ * std::sin(phase));
}

void World::SetTargetMm(double mm) {
    std::lock_guard lock(mutex_);
    drifting_ = false;
    fixedMm_ = mm;
}

void World::SetDrift(double periodSeconds, double amplitude) {
    std::lock_guard lock(mutex_);
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

double World::AnalogOutputV() const { return 10.0 * std::clamp(RangeFraction(), 0.0, 1.0); }

double World::TemperatureC() const {
    const double minutes = SecondsSinceStart() / 60.0;
    return 25.0 + 6.0 * (1.0 - std::exp(-minutes / 10.0));
}

double World::SecondsSinceStart() const {
    std::chrono::duration<double> elapsed = SteadyClock::now() - start_;
    return elapsed.count();
}

}  // namespace veska::sim
