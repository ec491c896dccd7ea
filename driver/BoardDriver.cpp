#include "driver/BoardDriver.h"

#include <algorithm>
#include <cstring>

#include "driver/BoardProtocol.h"

namespace veska::driver {

using platform::FT_HANDLE;
using platform::FT_OK;

namespace {

constexpr size_t kListTextSize = 64;  ///< a serial-number string of FT_ListDevices
constexpr int kMaxDrainPasses = 50;   ///< bit-bang leftovers that never stop coming
constexpr uint32_t kDrainPassMs = 100;
constexpr uint32_t kQueryAnswerBytes = 2;  ///< read after the query; the first one counts

}  // namespace

BoardDriver::BoardDriver(platform::D2xx* usb, platform::Clock& clock, ImageSource& images)
    : usb_(usb), clock_(clock), images_(images) {}

int32_t BoardDriver::Check(uint32_t index, bool checkIndex) const {
    if (usb_ == nullptr) return VOKTDRV_ERR_NOT_READY;
    if (checkIndex && index >= boardCount_) return VOKTDRV_ERR_INDEX;
    return VOKTDRV_OK;
}

int32_t BoardDriver::GetDLLVersion() const {
    return usb_ != nullptr ? VOKTDRV_VERSION : VOKTDRV_ERR_NOT_READY;
}

bool BoardDriver::ListBoards(std::vector<uint32_t>& numbers, std::vector<int>& deviceIndexes) {
    numbers.clear();
    deviceIndexes.clear();
    uint32_t devices = 0;
    if (usb_->ListDevices(&devices, nullptr, platform::FT_LIST_NUMBER_ONLY) != FT_OK) return false;
    for (uint32_t i = 0; i < devices && numbers.size() < kSlots; ++i) {
        char serial[kListTextSize] = {};
        const uint32_t flags = platform::FT_LIST_BY_INDEX | platform::FT_OPEN_BY_SERIAL_NUMBER;
        if (usb_->ListDevices(reinterpret_cast<void*>(uintptr_t{i}), serial, flags) != FT_OK)
            continue;  // a device that cannot tell its serial number is not a board
        serial[kListTextSize - 1] = '\0';
        if (const std::optional<uint32_t> number = BoardNumberOf(serial)) {
            numbers.push_back(*number);
            deviceIndexes.push_back(static_cast<int>(i));
        }
    }
    return true;
}

int32_t BoardDriver::GetDevicesCnt(uint32_t* count) {
    if (const int32_t r = Check(0, false)) return r;
    if (count == nullptr) return VOKTDRV_ERR_ARG;
    std::vector<uint32_t> numbers;
    std::vector<int> deviceIndexes;
    if (!ListBoards(numbers, deviceIndexes)) {
        boardCount_ = 0;
        *count = 0;
        return VOKTDRV_ERR_INDEX;
    }
    std::copy(numbers.begin(), numbers.end(), boardNumbers_.begin());
    boardCount_ = static_cast<uint32_t>(numbers.size());
    *count = boardCount_;
    return VOKTDRV_OK;
}

int32_t BoardDriver::GetDeviceSerialNumber(uint32_t index, uint32_t* number) const {
    if (const int32_t r = Check(index)) return r;
    if (number == nullptr) return VOKTDRV_ERR_ARG;
    *number = boardNumbers_[index];
    return VOKTDRV_OK;
}

int32_t BoardDriver::LockDevice(uint32_t index) {
    if (const int32_t r = Check(index)) return r;
    std::vector<uint32_t> numbers;
    std::vector<int> deviceIndexes;
    if (!ListBoards(numbers, deviceIndexes)) return VOKTDRV_ERR_DEVICE;
    const auto match = std::find(numbers.begin(), numbers.end(), boardNumbers_[index]);
    if (match == numbers.end()) return VOKTDRV_ERR_DEVICE;
    const int deviceIndex = deviceIndexes[static_cast<size_t>(match - numbers.begin())];

    FT_HANDLE& h = handles_[index];
    if (h != nullptr) {  // locked before: start over rather than lose the open device
        (void)usb_->Close(h);
        h = nullptr;
    }
    FT_HANDLE opened = nullptr;
    if (usb_->Open(deviceIndex, &opened) != FT_OK || opened == nullptr) return VOKTDRV_ERR_DEVICE;
    h = opened;
    // A lock that fails leaves the board closed, so that another program or the next try
    // can open it.
    const auto fail = [this, &h] {
        (void)usb_->Close(h);
        h = nullptr;
        return VOKTDRV_ERR_DEVICE;
    };
    if (usb_->ResetDevice(h) != FT_OK || usb_->SetTimeouts(h, kTimeoutMs, kTimeoutMs) != FT_OK ||
        usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK) {
        return fail();
    }
    const uint32_t imageId = ImageIdForBoard(boardNumbers_[index]);
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        const int32_t status = LoadImage(index, imageId);
        if (status == kLoadOk) return VOKTDRV_OK;
        if (status == kImageLockFailed || status == kImageNotFound || status == kImageLoadFailed)
            return fail();
    }
    return fail();
}

bool BoardDriver::WriteAll(FT_HANDLE h, std::span<const uint8_t> bytes) {
    uint32_t written = 0;
    const auto size = static_cast<uint32_t>(bytes.size());
    return usb_->Write(h, bytes.data(), size, &written) == FT_OK && written == size;
}

bool BoardDriver::WriteLoose(FT_HANDLE h, uint8_t byte) {
    uint32_t written = 0;
    return usb_->Write(h, &byte, 1, &written) == FT_OK;
}

bool BoardDriver::WriteStaged(FT_HANDLE h, std::span<const uint8_t> pins) {
    size_t done = 0;
    while (done < pins.size()) {
        const auto piece = static_cast<uint32_t>(std::min<size_t>(pins.size() - done, kWritePiece));
        uint32_t written = 0;
        if (usb_->Write(h, pins.data() + done, piece, &written) != FT_OK) return false;
        if (written == 0) return false;  // no progress: the chip takes nothing more
        done += std::min(written, piece);
    }
    return true;
}

bool BoardDriver::DrainReceiveQueue(FT_HANDLE h) {
    uint32_t queued = 0;
    if (usb_->GetQueueStatus(h, &queued) != FT_OK) return false;
    for (int pass = 0; queued != 0; ++pass) {
        if (pass == kMaxDrainPasses) return false;  // the queue never empties
        if (usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK) return false;
        clock_.Sleep(kDrainPassMs);
        if (usb_->GetQueueStatus(h, &queued) != FT_OK) return false;
    }
    return true;
}

int32_t BoardDriver::LoadImage(uint32_t index, uint32_t imageId) {
    const FT_HANDLE h = handles_.at(index);
    if (h == nullptr) return kLoadUsbFailed;
    // 1. The board leaves its acquisition and waits for a configuration.
    if (usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK || !WriteLoose(h, cmd::kPrepareLoad))
        return kLoadUsbFailed;
    clock_.Sleep(1);
    if (usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK) return kLoadUsbFailed;
    clock_.Sleep(1);
    // 2. The image.
    std::span<const uint8_t> image;
    if (const ImageStatus found = images_.Find(imageId, kImageType, image); found != kImageOk)
        return found;
    const uint32_t bits = ImageBitCount(image);
    if (bits == 0 || (uint64_t{bits} + 7) / 8 > image.size() - kImageHeaderSize)
        return kImageLoadFailed;
    // 3, 4. Bit-bang mode, all pins outputs; the PLD's configuration starts.
    if (usb_->SetBaudRate(h, kBitBangBaud) != FT_OK ||
        usb_->SetBitMode(h, 0xFF, platform::FT_BITMODE_ASYNC_BITBANG) != FT_OK ||
        !WriteLoose(h, kPinsReset)) {
        return kLoadUsbFailed;
    }
    clock_.Sleep(1000);
    if (!WriteLoose(h, kPinsReady)) return kLoadUsbFailed;
    clock_.Sleep(1);
    // 5, 6. Clock the bits out; the staging buffer lives for this attempt only.
    {
        const std::vector<uint8_t> pins = StageImageBits(image, bits);
        if (!WriteStaged(h, pins)) return kLoadUsbFailed;
    }
    // 7, 8. Back to the default mode; drop what bit-bang mode read back.
    clock_.Sleep(100);
    if (!WriteLoose(h, kPinsOff) ||
        usb_->SetBitMode(h, 0xFF, platform::FT_BITMODE_RESET) != FT_OK || !DrainReceiveQueue(h)) {
        return kLoadUsbFailed;
    }
    // 10. Register defaults.
    for (uint8_t b : kRegisterDefaults)
        if (!WriteLoose(h, b)) return kLoadUsbFailed;
    if (!WriteLoose(h, cmd::kLoaded1) || !WriteLoose(h, cmd::kLoaded2)) return kLoadUsbFailed;
    // 11, 12. The board answers the query with the marker once its PLD runs.
    uint32_t queued = 0;
    uint8_t answer[kQueryAnswerBytes] = {};
    uint32_t got = 0;
    if (usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK || !WriteLoose(h, cmd::kQuery) ||
        usb_->GetQueueStatus(h, &queued) != FT_OK ||
        usb_->Read(h, answer, kQueryAnswerBytes, &got) != FT_OK) {
        return kLoadUsbFailed;
    }
    return got >= 1 && answer[0] == kMarker ? kLoadOk : kLoadNoAnswer;
}

int32_t BoardDriver::GetCoefs(uint32_t index, float* gain, int16_t* offset) {
    if (const int32_t r = Check(index)) return r;
    if (gain == nullptr || offset == nullptr) return VOKTDRV_ERR_ARG;
    const FT_HANDLE h = handles_[index];
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    uint8_t scratch[kCoefBytes] = {};
    uint32_t read = 0;
    if (usb_->EE_UARead(h, scratch, kCoefBytes, &read) != FT_OK) return VOKTDRV_ERR_DEVICE;
    const auto raw = static_cast<uint16_t>(scratch[0] | scratch[1] << 8);
    std::memcpy(offset, &raw, sizeof raw);
    float g = 0.0f;
    static_assert(sizeof g == 4);
    std::memcpy(&g, scratch + 2, sizeof g);  // little-endian on every target this runs on
    *gain = g;
    return VOKTDRV_OK;
}

int32_t BoardDriver::ConfigDevice(uint32_t index, const DeviceConfig* config) {
    if (const int32_t r = Check(index)) return r;
    if (config == nullptr) return VOKTDRV_ERR_ARG;
    const ConfigPlan plan = PlanConfig(*config);
    channelCounts_[index] = plan.channelCount;
    if (plan.result == VOKTDRV_ERR_NO_CHANNEL) return plan.result;
    const FT_HANDLE h = handles_[index];
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    for (const CommandStep& step : plan.steps)
        if (!WriteAll(h, step.bytes)) return step.failure;
    return plan.result;
}

int32_t BoardDriver::StartDevice(uint32_t index) {
    if (const int32_t r = Check(index)) return r;
    const FT_HANDLE h = handles_[index];
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    markerRuns_.fill(0);
    const uint8_t idle = cmd::kIdle;
    const uint8_t start = cmd::kStart;
    if (usb_->Purge(h, platform::FT_PURGE_RX | platform::FT_PURGE_TX) != FT_OK ||
        !WriteAll(h, {&idle, 1}) || usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK ||
        !WriteAll(h, {&start, 1})) {
        return VOKTDRV_ERR_DEVICE;
    }
    return VOKTDRV_OK;
}

int32_t BoardDriver::GetDeviceData(uint32_t index, uint8_t* buffer, uint32_t* length,
                                   uint8_t* overflow) {
    if (const int32_t r = Check(index)) return r;
    if (buffer == nullptr || length == nullptr || overflow == nullptr) return VOKTDRV_ERR_ARG;
    const FT_HANDLE h = handles_[index];
    const bool immediate = (*length & VOKTDRV_IMMEDIATE) != 0;
    *length &= ~VOKTDRV_IMMEDIATE;
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    uint32_t wanted = *length;
    uint32_t delivered = 0;
    uint32_t lastByteAt = clock_.TickCount();
    uint32_t queued = 0;
    if (usb_->GetQueueStatus(h, &queued) != FT_OK) return VOKTDRV_ERR_DEVICE;
    // An immediate read takes everything queued (a USB backend may report one transfer at a
    // time) without waiting for more; a waiting one reads until length or a pause.
    for (;;) {
        if (queued == 0) {
            if (immediate) break;
            if (clock_.TickCount() - lastByteAt >= kWaitingGiveUpMs) break;
            clock_.Sleep(1);
        } else if (wanted > 0) {
            uint32_t got = 0;
            const uint32_t ask = std::min(queued, wanted);
            if (usb_->Read(h, buffer + delivered, ask, &got) != FT_OK) return VOKTDRV_ERR_DEVICE;
            got = std::min(got, ask);
            delivered += got;
            wanted -= got;
            if (got > 0) lastByteAt = clock_.TickCount();
        }
        if (wanted == 0) break;
        if (usb_->GetQueueStatus(h, &queued) != FT_OK) return VOKTDRV_ERR_DEVICE;
    }
    *length = delivered;
    *overflow = ScanMarkerRuns({buffer, delivered}, markerRuns_[index]) ? 1 : 0;
    return VOKTDRV_OK;
}

int32_t BoardDriver::StopDevice(uint32_t index) {
    if (const int32_t r = Check(index)) return r;
    const FT_HANDLE h = handles_[index];
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    const uint8_t stop = cmd::kStop;
    if (!WriteAll(h, {&stop, 1}) || usb_->Purge(h, platform::FT_PURGE_RX) != FT_OK)
        return VOKTDRV_ERR_DEVICE;
    return VOKTDRV_OK;
}

int32_t BoardDriver::ClearBuffer(uint32_t index) {
    if (const int32_t r = Check(index)) return r;
    const FT_HANDLE h = handles_[index];
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    std::vector<uint8_t> scratch;
    for (int pass = 0; pass < kMaxClearPasses; ++pass) {
        clock_.Sleep(kClearPassMs);
        uint32_t queued = 0;
        if (usb_->GetQueueStatus(h, &queued) != FT_OK) return VOKTDRV_ERR_DEVICE;
        if (queued == 0) return VOKTDRV_OK;
        const uint32_t ask = std::min(queued, kWritePiece);
        scratch.resize(ask);
        uint32_t got = 0;
        if (usb_->Read(h, scratch.data(), ask, &got) != FT_OK) return VOKTDRV_ERR_DEVICE;
        if (got == 0) return VOKTDRV_OK;
    }
    return VOKTDRV_ERR_DEVICE;  // still acquiring: the queue never ran dry
}

int32_t BoardDriver::UnlockDevice(uint32_t index) {
    if (const int32_t r = Check(index)) return r;
    FT_HANDLE& h = handles_[index];
    if (h == nullptr) return VOKTDRV_ERR_DEVICE;
    // Park: each step only after the previous one succeeded; the result does not depend on it.
    const uint8_t park = cmd::kPark;
    const uint8_t idle = cmd::kIdle;
    if (WriteAll(h, {&park, 1}) && WriteAll(h, {&idle, 1}) &&
        usb_->SetBitMode(h, 0xFF, platform::FT_BITMODE_ASYNC_BITBANG) == FT_OK) {
        const uint8_t off = kPinsOff;
        (void)WriteAll(h, {&off, 1});
    }
    (void)usb_->Close(h);
    h = nullptr;
    return VOKTDRV_OK;
}

}  // namespace veska::driver
