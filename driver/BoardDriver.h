#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "driver/Images.h"
#include "driver/VOKTDrv.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"

namespace veska::driver {

/// Load statuses of one configuration-image attempt (besides the ImageStatus values).
enum LoadStatus : int32_t {
    kLoadOk = 0,
    kLoadUsbFailed = 4,  ///< a USB call failed
    kLoadNoAnswer = 25,  ///< the board did not answer the query with the marker byte
};

/// The state and operations behind the library's exports: the table of board slots, the
/// listing, locking with the configuration-image load, coefficients, configuration and
/// acquisition. Every method returns the export's result code (VOKTDrv.h) and runs the
/// export's argument checks first. Not thread-safe: calls must not overlap.
class BoardDriver {
  public:
    static constexpr uint32_t kSlots = VOKTDRV_MAX_BOARDS;
    static constexpr uint32_t kTimeoutMs = 300;  ///< FT_Read / FT_Write time-outs
    static constexpr int kLockAttempts = 10;
    static constexpr uint32_t kBitBangBaud = 115200;    ///< sets the bit-bang clock
    static constexpr uint32_t kWritePiece = 65536;      ///< largest FT_Write [bytes]
    static constexpr uint32_t kWaitingGiveUpMs = 2000;  ///< waiting read without a byte
    static constexpr uint32_t kClearPassMs = 100;
    static constexpr int kMaxClearPasses = 50;  ///< a board that keeps sending
    static constexpr uint32_t kCoefBytes = 6;

    /// usb: the D2XX backend; null when it could not be started (every export but the
    /// version then gives 2). clock: the fixed waits. images: the configuration images.
    BoardDriver(platform::D2xx* usb, platform::Clock& clock, ImageSource& images);
    ~BoardDriver() = default;
    BoardDriver(const BoardDriver&) = delete;
    BoardDriver& operator=(const BoardDriver&) = delete;

    int32_t GetDLLVersion() const;
    int32_t GetDevicesCnt(uint32_t* count);
    int32_t GetDeviceSerialNumber(uint32_t index, uint32_t* number) const;
    int32_t LockDevice(uint32_t index);
    int32_t GetCoefs(uint32_t index, float* gain, int16_t* offset);
    int32_t ConfigDevice(uint32_t index, const DeviceConfig* config);
    int32_t StartDevice(uint32_t index);
    int32_t GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length, uint8_t* overflow);
    int32_t StopDevice(uint32_t index);
    int32_t ClearBuffer(uint32_t index);
    int32_t UnlockDevice(uint32_t index);

    /// One attempt of the configuration-image load on an open slot: a LoadStatus or an
    /// ImageStatus.
    int32_t LoadImage(uint32_t index, uint32_t imageId);

    uint32_t BoardCount() const { return boardCount_; }
    /// Enabled channels as the last ConfigDevice of the slot counted them.
    uint8_t ChannelCount(uint32_t index) const { return channelCounts_.at(index); }
    /// Marker bytes in a row at the end of the slot's last delivery.
    uint8_t MarkerRun(uint32_t index) const { return markerRuns_.at(index); }
    bool Locked(uint32_t index) const { return handles_.at(index) != nullptr; }

  private:
    /// The common checks: ready, then index (when checkIndex), in the export's order.
    int32_t Check(uint32_t index, bool checkIndex = true) const;
    /// Lists the board numbers of the attached devices, in device order, at most kSlots;
    /// deviceIndexes receives each one's device index. False when the listing failed.
    bool ListBoards(std::vector<uint32_t>& numbers, std::vector<int>& deviceIndexes);
    /// The whole of bytes written (a failed or short write is false).
    bool WriteAll(platform::FT_HANDLE h, std::span<const uint8_t> bytes);
    /// One byte, failing only when FT_Write fails (the image load's rule).
    bool WriteLoose(platform::FT_HANDLE h, uint8_t byte);
    /// Writes the staged pin bytes in pieces of at most kWritePiece.
    bool WriteStaged(platform::FT_HANDLE h, std::span<const uint8_t> pins);
    /// Empties what bit-bang mode left in the receive queue.
    bool DrainReceiveQueue(platform::FT_HANDLE h);

    platform::D2xx* usb_;
    platform::Clock& clock_;
    ImageSource& images_;
    uint32_t boardCount_ = 0;
    std::array<uint32_t, kSlots> boardNumbers_{};
    std::array<platform::FT_HANDLE, kSlots> handles_{};
    std::array<uint8_t, kSlots> channelCounts_{};
    std::array<uint8_t, kSlots> markerRuns_{};
};

}  // namespace veska::driver
