#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "driver/VOKTDrv.h"

namespace veska::driver {

/// The board's single-byte commands. While the USB chip is in its default mode every byte
/// written is one command: high nibble the code, low nibble four data bits.
///
/// | Code    | Data nibble     | Use                                                    |
/// |---------|-----------------|--------------------------------------------------------|
/// | 0x0     | 4 bits          | register 0: eight writes, least significant nibble first |
/// | 0x1     | 4 bits          | register 1: number of enabled channels                 |
/// | 0x2     | bits 0-2, bit 3 | register 2: channel figure and a flag                  |
/// | 0x3     | 4 bits          | register 3: four writes, least significant nibble first |
/// | 0x4-0x7 | 4 bits          | registers 4 to 7: cleared after an image load          |
/// | 0x8-0xB | 4 bits          | registers 8 to B: bits 0-3 ... 12-15 of a 16-bit value |
/// | 0xC     | 4 bits          | channel mask bits 4-7                                  |
/// | 0xD     | 4 bits          | channel mask bits 0-3                                  |
/// | 0xE     | 4 bits          | control commands (below)                               |
/// | 0xF     | bits 1-3        | three flags; bit 0 always 0                            |
namespace cmd {
inline constexpr uint8_t kIdle = 0xE1;         ///< configure, start, park: stop and idle
inline constexpr uint8_t kStart = 0xE2;        ///< start acquisition
inline constexpr uint8_t kStop = 0xE4;         ///< stop acquisition
inline constexpr uint8_t kPrepareLoad = 0xE7;  ///< before the chip goes to bit-bang mode
inline constexpr uint8_t kLoaded1 = 0xE8;      ///< after the register defaults
inline constexpr uint8_t kLoaded2 = 0xE9;
inline constexpr uint8_t kQuery = 0xEA;  ///< the board answers with kMarker
inline constexpr uint8_t kPark = 0xEC;   ///< first byte of the parking sequence
}  // namespace cmd

/// The board's answer to kQuery; inside the sample stream a run of more than seven marks
/// lost samples.
inline constexpr uint8_t kMarker = 0x11;
inline constexpr uint8_t kMarkerRunLimit = 7;

/// Register defaults written after an image load, then kLoaded1 and kLoaded2.
inline constexpr uint8_t kRegisterDefaults[] = {0x70, 0x60, 0x50, 0x40, 0x30, 0x20, 0x12,
                                                0x08, 0xB0, 0xA0, 0x90, 0x81, 0xF0};

/// Pin bytes of the configuration clock-out in asynchronous bit-bang mode: pins 0 and 1
/// high throughout, pin 7 the data bit, pin 6 a clock that rises in the second byte.
inline constexpr uint8_t kPinsReset = 0x01;  ///< written first, held 1000 ms
inline constexpr uint8_t kPinsReady = 0x03;  ///< then this, held 1 ms
inline constexpr uint8_t kPinData = 0x80;
inline constexpr uint8_t kPinClock = 0x40;
inline constexpr uint8_t kPinsOff = 0x00;

/// Configuration images: ids, the header and the image chosen per board number.
inline constexpr uint32_t kImageLow = 101;       ///< board numbers 0 ... 699
inline constexpr uint32_t kImageHigh = 102;      ///< board numbers 700 and above
inline constexpr uint32_t kImageSpare = 103;     ///< carried, never chosen
inline constexpr uint32_t kImageHeaderSize = 8;  ///< bit count u32 LE, byte count u32 LE
inline constexpr uint32_t kFirstHighBoard = 700;

/// Image for a board number.
uint32_t ImageIdForBoard(uint32_t boardNumber);

/// The prefix of a board's serial-number string.
inline constexpr char kSerialPrefix[] = "VOKT.";

/// Board number of a USB serial-number string, or nullopt when the string does not begin
/// with "VOKT." (case as written). The number is read from the next three characters at
/// most as strtol reads it: leading white space, an optional sign, digits up to the first
/// non-digit (no digits: 0). A negative number wraps as an unsigned value does.
std::optional<uint32_t> BoardNumberOf(const char* serial);

/// One write of ConfigDevice and the result it gives when it fails.
struct CommandStep {
    std::vector<uint8_t> bytes;
    int32_t failure;
};

/// What ConfigDevice sends for a configuration: the writes in order, and the result once
/// they all succeed (0, or 4 / 5 when it stops early: 4 sends nothing, 5 sends the steps
/// before the bad value).
struct ConfigPlan {
    std::vector<CommandStep> steps;
    int32_t result = VOKTDRV_OK;
    uint8_t channelCount = 0;  ///< enabled channels, kept by the slot even on result 4
};

ConfigPlan PlanConfig(const DeviceConfig& config);

/// Bit count N of an image (its header); 0 when the image is shorter than the header.
uint32_t ImageBitCount(std::span<const uint8_t> image);

/// The pin bytes that clock out the first bitCount bits of an image's configuration
/// data (bit i is bit i mod 8 of byte 8 + i div 8): two bytes per bit. The caller has
/// checked that the image holds them.
std::vector<uint8_t> StageImageBits(std::span<const uint8_t> image, uint32_t bitCount);

/// Scans delivered bytes for marker runs. runCounter carries over between calls (8-bit, as
/// the board's run is counted); true when a run exceeded kMarkerRunLimit within bytes.
bool ScanMarkerRuns(std::span<const uint8_t> bytes, uint8_t& runCounter);

}  // namespace veska::driver
