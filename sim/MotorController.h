#pragma once
#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sim/DeviceFaults.h"
#include "sim/LinePeer.h"
#include "sim/ReplyQueue.h"
#include "sim/Stage.h"

namespace veska::sim {

/// What the motor controller saw.
struct MotorCounters {
    uint64_t bytesReceived = 0;
    std::array<uint32_t, 16> commands{};  ///< complete requests per command code
    uint32_t malformed = 0;  ///< requests cut short by a new command byte, stray data bytes
    uint32_t unknown = 0;    ///< command bytes of no known command
    uint32_t statusReplies = 0;
};

/// The stage's motor controller on a serial line (8N1, any rate): the device side of its
/// command protocol, driving a Stage.
///
/// A request is a command byte (high nibble 0) followed by its data bytes (high nibble 1111,
/// payload in the low nibble, least significant first): 2 status (answered with one byte
/// 0x30 | state nibble: 0 at rest, 1 forward, 3 homeward), 3 outputs (2 nibbles), 4 run
/// home, 6 run the loaded count forward, 7 step period [us] (6 nibbles), 8 step count (6
/// nibbles; the outputs go off; a running move makes at most that many more steps). A command byte
/// in the middle of a request drops it. Thread-safe.
class MotorController final : public LinePeer {
  public:
    /// faults: the stage's faults that the controller itself carries out (never at rest,
    /// frozen); null for none. It outlives the controller.
    explicit MotorController(Stage& stage, const DeviceFaults* faults = nullptr);

    void HostBytes(std::span<const uint8_t> bytes, TimePoint now) override;
    void EndOfBurst(TimePoint) override {}
    size_t Take(uint8_t* out, size_t max, TimePoint now) override;
    TimePoint NextEvent(TimePoint now) override;
    void Purge() override;
    uint64_t RequestsHeard() const override;

    Stage& GetStage() { return stage_; }
    MotorCounters Counters() const;

    // Faults.
    /// The status reports a move under way for ever (a stage that never comes to rest).
    void SetNeverAtRest(bool on);
    /// Requests are counted but not carried out or answered.
    void SetSilent(bool on);

  private:
    void FeedByte(uint8_t b, TimePoint now);
    void Execute(TimePoint now);

    Stage& stage_;
    mutable std::mutex mutex_;  ///< guards every member below
    uint8_t command_ = 0;
    bool inRequest_ = false;
    size_t expected_ = 0;
    std::vector<uint8_t> nibbles_;
    ReplyQueue output_;
    MotorCounters counters_;
    const DeviceFaults* faults_;
    bool neverAtRest_ = false;
    bool silent_ = false;
};

}  // namespace veska::sim
