#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/D2xx.h"
#include "sim/SimUsbBackend.h"
#include "sim/TriggerSource.h"
#include "sim/World.h"

namespace veska::sim {

/// What the simulated analog board is and how it behaves.
struct AnalogBoardOptions {
    std::string serialNumber = "VOKT.001";  ///< "VOKT." and the board number
    /// Calibration in the EEPROM user area: U [V] = gain x (raw - offset) x 500 / 454.5,
    /// raw the sample word + 0x8000. The board's converter follows these exactly.
    float gain = 0.0004f;
    uint16_t offset = 0x8000 + 37;
    uint32_t configurationBits = 159176;  ///< bits a complete PLD configuration holds
    uint32_t clockHz = 50'000'000;        ///< sample period = (register 0 + 2) / clockHz
    uint32_t maxSampleRate = 500'000;     ///< what the USB chip can carry [samples/s]
    size_t fifoBytes = 256 * 1024;        ///< board FIFO and USB queue together [bytes]
    double noiseCounts = 1.0;             ///< peak converter noise [counts]
};

/// Counts of what the board saw and did.
struct AnalogBoardCounters {
    uint32_t commands = 0;        ///< command bytes in the default mode
    uint32_t configurations = 0;  ///< complete configurations received
    uint32_t queries = 0;         ///< 0xEA commands
    uint32_t queriesAnswered = 0;
    uint32_t starts = 0, stops = 0, parks = 0;
    uint64_t samplesSent = 0;  ///< words put into the queue
    uint64_t samplesLost = 0;  ///< words lost to a full queue
    uint32_t markerRuns = 0;   ///< overflow runs sent
    uint32_t eepromReads = 0;
};

/// The analog measurement board on the simulated USB bus: an FTDI chip in front of a PLD.
///
/// - Listed by its serial number "VOKT.nnn"; opened by index through the classic calls
///   only; one open at a time.
/// - EEPROM user area: offset (u16 LE) and gain (float LE) in its first 6 bytes, 32 bytes.
/// - Asynchronous bit-bang mode (SetBitMode 0xFF, 1): every written byte is a pin state
///   and is echoed into the receive queue. Pin 1 low unconfigures the PLD; while pin 1 is
///   high, each rising edge of pin 6 shifts in pin 7 as the next configuration bit (least
///   significant bit first within each byte). Back in the default mode the PLD runs when
///   exactly configurationBits bits came.
/// - Default mode: every byte is a register command (see driver/BoardProtocol.h); a
///   running PLD answers 0xEA with the marker 0x11, 0xE2 starts and 0xE1, 0xE4, 0xE7, 0xEC
///   stop acquisition.
/// - Acquisition: one 16-bit little-endian word per enabled channel and period; channel
///   0 carries the world's analog output, other channels 0 V. With bit 2 of register F set
///   (the live configuration) and a trigger input connected, the board takes one word per
///   channel and trigger pulse instead, each with the output as it was at that pulse. When the host
///   leaves more than fifoBytes unread, words are lost, and once there is room again the board
///   sends a run of 16 marker bytes before the next word.
/// Faults: the world's BoardFaults (silent, garbage, vanish, stall, slow, wrong rate) hold
/// for every board on that world; each Read and Write call counts as a request.
/// Thread-safe: calls lock the board.
class SimAnalogBoard final : public SimUsbDevice {
  public:
    static constexpr uint8_t kMarker = 0x11;
    static constexpr size_t kMarkerRunBytes = 16;
    static constexpr uint32_t kUserAreaBytes = 32;

    SimAnalogBoard(World& world, AnalogBoardOptions options = {});

    bool Listed() const override;
    bool OnOpen(bool w32) override;
    void OnClose() override;
    platform::FT_STATUS SetBitMode(uint8_t mask, uint8_t mode) override;
    platform::FT_STATUS Read(void* buffer, uint32_t count, uint32_t* got) override;
    platform::FT_STATUS Write(const void* buffer, uint32_t count, uint32_t* written) override;
    platform::FT_STATUS ResetDevice() override;
    platform::FT_STATUS SetBaudRate(uint32_t baud) override;
    platform::FT_STATUS Purge(uint32_t mask) override;
    platform::FT_STATUS SetTimeouts(uint32_t readMs, uint32_t writeMs) override;
    platform::FT_STATUS GetQueueStatus(uint32_t* rxBytes) override;
    platform::FT_STATUS EE_UARead(uint8_t* buffer, uint32_t size, uint32_t* read) override;

    /// The board's trigger input (on the virtual bench the motor controller's output 8, one
    /// pulse per step); null: none. The source must outlive its use here.
    void ConnectTrigger(const TriggerSource* trigger);

    // Fault switches.
    /// The next n queries (0xEA) get no answer.
    void NoAnswerForQueries(uint32_t n);
    /// EEPROM reads fail (FT_EEPROM_READ_FAILED) while set.
    void SetEepromFails(bool fails);
    /// The next n writes fail (FT_IO_ERROR, nothing taken); short: they take half instead.
    void FailNextWrites(uint32_t n, bool shortWrite = false);
    /// Unplugged: not listed, cannot be opened, every call on an open handle fails.
    void SetUnplugged(bool unplugged);

    // What the board holds.
    /// The configuration bits received since pin 1 last rose, packed LSB first.
    std::vector<uint8_t> ReceivedConfiguration() const;
    uint32_t ReceivedBits() const;
    bool Configured() const;
    bool Acquiring() const;
    bool BitBang() const;
    uint32_t BaudRate() const;
    uint32_t ReadTimeoutMs() const;
    /// Register 0 as the eight nibble writes left it.
    uint32_t Register0() const;
    uint8_t ChannelMask() const;
    /// Every command byte taken in the default mode, in order.
    std::vector<uint8_t> CommandLog() const;
    AnalogBoardCounters Counters() const;
    /// Samples per second per channel at the current register 0.
    double SampleRate() const;

  private:
    using SteadyClock = std::chrono::steady_clock;

    void Command(uint8_t byte);
    void PinState(uint8_t pins);
    /// Puts the words due by now into the queue. Caller holds mutex_.
    void Advance(SteadyClock::time_point now);
    void PushWord(uint16_t word);
    uint16_t WordFor(double volts);
    /// Unplugged by the switch or by the vanish fault. Caller holds mutex_.
    bool Gone() const;
    /// Counts a call on the open handle as a request, for the faults.
    void CallComing();
    double SampleRateLocked() const;

    World& world_;
    DeviceFaults& faults_;  ///< the world's board faults; locks itself
    const AnalogBoardOptions options_;

    mutable std::mutex mutex_;         ///< guards every member below
    std::condition_variable changed_;  ///< bytes queued
    bool open_ = false;
    bool unplugged_ = false;
    bool bitBang_ = false;
    uint8_t pins_ = 0;
    bool collecting_ = false;  ///< pin 1 high: configuration bits are taken
    std::vector<uint8_t> configuration_;
    uint32_t bits_ = 0;
    bool configured_ = false;
    uint32_t baud_ = 9600;
    uint32_t readMs_ = 0;
    uint32_t reg0_ = 0;
    uint16_t reg3_ = 0;
    uint8_t nibbles_[16] = {};  ///< registers 1, 2, 4 ... 0xB, 0xF as last written
    uint8_t mask_ = 0;
    bool acquiring_ = false;
    SteadyClock::time_point acquisitionStart_;
    uint64_t periodsDone_ = 0;  ///< periods, or trigger pulses (running total), taken
    const TriggerSource* trigger_ = nullptr;
    bool triggered_ = false;     ///< this acquisition samples on the trigger's pulses
    bool lostSinceRun_ = false;  ///< words were lost; a marker run goes out first
    std::deque<uint8_t> queue_;
    uint32_t noAnswer_ = 0;
    bool eepromFails_ = false;
    uint32_t failWrites_ = 0;
    bool shortWrites_ = false;
    uint32_t noise_ = 12345;  ///< noise generator state
    std::vector<uint8_t> commandLog_;
    AnalogBoardCounters counters_;
};

/// A simulated USB bus with one analog board ("VOKT.001") over a world of its own: the USB
/// devices of the simulated driver library. The first call creates it; it lives to the end
/// of the process.
platform::D2xx& LibraryBoardBus();

}  // namespace veska::sim
