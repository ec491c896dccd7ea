#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/MorlaInterface.h"
#include "main/MeasurementCycle.h"
#include "main/PlainModes.h"
#include "main/ProgramState.h"
#include "main/StreamController.h"
#include "platform/Clock.h"
#include "sim/LinePeer.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"
#include "tests/main/FakeMainView.h"

namespace veska::testing {

/// A line that sends exactly `samples` stream samples after each stream start, then stays
/// quiet: tests that need a known number of samples.
class CountedStreamLine final : public sim::LinePeer {
  public:
    CountedStreamLine(sim::SensorDevice& device, size_t samples)
        : device_(device), samples_(samples) {}

    void HostBytes(std::span<const uint8_t> bytes, TimePoint) override {
        std::lock_guard lock(mutex_);
        device_.Feed(bytes);
        Pump();
    }
    void EndOfBurst(TimePoint) override {
        std::lock_guard lock(mutex_);
        device_.EndOfBurst();
        Pump();
    }
    size_t Take(uint8_t* out, size_t max, TimePoint) override {
        std::lock_guard lock(mutex_);
        Pump();
        const size_t n = std::min(max, pending_.size() - taken_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(taken_), n, out);
        taken_ += n;
        if (taken_ == pending_.size()) {
            pending_.clear();
            taken_ = 0;
        }
        return n;
    }
    TimePoint NextEvent(TimePoint now) override {
        std::lock_guard lock(mutex_);
        Pump();
        return taken_ < pending_.size() ? now : TimePoint::max();
    }
    void Purge() override {
        std::lock_guard lock(mutex_);
        pending_.clear();
        taken_ = 0;
    }
    /// Samples sent after the next stream start.
    void SetSamples(size_t samples) {
        std::lock_guard lock(mutex_);
        samples_ = samples;
    }

  private:
    void Pump() {
        const uint32_t generation = device_.StreamGeneration();
        if (device_.Streaming() != sim::StreamKind::kNone && generation != generation_) {
            generation_ = generation;
            device_.EmitSamples(samples_);
        }
        device_.TakeOutput(pending_);
    }

    sim::SensorDevice& device_;
    std::mutex mutex_;  ///< guards everything below
    size_t samples_;
    uint32_t generation_ = 0;
    std::vector<uint8_t> pending_;
    size_t taken_ = 0;
};

/// Records every wait like platform::FakeClock and really sleeps, at most maxRealSleepMs
/// per wait: for flows where a device on the other end needs some of the protocol's time.
class TestClock final : public platform::Clock {
  public:
    void Sleep(uint32_t ms) override {
        sleeps.push_back(ms);
        now += ms;
        const uint32_t real = std::min(ms, maxRealSleepMs);
        if (real > 0) std::this_thread::sleep_for(std::chrono::milliseconds(real));
    }
    uint32_t TickCount() override { return now; }

    std::vector<uint32_t> sleeps;  ///< every Sleep argument, in call order [ms]
    uint32_t now = 0;              ///< [ms]
    uint32_t maxRealSleepMs = UINT32_MAX;
};

/// Which line the simulated sensor sits on.
enum class RigLine { kCounted, kPaced, kUnpaced };

/// The simulated sensor on a real pty and the main window's logic around it, with a fake
/// view and a fake clock for the host's protocol waits (the sensor takes the requests as
/// fast as they come; a write purges only what the host has received).
struct SimSensorRig {
    explicit SimSensorRig(RigLine kind = RigLine::kCounted, size_t samples = 10,
                          sim::SensorIdentity identity = {}, double targetMm = -1.0)
        : world(identity.baseDistance, identity.measuringRange),
          device(world, Options(identity)),
          counted(device, samples),
          sensorLine(device, LineFor(kind)),
          pty(kind == RigLine::kCounted ? static_cast<sim::LinePeer&>(counted)
                                        : static_cast<sim::LinePeer&>(sensorLine)),
          state(clock),
          sensor(state.session.sensor),
          stream(state, view, window, clock),
          cycle(state, view, window, clock, stream, bench::AbsentDevices(), steps) {
        state.session.SetView(view);
        plainModes.BindTo(steps);
        world.SetTargetMm(targetMm >= 0 ? targetMm
                                        : identity.baseDistance + 0.4 * identity.measuringRange);
        std::string error;
        started = pty.Start(&error);
        EXPECT_TRUE(started) << error;
        EXPECT_EQ(sensor.OpenPort(0, pty.SlavePath(), 115200), 0);
        state.session.conn.measuringRange = identity.measuringRange;
        state.session.conn.baseDistance = identity.baseDistance;
        state.session.conn.resultDivisor = 50000;
    }
    ~SimSensorRig() {
        stream.Stream().StopThread();
        (void)sensor.ClosePort();
        pty.Stop();
    }

    static sim::SensorOptions Options(const sim::SensorIdentity& identity) {
        sim::SensorOptions o;
        o.identity = identity;
        o.noise = 0.0;
        return o;
    }
    static sim::LineOptions LineFor(RigLine kind) {
        sim::LineOptions o;
        o.unpaced = kind == RigLine::kUnpaced;
        return o;
    }

    /// The millimetres the host makes of the sensor's current raw result.
    double ExpectedMm() {
        return static_cast<double>(static_cast<float>(
            static_cast<long double>(device.CurrentResult()) * state.session.conn.measuringRange /
            state.session.conn.resultDivisor));
    }

    /// Waits (real time) until pred holds; false after timeoutMs.
    static bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }

    /// Waits until the sensor's parameter memory holds value at address.
    bool WaitParam(uint8_t address, uint8_t value) {
        return WaitFor([&] { return device.Param(address) == value; }, 2000);
    }

    /// Commands of the requests the sensor saw, oldest first.
    std::vector<int> RequestCommands() const {
        std::vector<int> out;
        for (const auto& r : device.RecentRequests()) out.push_back(r.command);
        return out;
    }

    sim::World world;
    sim::SensorDevice device;
    CountedStreamLine counted;
    sim::SensorLine sensorLine;
    sim::PtyLink pty;
    bool started = false;

    platform::FakeClock clock;
    main::ProgramState state;
    FakeMainView view;
    main::WindowState window{view, state.texts, false};
    link::TMORLAInterface& sensor;
    main::PlainModes plainModes;
    bench::ModeSteps steps;
    main::StreamController stream;
    main::MeasurementCycle cycle;
};

}  // namespace veska::testing
