#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "analog/VoktDriver.h"
#include "driver/VOKTDrv.h"
#include "platform/Clock.h"

namespace veska::analog {

/// The two read-out labels of the bench form (LabelVOKT_U, LabelVOKT_I), as the board
/// client writes them.
class BoardLabels {
  public:
    virtual ~BoardLabels() = default;
    virtual void SetVoltageCaption(const std::string& text) = 0;
    virtual void SetCurrentCaption(const std::string& text) = 0;
};

/// Captions the labels carry before the first reading.
inline constexpr char kInitialVoltageCaption[] = "0.0000 V";
inline constexpr char kInitialCurrentCaption[] = "0.000  mA";
/// Appended to the captions of a simulated board's readings.
inline constexpr char kSimulatedMark[] = " (simulated)";

/// Bytes of every read buffer (262,144 samples).
inline constexpr uint32_t kReadBufferBytes = 524288;

/// The two acquisition configurations: channel 0 only, register 0 value 500.
DeviceConfig SweepConfig();  ///< register 8 value 1
DeviceConfig LiveConfig();   ///< register 8 value 0xFFFF, flags 2 and 3 of register F

/// One reading of channel 0.
struct BoardReading {
    float voltage;  ///< [V]
    float current;  ///< [mA]
};

/// Converts a sample word with the board's coefficients: raw = ((word + 0x8000) mod 65536)
/// - offset (a signed difference), U = gain x raw x 500 / 454.5 [V], I = U x 2 [mA], each
/// step stored in single precision.
BoardReading ConvertSample(uint16_t word, float gain, uint16_t offset);

/// The label texts of a reading: "1.1001 V" and "2.200  mA" (point as decimal separator).
std::string VoltageCaption(float volts);
std::string CurrentCaption(float milliamperes);

/// The program's client of the analog board (slot 0, the first board listed). Without an
/// open board every operation returns false, 0 or 0.0 and changes nothing. Not
/// thread-safe: one thread (the logic's) makes every call.
///
/// Run frame: OpenBoard once at start-up (its result is analogBoardPresent), StartSweep at
/// a run's start, UpdateBoardReading(true) per tick, StopBoard at its end; StartLive,
/// ReadAll, GetGain and GetOffset for the verification report; CloseBoard at shutdown (a
/// second CloseBoard, from the destructor, is harmless).
class TVOKT_Interface {
  public:
    /// driver and clock must outlive the client.
    explicit TVOKT_Interface(VoktDriver& driver, platform::Clock& clock = platform::SystemClock());
    ~TVOKT_Interface();
    TVOKT_Interface(const TVOKT_Interface&) = delete;
    TVOKT_Interface& operator=(const TVOKT_Interface&) = delete;

    /// Lists the boards, locks slot 0 (its image load takes over a second) and reads the
    /// coefficients; a board whose coefficients cannot be read is unlocked again.
    bool OpenBoard();
    /// Configures the sweep and starts acquisition; leaves Started() unchanged.
    bool StartSweep();
    /// Configures live acquisition, waits 100 ms, starts, waits 100 ms; sets Started().
    bool StartLive();
    /// Reads what is queued into buffer, then restarts acquisition so that the next read
    /// holds only newer samples; a reported overflow first stops, clears and restarts
    /// acquisition and reads once more. Bytes read, 0 on a failure.
    uint32_t ReadLive(std::span<uint8_t> buffer);
    /// Reads what is queued into buffer (overflow ignored), without a restart. Needs
    /// Started(). Bytes read, 0 on a failure.
    uint32_t ReadAll(std::span<uint8_t> buffer);
    /// Stops acquisition and, when that worked, clears Started() and the queue.
    bool StopBoard();
    /// Stops, clears and unlocks the board; true when the unlock worked.
    bool CloseBoard();
    float GetGain() const { return present_ ? gain_ : 0.0f; }
    uint16_t GetOffset() const { return present_ ? offset_ : 0; }
    /// Takes one live sample (ReadLive) and converts its first word into BoardVoltage()
    /// and BoardCurrent(); with show, also into the labels (may be null). A read of fewer
    /// than two bytes changes nothing.
    bool UpdateBoardReading(bool show, BoardLabels* labels);

    bool Present() const { return present_; }
    /// True when the board is simulated (its readings are marked so where shown).
    bool Simulated() const { return driver_.Simulated(); }
    bool Started() const { return started_; }
    float BoardVoltage() const { return boardVoltage_; }  ///< latest voltage [V]
    float BoardCurrent() const { return boardCurrent_; }  ///< latest current [mA]

  private:
    /// GetDeviceData of slot 0 in immediate mode for the buffer's capacity.
    int32_t ReadQueued(std::span<uint8_t> buffer, uint32_t& length, uint8_t& overflow);

    VoktDriver& driver_;
    platform::Clock& clock_;
    bool started_ = false;
    float gain_ = 0.0f;
    uint16_t offset_ = 0;
    bool present_ = false;
    float boardVoltage_ = 0.0f;
    float boardCurrent_ = 0.0f;
};

}  // namespace veska::analog
