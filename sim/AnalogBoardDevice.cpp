#include "sim/AnalogBoardDevice.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace veska::sim {

using platform::FT_STATUS;

namespace {

constexpr uint8_t kPinConfig = 0x02;  ///< pin 1: low holds the PLD unconfigured
constexpr uint8_t kPinClock = 0x40;   ///< pin 6: configuration clock
constexpr uint8_t kPinData = 0x80;    ///< pin 7: configuration data
/// Bits kept beyond a complete configuration, so a runaway host cannot grow the buffer.
constexpr uint32_t kExtraBitsKept = 65536;
constexpr double kVoltsPerCountScale = 500.0 / 454.5;
constexpr uint8_t kRegFTriggered = 0x04;  ///< register F bit 2: sample on the trigger input

}  // namespace

SimAnalogBoard::SimAnalogBoard(World& world, AnalogBoardOptions options)
    : SimUsbDevice("VOKT Analog Board", options.serialNumber),
      world_(world),
      faults_(world.BoardFaults()),
      options_(std::move(options)) {}

bool SimAnalogBoard::Listed() const {
    std::lock_guard lock(mutex_);
    return !Gone();
}

bool SimAnalogBoard::Gone() const { return unplugged_ || faults_.Gone(); }

void SimAnalogBoard::CallComing() {
    faults_.RequestComing();
    faults_.CountRequests(1);
}

bool SimAnalogBoard::OnOpen(bool w32) {
    std::lock_guard lock(mutex_);
    if (w32 || open_ || Gone()) return false;  // no serial path; one open at a time
    open_ = true;
    return true;
}

void SimAnalogBoard::OnClose() {
    {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    changed_.notify_all();
}

FT_STATUS SimAnalogBoard::SetBitMode(uint8_t /*mask*/, uint8_t mode) {
    std::lock_guard lock(mutex_);
    if (Gone()) return platform::FT_IO_ERROR;
    if (mode == platform::FT_BITMODE_ASYNC_BITBANG) {
        if (!bitBang_) pins_ = 0;
        bitBang_ = true;
        acquiring_ = false;
        return platform::FT_OK;
    }
    if (mode == platform::FT_BITMODE_RESET) {
        if (bitBang_ && bits_ > 0) {
            configured_ = bits_ == options_.configurationBits;
            if (configured_) ++counters_.configurations;
        }
        bitBang_ = false;
        collecting_ = false;
        return platform::FT_OK;
    }
    return platform::FT_INVALID_PARAMETER;  // the board's chip offers no other mode here
}

void SimAnalogBoard::PinState(uint8_t pins) {
    const uint8_t before = pins_;
    pins_ = pins;
    if ((pins & kPinConfig) == 0) {
        // Held in configuration reset: what came so far is dropped.
        collecting_ = false;
        configured_ = false;
        return;
    }
    if ((before & kPinConfig) == 0) {  // pin 1 rose: a new configuration begins
        collecting_ = true;
        configuration_.clear();
        bits_ = 0;
    }
    const bool clockRose = (before & kPinClock) == 0 && (pins & kPinClock) != 0;
    if (!collecting_ || !clockRose) return;
    if (bits_ < options_.configurationBits + kExtraBitsKept) {
        if (bits_ % 8 == 0) configuration_.push_back(0);
        if (pins & kPinData) configuration_.back() |= static_cast<uint8_t>(1u << (bits_ % 8));
    }
    ++bits_;
}

void SimAnalogBoard::Command(uint8_t byte) {
    ++counters_.commands;
    commandLog_.push_back(byte);
    const uint8_t code = byte >> 4;
    const uint8_t n = byte & 0x0F;
    if (code == 0xE) {
        switch (byte) {
            case 0xE2:
                if (!configured_) return;
                acquiring_ = true;
                acquisitionStart_ = SteadyClock::now();
                triggered_ = trigger_ != nullptr && (nibbles_[0xF] & kRegFTriggered) != 0;
                periodsDone_ = triggered_ ? trigger_->PulsesUntil(acquisitionStart_) : 0;
                lostSinceRun_ = false;
                ++counters_.starts;
                return;
            case 0xE7:
                acquiring_ = false;
                return;
            case 0xEA:
                ++counters_.queries;
                if (noAnswer_ > 0) {
                    --noAnswer_;
                    return;
                }
                if (configured_) {
                    queue_.push_back(kMarker);
                    ++counters_.queriesAnswered;
                }
                return;
            case 0xE4:
                if (acquiring_) ++counters_.stops;
                acquiring_ = false;
                return;
            case 0xEC:
                ++counters_.parks;
                acquiring_ = false;
                return;
            default:  // 0xE1 and the rest: idle
                acquiring_ = false;
                return;
        }
    }
    if (!configured_) return;  // an unconfigured PLD has no registers
    switch (code) {
        case 0x0:
            reg0_ = (reg0_ >> 4) | (uint32_t{n} << 28);
            break;
        case 0x3:
            reg3_ = static_cast<uint16_t>((reg3_ >> 4) | (n << 12));
            break;
        case 0xC:
            mask_ = static_cast<uint8_t>((mask_ & 0x0F) | (n << 4));
            break;
        case 0xD:
            mask_ = static_cast<uint8_t>((mask_ & 0xF0) | n);
            break;
        default:
            nibbles_[code] = n;
            break;
    }
}

double SimAnalogBoard::SampleRateLocked() const {
    const double rate = double(options_.clockHz) / (double(reg0_) + 2.0);
    const int channels = std::max(1, std::popcount(mask_));
    return std::min(rate, double(options_.maxSampleRate) / channels);
}

double SimAnalogBoard::SampleRate() const {
    std::lock_guard lock(mutex_);
    return SampleRateLocked();
}

uint16_t SimAnalogBoard::WordFor(double volts) {
    noise_ = noise_ * 1103515245u + 12345u;
    const double noise = options_.noiseCounts * ((double((noise_ >> 16) & 0x7FFF) / 16383.5) - 1.0);
    const double raw = volts / (double(options_.gain) * kVoltsPerCountScale) + noise;
    const long code =
        std::clamp<long>(std::lround(raw) + long{options_.offset} - 0x8000, -32768, 32767);
    return static_cast<uint16_t>(code & 0xFFFF);
}

void SimAnalogBoard::PushWord(uint16_t word) {
    queue_.push_back(static_cast<uint8_t>(word & 0xFF));
    queue_.push_back(static_cast<uint8_t>(word >> 8));
    ++counters_.samplesSent;
}

void SimAnalogBoard::Advance(SteadyClock::time_point now) {
    if (!acquiring_ || bitBang_) return;
    uint64_t due = 0;
    if (triggered_) {
        due = trigger_->PulsesUntil(now);
    } else {
        const double elapsed = std::chrono::duration<double>(now - acquisitionStart_).count();
        due = static_cast<uint64_t>(elapsed * SampleRateLocked());
    }
    if (due <= periodsDone_) return;
    const uint64_t firstNew = periodsDone_ + 1;  // the first period (pulse) not yet taken
    const uint8_t mask = mask_ != 0 ? mask_ : 1;
    const size_t wordsPerPeriod = static_cast<size_t>(std::popcount(mask));
    const size_t periodBytes = 2 * wordsPerPeriod;
    uint64_t periods = due - periodsDone_;
    periodsDone_ = due;
    // Periods that cannot fit even into an empty queue are lost without being made.
    const size_t room = options_.fifoBytes > queue_.size() ? options_.fifoBytes - queue_.size() : 0;
    const uint64_t fit = room / periodBytes + 1;
    if (periods > fit) {
        counters_.samplesLost += (periods - fit) * wordsPerPeriod;
        lostSinceRun_ = true;
        periods = fit;
    }
    const double voltsNow = world_.AnalogOutputV();
    // A full queue loses the newest words: the pulses kept are the earliest.
    const auto voltsOf = [&](uint64_t p) {
        if (!triggered_) return voltsNow;
        const TriggerSource::TimePoint at = trigger_->PulseTime(firstNew + p);
        return at == TriggerSource::TimePoint::max() || at > now ? voltsNow
                                                                 : world_.AnalogOutputVAt(at);
    };
    for (uint64_t p = 0; p < periods; ++p) {
        const double volts = voltsOf(p);
        if (lostSinceRun_ && queue_.size() + kMarkerRunBytes + periodBytes <= options_.fifoBytes) {
            queue_.insert(queue_.end(), kMarkerRunBytes, kMarker);
            ++counters_.markerRuns;
            lostSinceRun_ = false;
        }
        if (queue_.size() + periodBytes > options_.fifoBytes) {
            counters_.samplesLost += wordsPerPeriod;
            lostSinceRun_ = true;
            continue;
        }
        for (int ch = 0; ch < 8; ++ch)
            if (mask & (1u << ch)) PushWord(WordFor(ch == 0 ? volts : 0.0));
    }
}

FT_STATUS SimAnalogBoard::Read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (buffer == nullptr && count > 0) return platform::FT_INVALID_PARAMETER;
    CallComing();
    std::unique_lock lock(mutex_);
    const auto start = SteadyClock::now();
    const bool limited = readMs_ != 0;
    const auto deadline = start + std::chrono::milliseconds(readMs_);
    // A slow board gives nothing before its delay has passed (within the read's time-out).
    const auto answerFrom = start + std::chrono::milliseconds(faults_.ValueOf(FaultKind::kSlow));
    for (;;) {
        if (Gone() || !open_) return platform::FT_IO_ERROR;
        const auto now = SteadyClock::now();
        Advance(now);
        if (faults_.Holds(FaultKind::kSilent)) queue_.clear();
        if (limited && now >= deadline) {
            if (now < answerFrom) return platform::FT_OK;
            break;
        }
        if (queue_.size() >= count && now >= answerFrom) break;
        // Words come by time, answers by writes: look again within a millisecond.
        auto next = now + std::chrono::milliseconds(1);
        if (limited) next = std::min(next, deadline);
        changed_.wait_until(lock, next);
    }
    const auto n = static_cast<uint32_t>(std::min<size_t>(count, queue_.size()));
    auto* out = static_cast<uint8_t*>(buffer);
    std::copy_n(queue_.begin(), n, out);
    queue_.erase(queue_.begin(), queue_.begin() + n);
    *got = static_cast<uint32_t>(faults_.FilterOutput(out, n));
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::Write(const void* buffer, uint32_t count, uint32_t* written) {
    *written = 0;
    if (buffer == nullptr && count > 0) return platform::FT_INVALID_PARAMETER;
    CallComing();
    {
        std::lock_guard lock(mutex_);
        if (Gone() || !open_) return platform::FT_IO_ERROR;
        if (failWrites_ > 0) {
            --failWrites_;
            if (!shortWrites_) return platform::FT_IO_ERROR;
            count /= 2;
        }
        const uint32_t onlyBaud = faults_.ValueOf(FaultKind::kWrongRate);
        if (faults_.Holds(FaultKind::kSilent) || (onlyBaud != 0 && onlyBaud != baud_)) {
            *written = count;  // the chip takes the bytes; the PLD behind it hears nothing
            return platform::FT_OK;
        }
        Advance(SteadyClock::now());
        const auto* in = static_cast<const uint8_t*>(buffer);
        for (uint32_t i = 0; i < count; ++i) {
            if (bitBang_) {
                PinState(in[i]);
                if (queue_.size() < options_.fifoBytes) queue_.push_back(in[i]);  // pins read back
            } else {
                Command(in[i]);
            }
        }
        *written = count;
    }
    changed_.notify_all();
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::ResetDevice() {
    std::lock_guard lock(mutex_);
    if (Gone()) return platform::FT_IO_ERROR;
    // The USB chip resets; the PLD behind it keeps its configuration.
    bitBang_ = false;
    collecting_ = false;
    queue_.clear();
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::SetBaudRate(uint32_t baud) {
    std::lock_guard lock(mutex_);
    if (Gone()) return platform::FT_IO_ERROR;
    if (baud == 0) return platform::FT_INVALID_BAUD_RATE;
    baud_ = baud;
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::Purge(uint32_t mask) {
    std::lock_guard lock(mutex_);
    if (Gone()) return platform::FT_IO_ERROR;
    if (mask & platform::FT_PURGE_RX) {
        Advance(SteadyClock::now());
        queue_.clear();
    }
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::SetTimeouts(uint32_t readMs, uint32_t /*writeMs*/) {
    std::lock_guard lock(mutex_);
    if (Gone()) return platform::FT_IO_ERROR;
    readMs_ = readMs;
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::GetQueueStatus(uint32_t* rxBytes) {
    *rxBytes = 0;
    std::lock_guard lock(mutex_);
    if (Gone()) return platform::FT_IO_ERROR;
    Advance(SteadyClock::now());
    *rxBytes = static_cast<uint32_t>(queue_.size());
    return platform::FT_OK;
}

FT_STATUS SimAnalogBoard::EE_UARead(uint8_t* buffer, uint32_t size, uint32_t* read) {
    *read = 0;
    std::lock_guard lock(mutex_);
    ++counters_.eepromReads;
    if (Gone()) return platform::FT_IO_ERROR;
    if (eepromFails_) return platform::FT_EEPROM_READ_FAILED;
    if ((buffer == nullptr && size > 0) || size > kUserAreaBytes)
        return platform::FT_INVALID_PARAMETER;
    uint8_t area[kUserAreaBytes] = {};
    area[0] = static_cast<uint8_t>(options_.offset & 0xFF);
    area[1] = static_cast<uint8_t>(options_.offset >> 8);
    std::memcpy(area + 2, &options_.gain, sizeof options_.gain);
    std::copy_n(area, size, buffer);
    *read = size;
    return platform::FT_OK;
}

void SimAnalogBoard::ConnectTrigger(const TriggerSource* trigger) {
    std::lock_guard lock(mutex_);
    trigger_ = trigger;
    if (trigger_ == nullptr) triggered_ = false;
}

void SimAnalogBoard::NoAnswerForQueries(uint32_t n) {
    std::lock_guard lock(mutex_);
    noAnswer_ = n;
}

void SimAnalogBoard::SetEepromFails(bool fails) {
    std::lock_guard lock(mutex_);
    eepromFails_ = fails;
}

void SimAnalogBoard::FailNextWrites(uint32_t n, bool shortWrite) {
    std::lock_guard lock(mutex_);
    failWrites_ = n;
    shortWrites_ = shortWrite;
}

void SimAnalogBoard::SetUnplugged(bool unplugged) {
    {
        std::lock_guard lock(mutex_);
        unplugged_ = unplugged;
    }
    changed_.notify_all();
}

std::vector<uint8_t> SimAnalogBoard::ReceivedConfiguration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

uint32_t SimAnalogBoard::ReceivedBits() const {
    std::lock_guard lock(mutex_);
    return bits_;
}

bool SimAnalogBoard::Configured() const {
    std::lock_guard lock(mutex_);
    return configured_;
}

bool SimAnalogBoard::Acquiring() const {
    std::lock_guard lock(mutex_);
    return acquiring_;
}

bool SimAnalogBoard::BitBang() const {
    std::lock_guard lock(mutex_);
    return bitBang_;
}

uint32_t SimAnalogBoard::BaudRate() const {
    std::lock_guard lock(mutex_);
    return baud_;
}

uint32_t SimAnalogBoard::ReadTimeoutMs() const {
    std::lock_guard lock(mutex_);
    return readMs_;
}

uint32_t SimAnalogBoard::Register0() const {
    std::lock_guard lock(mutex_);
    return reg0_;
}

uint8_t SimAnalogBoard::ChannelMask() const {
    std::lock_guard lock(mutex_);
    return mask_;
}

std::vector<uint8_t> SimAnalogBoard::CommandLog() const {
    std::lock_guard lock(mutex_);
    return commandLog_;
}

AnalogBoardCounters SimAnalogBoard::Counters() const {
    std::lock_guard lock(mutex_);
    return counters_;
}

// ---------------------------------------------------------------------------------------

namespace {

/// The bus of the simulated driver library: one board over a world of its own.
struct BoardBus {
    World world;
    SimUsbBackend backend;
    BoardBus() { backend.AddDevice(std::make_unique<SimAnalogBoard>(world)); }
};

}  // namespace

platform::D2xx& LibraryBoardBus() {
    static BoardBus* const bus = new BoardBus;  // never destroyed: handles may outlive exit
    return bus->backend;
}

}  // namespace veska::sim
