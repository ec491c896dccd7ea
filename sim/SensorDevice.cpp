#include "sim/SensorDevice.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "sim/SensorOptics.h"

namespace veska::sim {
namespace {

enum : uint8_t {
    kIdentify = 1,
    kReadParam = 2,
    kWriteParam = 3,
    kStoreParams = 4,
    kGetResult = 6,
    kStartStream = 7,
    kStopStream = 8,
    kWriteTable = 10,
    kStartStatusStream = 12,
    kReadVideo = 15,
};

constexpr int kUnknownLength = -1;
constexpr int kTableRequestBytes = 1026;
constexpr uint8_t kTableTrailer = 0xAA;
constexpr size_t kTableBlockValues = 512;
constexpr size_t kTableEntries = 65536;
/// Position code of the far end of the range in the calibration table.
constexpr double kCodeOfRange = 16384.0;
/// Largest profile the sensor sends [bytes]: 2048 pixels of 16 bits.
constexpr size_t kMaxVideoBytes = 4096;
constexpr size_t kDefaultVideoBytes = 2048;
/// Bit of the control byte: one stream sample per trigger pulse.
constexpr uint8_t kControlTriggeredSample = 0x01;

/// Data bytes that complete a request of this command (ReadVideo: 2, or none at the end
/// of the burst).
int RequestLength(uint8_t command) {
    switch (command) {
        case kIdentify:
        case kGetResult:
        case kStartStream:
        case kStartStatusStream:
            return 0;
        case kReadParam:
        case kStoreParams:
            return 1;
        case kWriteParam:
        case kStopStream:
        case kReadVideo:
            return 2;
        case kWriteTable:
            return kTableRequestBytes;
        default:
            return kUnknownLength;
    }
}

uint16_t ClampRaw(double v) {
    return static_cast<uint16_t>(std::clamp(std::lround(v), 0L, 65535L));
}

}  // namespace

SensorDevice::SensorDevice(World& world, SensorOptions options)
    : world_(world),
      options_(options),
      memory_(options.identity),
      table_(kTableEntries, 0),
      rng_(options.seed) {}

void SensorDevice::Feed(std::span<const uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    counters_.bytesReceived += bytes.size();
    for (uint8_t b : bytes) FeedByte(b);
}

void SensorDevice::EndOfBurst() {
    std::lock_guard lock(mutex_);
    FinishPending(true);
}

void SensorDevice::FeedByte(uint8_t b) {
    if ((b & 0x80) == 0) {
        FinishPending(false);
        packetAddress_ = b;
        state_ = ParseState::kCommand;
        return;
    }
    switch (state_) {
        case ParseState::kIdle:
            ++counters_.strayBytes;
            return;
        case ParseState::kCommand:
            packetCommand_ = b & 0x0F;
            packetData_.clear();
            lowNibbleHeld_ = false;
            expectedData_ = RequestLength(packetCommand_);
            if (expectedData_ == kUnknownLength) {
                ++counters_.unknownCommands;
                state_ = ParseState::kIdle;
            } else if (expectedData_ == 0) {
                state_ = ParseState::kIdle;
                Dispatch();
            } else {
                state_ = ParseState::kData;
            }
            return;
        case ParseState::kData:
            if (!lowNibbleHeld_) {
                lowNibble_ = b & 0x0F;
                lowNibbleHeld_ = true;
                return;
            }
            lowNibbleHeld_ = false;
            packetData_.push_back(static_cast<uint8_t>(lowNibble_ | (b & 0x0F) << 4));
            if (static_cast<int>(packetData_.size()) == expectedData_) {
                state_ = ParseState::kIdle;
                Dispatch();
            }
            return;
    }
}

void SensorDevice::FinishPending(bool atEndOfBurst) {
    if (state_ == ParseState::kIdle) return;
    const bool videoWithoutData = state_ == ParseState::kData && packetCommand_ == kReadVideo &&
                                  packetData_.empty() && !lowNibbleHeld_;
    if (videoWithoutData) {
        state_ = ParseState::kIdle;
        Dispatch();
        return;
    }
    // At the end of a burst a request still waiting for bytes stays open: the rest may
    // follow in the next burst. A start byte in the middle of a request loses it.
    if (atEndOfBurst) return;
    ++counters_.malformedPackets;
    state_ = ParseState::kIdle;
}

void SensorDevice::Dispatch() {
    ReceivedRequest request{packetAddress_, packetCommand_, packetData_};
    if (log_.size() == kRequestLogSize) log_.pop_front();
    log_.push_back(std::move(request));

    if ((packetAddress_ & 0x7F) != (memory_.Get(addr::kNetAddress) & 0x7F)) {
        ++counters_.foreignPackets;
        return;
    }
    ++counters_.requests[packetCommand_];
    if (silent_) return;

    const std::vector<uint8_t>& d = packetData_;
    switch (packetCommand_) {
        case kIdentify:
            Identify();
            break;
        case kReadParam:
            ReadParam(d[0]);
            break;
        case kWriteParam:
            ++counters_.paramWrites[d[0]];
            memory_.Set(d[0], d[1]);
            if (d[0] == 0x19 || d[0] == 0x1A) lastLevelAddress_ = 0x19;
            if (d[0] == 0x1B || d[0] == 0x1C) lastLevelAddress_ = 0x1B;
            break;
        case kStoreParams:
            StoreParams(d[0]);
            break;
        case kGetResult: {
            const uint16_t raw = Measure(memory_.Get(addr::kModeOfRun), nullptr, world_.TargetMm());
            const uint8_t reply[2] = {static_cast<uint8_t>(raw & 0xFF),
                                      static_cast<uint8_t>(raw >> 8)};
            Reply(reply);
            break;
        }
        case kStartStream:
        case kStartStatusStream:
            stream_ = packetCommand_ == kStartStream ? StreamKind::kPlain : StreamKind::kStatus;
            ++streamGeneration_;
            break;
        case kStopStream:
            stream_ = StreamKind::kNone;
            break;
        case kWriteTable:
            WriteTable();
            break;
        case kReadVideo:
            ReadVideo(!d.empty());
            break;
        default:
            break;
    }
}

void SensorDevice::Identify() {
    std::array<uint8_t, 8> identity{};
    for (uint8_t i = 0; i < identity.size(); ++i) identity[i] = memory_.Get(addr::kDeviceType + i);
    identity[1] = kFirmwareRelease;
    Reply(identity);
}

void SensorDevice::ReadParam(uint8_t address) {
    ++counters_.paramReads[address];
    if (mutedAddresses_.test(address)) return;
    const uint8_t value = memory_.Get(address);
    Reply(std::span(&value, 1));
}

void SensorDevice::StoreParams(uint8_t code) {
    switch (code) {
        case 0xAA:
            memory_.StoreToFlash();
            break;
        case 0x69:
            memory_.RestoreDefaults();
            break;
        case 0x96:
            memory_.StoreAsFactory();
            break;
        default: {
            // Unknown operation: nothing stored, and an answer no host takes for an echo.
            const uint8_t refusal = static_cast<uint8_t>(~code);
            Reply(std::span(&refusal, 1));
            return;
        }
    }
    Reply(std::span(&code, 1));
}

void SensorDevice::WriteTable() {
    const uint8_t block = packetData_[1024];
    const bool valid =
        packetData_[1025] == kTableTrailer && block < kTableEntries / kTableBlockValues;
    uint8_t answer = 0x00;
    if (valid) {
        for (size_t i = 0; i < kTableBlockValues; ++i) {
            table_[block * kTableBlockValues + i] =
                static_cast<uint16_t>(packetData_[2 * i] << 8 | packetData_[2 * i + 1]);
        }
        tableLoaded_ = true;
        ++counters_.tableBlocks;
        answer = kTableTrailer;
        if (block == 0) {
            // Block 0 starts a new table: the sensor erases the table area first.
            ++counters_.tableErases;
            busyTime_ = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(kTableEraseSeconds / world_.TimeScale()));
        }
    } else {
        ++counters_.rejectedTableBlocks;
    }
    Reply(std::span(&answer, 1));
}

void SensorDevice::ReadVideo(bool withSize) {
    // The first request arms the capture; the next one reads it, with the size it names
    // (2n, little-endian, for n bytes) or the default size. The firmware tells the two apart
    // by its own state only: a request that comes unarmed arms, whatever data it carries, and
    // gets no answer.
    if (!videoArmed_) {
        if (withSize) ++counters_.unarmedVideoRequests;
        videoArmed_ = true;
        return;
    }
    videoArmed_ = false;
    size_t bytes = kDefaultVideoBytes;
    if (withSize) {
        const size_t doubled = packetData_[0] | packetData_[1] << 8;
        if (doubled >= 2) bytes = std::min(doubled / 2, kMaxVideoBytes);
    }
    const int length = LengthPx();
    const double u = (world_.TargetMm() - options_.identity.baseDistance) /
                     std::max<double>(options_.identity.measuringRange, 1);
    const double spot = optics::SpotPixel(u, length);
    const bool visible = memory_.Get(addr::kSensorOn) != 0 && optics::SpotVisible(spot, length);
    const double pixelNoise = options_.noise > 0 ? 8.0 : 0.0;
    const std::vector<uint16_t> pixels =
        optics::Profile(spot, visible, length, memory_.Get16(addr::kDarkLevel), pixelNoise, rng_);
    std::vector<uint8_t> profile(bytes, 0);
    for (size_t i = 0; i < bytes; ++i) {
        const size_t px = i / 2;
        if (px < pixels.size())
            profile[i] = static_cast<uint8_t>(i % 2 == 0 ? pixels[px] & 0xFF : pixels[px] >> 8);
    }
    Reply(profile);
}

int32_t SensorDevice::AnalogCodeLocked(double targetMm) const {
    constexpr uint8_t kBottomLevel = 0x19;
    constexpr uint8_t kTopLevel = 0x1B;
    const auto level = [this](uint8_t address) {
        return std::min<int32_t>(memory_.Get16(address), AnalogStage::kCodes - 1);
    };
    if (memory_.Get(addr::kSensorOn) == 0) return level(lastLevelAddress_);
    const double range = std::max<double>(options_.identity.measuringRange, 1);
    const double u = (targetMm - options_.identity.baseDistance) / range;
    const double begin = memory_.Get16(addr::kWindowBegin) / 65534.0;
    const double end = memory_.Get16(addr::kWindowEnd) / 65534.0;
    // A window whose end is not above its begin stands for the whole range.
    const double w =
        end > begin ? std::clamp((u - begin) / (end - begin), 0.0, 1.0) : std::clamp(u, 0.0, 1.0);
    const int32_t bottom = level(kBottomLevel);
    const int32_t top = level(kTopLevel);
    return bottom + static_cast<int32_t>(std::lround(w * (top - bottom)));
}

int32_t SensorDevice::AnalogCode() const {
    std::lock_guard lock(mutex_);
    return AnalogCodeLocked(world_.TargetMm());
}

double SensorDevice::AnalogOutputV() const {
    std::lock_guard lock(mutex_);
    if (memory_.Get(addr::kAnalogOn) == 0) return 0.0;
    return options_.analog.BoardVoltsAtCode(AnalogCodeLocked(world_.TargetMm()));
}

double SensorDevice::AnalogOutputVAt(std::chrono::steady_clock::time_point at) const {
    const double targetMm = world_.TargetAt(world_.SecondsAt(at));
    std::lock_guard lock(mutex_);
    if (memory_.Get(addr::kAnalogOn) == 0) return 0.0;
    return options_.analog.BoardVoltsAtCode(AnalogCodeLocked(targetMm));
}

uint16_t SensorDevice::Measure(uint8_t modeOfRun, uint8_t* statusByte, double targetMm) {
    const double range = std::max<double>(options_.identity.measuringRange, 1);
    const double u = (targetMm - options_.identity.baseDistance) / range;
    const int length = LengthPx();
    const double spot = optics::SpotPixel(u, length);
    const bool lit = memory_.Get(addr::kSensorOn) != 0;
    const bool visible = lit && optics::SpotVisible(spot, length);
    const int averaging = std::max<int>(memory_.Get(addr::kAveraging), 1);
    const double sigma = options_.noise / std::sqrt(averaging);

    if (statusByte) {
        const double begin = memory_.Get16(addr::kWindowBegin) / 65534.0;
        const double end = memory_.Get16(addr::kWindowEnd) / 65534.0;
        uint8_t status = visible ? 0x01 : 0x00;
        if (visible && u > (begin + end) / 2.0) status |= 0x02;  // limit output
        *statusByte = status;
    }

    if (modeOfRun == 2) return ClampRaw(world_.TemperatureC() * 10.0);  // [0.1 degC]
    if (!visible) return 0;
    const double pixelCounts = (spot + Noise(sigma * length)) * optics::kCountsPerPixel;
    if (modeOfRun == 1) return ClampRaw(pixelCounts);

    const uint16_t divisorParam = memory_.Get16(addr::kDivisor);
    const double divisor = divisorParam != 0 ? divisorParam : 50000.0;
    // A sensor that holds a table reports the position its entry gives; an entry of 0
    // knows no position for that raw value, so the result is 0 (no target), as it is
    // beyond the calibrated part of the line.
    if (tableLoaded_) return ClampRaw(table_[ClampRaw(pixelCounts)] * divisor / kCodeOfRange);
    return ClampRaw(divisor * (optics::LineResponse(u) + Noise(sigma)));
}

double SensorDevice::Noise(double sigma) {
    if (sigma <= 0.0) return 0.0;
    std::normal_distribution<double> n(0.0, sigma);
    return n(rng_);
}

int SensorDevice::LengthPx() const {
    return std::clamp<int>(memory_.Get16(addr::kLengthCcd), 16, 2048);
}

void SensorDevice::Reply(std::span<const uint8_t> data) {
    uint8_t counter = counter_;
    if (staleNext_) {
        counter = static_cast<uint8_t>((counter_ + 7) & 7);
        staleNext_ = false;
    } else {
        counter_ = static_cast<uint8_t>((counter_ + 1) & 7);
    }
    const uint8_t head = static_cast<uint8_t>(0x80 | counter << 4);
    const size_t start = output_.size();
    for (uint8_t byte : data) {
        output_.push_back(head | (byte & 0x0F));
        output_.push_back(head | byte >> 4);
    }
    ++counters_.replies;
    const size_t length = output_.size() - start;
    if (corruptNext_ && length > 0) {
        output_[start + std::min(corruptIndex_, length - 1)] &= 0x7F;
        corruptNext_ = false;
    }
    if (dropBytes_ > 0) {
        const size_t drop = std::min(dropBytes_, length);
        output_.erase(output_.begin() + static_cast<std::ptrdiff_t>(start),
                      output_.begin() + static_cast<std::ptrdiff_t>(start + drop));
        dropBytes_ -= drop;
    }
}

void SensorDevice::TakeOutput(std::vector<uint8_t>& out) {
    std::lock_guard lock(mutex_);
    out.insert(out.end(), output_.begin(), output_.end());
    output_.clear();
}

bool SensorDevice::HasOutput() const {
    std::lock_guard lock(mutex_);
    return !output_.empty();
}

StreamKind SensorDevice::Streaming() const {
    std::lock_guard lock(mutex_);
    return silent_ ? StreamKind::kNone : stream_;
}

uint32_t SensorDevice::StreamGeneration() const {
    std::lock_guard lock(mutex_);
    return streamGeneration_;
}

size_t SensorDevice::SampleLineBytes() const {
    std::lock_guard lock(mutex_);
    return stream_ == StreamKind::kStatus ? 6 : 4;
}

void SensorDevice::EmitSamples(size_t count) {
    std::lock_guard lock(mutex_);
    if (silent_ || stream_ == StreamKind::kNone) return;
    for (size_t i = 0; i < count; ++i) AppendSample(world_.TargetMm());
}

void SensorDevice::EmitSamplesAt(std::span<const std::chrono::steady_clock::time_point> times) {
    std::lock_guard lock(mutex_);
    if (silent_ || stream_ == StreamKind::kNone) return;
    for (const auto& at : times) AppendSample(world_.TargetAt(world_.SecondsAt(at)));
}

bool SensorDevice::TriggeredSampling() const {
    std::lock_guard lock(mutex_);
    return (memory_.Get(addr::kControl) & kControlTriggeredSample) != 0;
}

void SensorDevice::AppendSample(double targetMm) {
    uint8_t status = 0;
    const uint16_t raw = Measure(memory_.Get(addr::kModeOfRun), &status, targetMm);
    const uint8_t sample[3] = {static_cast<uint8_t>(raw & 0xFF), static_cast<uint8_t>(raw >> 8),
                               status};
    Reply(std::span(sample, stream_ == StreamKind::kStatus ? 3 : 2));
    ++counters_.samplesSent;
}

uint32_t SensorDevice::LineBaud() const {
    std::lock_guard lock(mutex_);
    return memory_.LineBaud();
}

uint8_t SensorDevice::NetAddress() const {
    std::lock_guard lock(mutex_);
    return memory_.Get(addr::kNetAddress);
}

std::chrono::steady_clock::duration SensorDevice::TakeBusyTime() {
    std::lock_guard lock(mutex_);
    return std::exchange(busyTime_, std::chrono::steady_clock::duration::zero());
}

void SensorDevice::PowerCycle() {
    std::lock_guard lock(mutex_);
    memory_.LoadFlash();
    state_ = ParseState::kIdle;
    counter_ = 0;
    stream_ = StreamKind::kNone;
    videoArmed_ = false;
    output_.clear();
}

uint8_t SensorDevice::Param(uint8_t address) const {
    std::lock_guard lock(mutex_);
    return memory_.Get(address);
}

uint16_t SensorDevice::Param16(uint8_t address) const {
    std::lock_guard lock(mutex_);
    return memory_.Get16(address);
}

void SensorDevice::SetParam(uint8_t address, uint8_t value) {
    std::lock_guard lock(mutex_);
    memory_.Set(address, value);
}

void SensorDevice::SetParam16(uint8_t address, uint16_t value) {
    std::lock_guard lock(mutex_);
    memory_.Set16(address, value);
}

ParamMemory::Bytes SensorDevice::FlashSet() const {
    std::lock_guard lock(mutex_);
    return memory_.Flash();
}

ParamMemory::Bytes SensorDevice::FactorySet() const {
    std::lock_guard lock(mutex_);
    return memory_.Factory();
}

uint16_t SensorDevice::TableEntry(uint16_t index) const {
    std::lock_guard lock(mutex_);
    return table_[index];
}

void SensorDevice::SetNoise(double fractionOfRange) {
    std::lock_guard lock(mutex_);
    options_.noise = std::max(fractionOfRange, 0.0);
}

uint16_t SensorDevice::CurrentResult() {
    std::lock_guard lock(mutex_);
    return Measure(memory_.Get(addr::kModeOfRun), nullptr, world_.TargetMm());
}

void SensorDevice::DropNextReplyBytes(size_t n) {
    std::lock_guard lock(mutex_);
    dropBytes_ = n;
}

void SensorDevice::CorruptNextReply(size_t byteIndex) {
    std::lock_guard lock(mutex_);
    corruptNext_ = true;
    corruptIndex_ = byteIndex;
}

void SensorDevice::StaleCounterNextReply() {
    std::lock_guard lock(mutex_);
    staleNext_ = true;
}

void SensorDevice::SetSilent(bool silent) {
    std::lock_guard lock(mutex_);
    silent_ = silent;
}

bool SensorDevice::Silent() const {
    std::lock_guard lock(mutex_);
    return silent_;
}

void SensorDevice::MuteParamAddress(uint8_t address, bool muted) {
    std::lock_guard lock(mutex_);
    mutedAddresses_.set(address, muted);
}

void SensorDevice::SetReplyDelayMs(uint32_t ms) {
    std::lock_guard lock(mutex_);
    replyDelayMs_ = ms;
}

uint32_t SensorDevice::ReplyDelayMs() const {
    std::lock_guard lock(mutex_);
    return replyDelayMs_;
}

SensorCounters SensorDevice::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

std::vector<ReceivedRequest> SensorDevice::RecentRequests() const {
    std::lock_guard lock(mutex_);
    return {log_.begin(), log_.end()};
}

void SensorDevice::ResetCounters() {
    std::lock_guard lock(mutex_);
    counters_ = {};
    log_.clear();
}

uint8_t SensorDevice::NextCounter() const {
    std::lock_guard lock(mutex_);
    return counter_;
}

}  // namespace veska::sim
