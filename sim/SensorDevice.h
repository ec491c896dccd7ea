#pragma once
#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <random>
#include <span>
#include <vector>

#include "sim/AnalogStage.h"
#include "sim/ParamMemory.h"
#include "sim/World.h"

namespace veska::sim {

/// Options of a simulated sensor.
struct SensorOptions {
    SensorIdentity identity;
    /// Result noise, one standard deviation as a fraction of the range (0: exact results).
    double noise = 2e-4;
    uint32_t seed = 1;  ///< noise generator seed
    /// The analog output stage (its kind, offset and gain error, clip).
    AnalogStage analog;
};

/// What the sensor sends unasked.
enum class StreamKind { kNone, kPlain, kStatus };

/// What a sensor counted since its start (or the last ResetCounters).
struct SensorCounters {
    uint64_t bytesReceived = 0;
    std::array<uint32_t, 16> requests{};     ///< complete requests for this sensor, per command
    std::array<uint32_t, 256> paramReads{};  ///< ReadParam requests per parameter address
    std::array<uint32_t, 256> paramWrites{};
    uint32_t foreignPackets = 0;    ///< complete requests for another net address
    uint32_t malformedPackets = 0;  ///< cut short by a new start byte, or odd data nibbles
    uint32_t strayBytes = 0;        ///< bytes with bit 7 set outside a request
    uint32_t unknownCommands = 0;
    uint32_t replies = 0;  ///< answers sent (a stream sample counts as a reply)
    uint64_t samplesSent = 0;
    uint32_t tableBlocks = 0;  ///< WriteTable blocks stored
    uint32_t rejectedTableBlocks = 0;
    uint32_t tableErases = 0;           ///< table erases (a valid block 0 starts one)
    uint32_t unarmedVideoRequests = 0;  ///< ReadVideo naming a size without the arming request
};

/// One request as the sensor received it.
struct ReceivedRequest {
    uint8_t address = 0;
    uint8_t command = 0;
    std::vector<uint8_t> data;
};

/// The simulated sensor's firmware, free of any transport: Feed takes the host's line
/// bytes, and the replies and stream samples wait in an output buffer that the transport
/// drains with TakeOutput. The transport also paces the stream (EmitSamples) and tells
/// the end of a burst of input (EndOfBurst), which completes a ReadVideo without data.
///
/// Wire format (host to sensor): a byte with bit 7 clear starts a request and carries the
/// net address; the next byte holds the command in its low nibble; data bytes follow as
/// pairs of bytes 1000 pppp, low nibble first. Sensor to host: every data byte as two
/// bytes 1ccc pppp, low nibble first, ccc the reply counter (0..7, one step per reply).
/// Only requests for the sensor's own net address (parameter address 3) are answered.
///
/// Thread-safe: every public member locks one mutex.
class SensorDevice final : public AnalogSource {
  public:
    explicit SensorDevice(World& world, SensorOptions options = {});

    // Host line.
    void Feed(std::span<const uint8_t> bytes);
    /// The line went quiet: a ReadVideo request without data is complete.
    void EndOfBurst();
    /// Moves everything the sensor has sent so far to the end of out.
    void TakeOutput(std::vector<uint8_t>& out);
    bool HasOutput() const;

    // Stream.
    StreamKind Streaming() const;
    /// Counts StartStream/StartStatusStream requests; the transport restarts its pacing
    /// schedule when it changes.
    uint32_t StreamGeneration() const;
    /// Line bytes of one sample of the running stream (4, or 6 with the status byte).
    size_t SampleLineBytes() const;
    /// Sends count samples of the running stream (nothing when no stream runs).
    void EmitSamples(size_t count);
    /// Sends one sample of the running stream per time point, each measured where the target
    /// stood at that point (trigger pulses that came before the line end looked).
    void EmitSamplesAt(std::span<const std::chrono::steady_clock::time_point> times);
    /// "UART Control of Sample" (bit 0 of the control byte at address 2) is 1: a stream
    /// sends one sample per pulse on the trigger input instead of pacing itself.
    bool TriggeredSampling() const;

    /// The line rate the sensor runs at [bit/s], from parameter address 4.
    uint32_t LineBaud() const;
    uint8_t NetAddress() const;

    /// Power cycle: the flash set becomes the working set; stream, parser and counter
    /// start afresh. Pending output is dropped.
    void PowerCycle();

    // Parameter memory (tests and the virtual bench).
    uint8_t Param(uint8_t address) const;
    uint16_t Param16(uint8_t address) const;
    void SetParam(uint8_t address, uint8_t value);
    void SetParam16(uint8_t address, uint16_t value);
    ParamMemory::Bytes FlashSet() const;
    ParamMemory::Bytes FactorySet() const;
    /// Entry i of the calibration table (0: no entry).
    uint16_t TableEntry(uint16_t index) const;
    /// The identity given at construction.
    const SensorIdentity& Identity() const { return options_.identity; }
    void SetNoise(double fractionOfRange);

    /// The raw result the sensor would report now in its current mode of run.
    uint16_t CurrentResult();

    /// The analog output as the board's channel 0 sees it [V]. With "Sensor On/Off" 0 the
    /// output holds the level code written last (bottom, 0x19, or top, 0x1B); with the sensor
    /// on it spans bottom .. top level over the analog window (0x0C .. 0x0E); 0 with the
    /// analog output off (0x01). Hand the sensor to World::DriveAnalogOutput to use it.
    double AnalogOutputV() const override;
    double AnalogOutputVAt(std::chrono::steady_clock::time_point at) const override;
    /// The output code the stage is at now.
    int32_t AnalogCode() const;

    // Fault switches, for tests. Each applies to the output of this sensor.
    /// Throws away the next n reply bytes (samples included).
    void DropNextReplyBytes(size_t n);
    /// Clears bit 7 of byte byteIndex (the last byte when shorter) of the next reply.
    void CorruptNextReply(size_t byteIndex = 1);
    /// The next reply carries the counter of the reply before it.
    void StaleCounterNextReply();
    /// A silent sensor ignores every request and stops its samples.
    void SetSilent(bool silent);
    bool Silent() const;
    /// ReadParam for this parameter address gets no answer while muted.
    void MuteParamAddress(uint8_t address, bool muted = true);
    /// The transport holds every reply back this long [ms].
    void SetReplyDelayMs(uint32_t ms);
    uint32_t ReplyDelayMs() const;

    /// The table erase that a valid WriteTable block 0 starts [s of world time]: the whole
    /// 128 KiB table area of flash, about the time a sector of that size takes on a
    /// microcontroller. The host waits 8 s after block 0, so this is well inside its wait.
    static constexpr double kTableEraseSeconds = 2.0;
    /// How long the sensor is busy after the input fed last (a table erase, in real time at the
    /// world's time scale), taken once; zero when it is not. While busy it hears nothing, and
    /// its reply leaves when the erase is done.
    std::chrono::steady_clock::duration TakeBusyTime();

    // What the sensor saw.
    SensorCounters Counters() const;
    /// The latest requests for any address, oldest first (at most kRequestLogSize).
    std::vector<ReceivedRequest> RecentRequests() const;
    void ResetCounters();
    static constexpr size_t kRequestLogSize = 64;

    /// Counter of the next reply (0..7).
    uint8_t NextCounter() const;

  private:
    enum class ParseState { kIdle, kCommand, kData };

    void FeedByte(uint8_t b);
    void FinishPending(bool atEndOfBurst);
    void Dispatch();
    void Reply(std::span<const uint8_t> data);
    void AppendSample(double targetMm);

    void Identify();
    void ReadParam(uint8_t address);
    void StoreParams(uint8_t code);
    void WriteTable();
    void ReadVideo(bool withSize);

    /// Raw result in the given mode of run for a target at targetMm [mm]; sets statusByte
    /// for the status stream.
    uint16_t Measure(uint8_t modeOfRun, uint8_t* statusByte, double targetMm);
    double Noise(double sigma);
    int LengthPx() const;
    int32_t AnalogCodeLocked(double targetMm) const;

    World& world_;
    SensorOptions options_;

    mutable std::mutex mutex_;  ///< guards every member below
    ParamMemory memory_;
    uint8_t lastLevelAddress_ = 0x19;  ///< the level written last: 0x19 bottom, 0x1B top
    std::vector<uint16_t> table_;      ///< calibration table: raw pixel count -> position code
    bool tableLoaded_ = false;         ///< a block was stored: results come from the table
    std::mt19937 rng_;

    ParseState state_ = ParseState::kIdle;
    uint8_t packetAddress_ = 0;
    uint8_t packetCommand_ = 0;
    int expectedData_ = 0;  ///< data bytes that complete the request; -1 unknown command
    bool lowNibbleHeld_ = false;
    uint8_t lowNibble_ = 0;
    std::vector<uint8_t> packetData_;

    uint8_t counter_ = 0;  ///< counter of the next reply
    StreamKind stream_ = StreamKind::kNone;
    uint32_t streamGeneration_ = 0;
    bool videoArmed_ = false;
    std::chrono::steady_clock::duration busyTime_{};  ///< busy time of the input fed last
    std::vector<uint8_t> output_;

    size_t dropBytes_ = 0;
    bool corruptNext_ = false;
    size_t corruptIndex_ = 1;
    bool staleNext_ = false;
    bool silent_ = false;
    std::bitset<256> mutedAddresses_;
    uint32_t replyDelayMs_ = 0;

    SensorCounters counters_;
    std::deque<ReceivedRequest> log_;
};

}  // namespace veska::sim
