#include "sim/DeviceFaults.h"

#include <algorithm>
#include <charconv>

namespace veska::sim {

namespace {

using enum FaultDevice;
using enum FaultKind;
using enum FaultValue;

constexpr FaultRow kFaultRows[] = {
    {kSensor, "silent", kSilent, kNone, "hears nothing, answers nothing, sends no samples"},
    {kSensor, "garbage", kGarbage, kNone, "every byte it sends is noise"},
    {kSensor, "vanish", kVanish, kNone, "the port hangs up (unplugged)"},
    {kSensor, "stall", kStall, kNone, "stops half-way through a reply, then sends nothing"},
    {kSensor, "slow", kSlow, kMilliseconds, "every reply and sample leaves MS late"},
    {kSensor, "rate", kWrongRate, kBaud, "hears the host only at BAUD bit/s"},
    {kStage, "silent", kSilent, kNone, "hears nothing, answers nothing"},
    {kStage, "garbage", kGarbage, kNone, "every status byte is noise"},
    {kStage, "vanish", kVanish, kNone, "the port hangs up (unplugged)"},
    {kStage, "stall", kNeverAtRest, kNone, "a move never ends: the status never says at rest"},
    {kStage, "frozen", kFrozen, kNone, "answers, but the stage does not move the target"},
    {kStage, "slow", kSlow, kMilliseconds, "every status byte leaves MS late"},
    {kStage, "rate", kWrongRate, kBaud, "hears the host only at BAUD bit/s"},
    {kEncoder, "silent", kSilent, kNone, "hears nothing, answers nothing"},
    {kEncoder, "garbage", kGarbage, kNone, "every byte it sends is noise"},
    {kEncoder, "vanish", kVanish, kNone, "the port hangs up (unplugged)"},
    {kEncoder, "stall", kStall, kNone, "stops half-way through a reply, then sends nothing"},
    {kEncoder, "slow", kSlow, kMilliseconds, "every reply leaves MS late"},
    {kEncoder, "rate", kWrongRate, kBaud, "hears the host only at BAUD bit/s"},
    {kBoard, "silent", kSilent, kNone, "takes commands, answers nothing, sends no data"},
    {kBoard, "garbage", kGarbage, kNone, "every byte it sends is noise"},
    {kBoard, "vanish", kVanish, kNone, "unplugged: not listed, every call fails"},
    {kBoard, "stall", kStall, kNone, "stops half-way through a read, then sends nothing"},
    {kBoard, "slow", kSlow, kMilliseconds, "a read gives nothing before MS have passed"},
    {kBoard, "rate", kWrongRate, kBaud, "takes writes only while its chip runs at BAUD bit/s"},
};

constexpr const char* kDeviceNames[] = {"sensor", "stage", "encoder", "board"};

/// Longest answer delay [ms] and highest rate [bit/s] a fault takes.
constexpr uint32_t kMaxSlowMs = 600'000;
constexpr uint32_t kMaxBaud = 12'000'000;
constexpr uint32_t kMinBaud = 300;

std::optional<uint32_t> ParseUnsigned(std::string_view text) {
    uint32_t v = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, v);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return v;
}

std::optional<FaultSetting> Fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return std::nullopt;
}

}  // namespace

std::span<const FaultRow> FaultTable() { return kFaultRows; }

const char* FaultDeviceName(FaultDevice device) {
    return kDeviceNames[static_cast<size_t>(device)];
}

std::optional<FaultDevice> ParseFaultDevice(std::string_view name) {
    for (FaultDevice d : kFaultDevices)
        if (name == FaultDeviceName(d)) return d;
    return std::nullopt;
}

const FaultRow* FindFaultRow(FaultDevice device, FaultKind kind) {
    for (const FaultRow& row : kFaultRows)
        if (row.device == device && row.kind == kind) return &row;
    return nullptr;
}

std::optional<FaultSetting> ParseFault(std::string_view text, std::string* error) {
    const std::string shown(text);
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return Fail(error, "fault '" + shown + "' is not DEVICE:NAME (e.g. encoder:silent)");
    const auto device = ParseFaultDevice(text.substr(0, colon));
    if (!device) {
        return Fail(error, "unknown device '" + std::string(text.substr(0, colon)) +
                               "' (sensor, stage, encoder or board)");
    }
    std::string_view rest = text.substr(colon + 1);
    FaultSetting setting;
    setting.device = *device;
    if (const size_t at = rest.find('@'); at != std::string_view::npos) {
        const auto n = ParseUnsigned(rest.substr(at + 1));
        if (!n) return Fail(error, "bad request count in '" + shown + "' (@N, N >= 0)");
        setting.afterRequests = *n;
        rest = rest.substr(0, at);
    }
    std::optional<std::string_view> value;
    if (const size_t eq = rest.find('='); eq != std::string_view::npos) {
        value = rest.substr(eq + 1);
        rest = rest.substr(0, eq);
    }
    const FaultRow* row = nullptr;
    for (const FaultRow& r : kFaultRows)
        if (r.device == *device && rest == r.name) row = &r;
    if (row == nullptr) {
        std::string names;
        for (const FaultRow& r : kFaultRows)
            if (r.device == *device) names += std::string(names.empty() ? "" : ", ") + r.name;
        return Fail(error, "the " + std::string(FaultDeviceName(*device)) + " has no fault '" +
                               std::string(rest) + "' (" + names + ")");
    }
    setting.kind = row->kind;
    if (row->value == kNone) {
        if (value) return Fail(error, "'" + shown + "' takes no value");
        return setting;
    }
    const char* unit = row->value == kMilliseconds ? "=MS" : "=BAUD";
    if (!value) return Fail(error, "'" + shown + "' needs a value (" + row->name + unit + ")");
    const auto v = ParseUnsigned(*value);
    const bool ok =
        v && (row->value == kMilliseconds ? *v <= kMaxSlowMs : *v >= kMinBaud && *v <= kMaxBaud);
    if (!ok) {
        return Fail(error,
                    "bad value in '" + shown + "' (" +
                        (row->value == kMilliseconds ? std::string("0 to 600000 ms")
                                                     : std::string("300 to 12000000 bit/s")) +
                        ")");
    }
    setting.value = *v;
    return setting;
}

std::string FormatFault(const FaultSetting& setting) {
    const FaultRow* row = FindFaultRow(setting.device, setting.kind);
    std::string text = std::string(FaultDeviceName(setting.device)) + ":" + (row ? row->name : "?");
    if (row && row->value != kNone) text += "=" + std::to_string(setting.value);
    if (setting.afterRequests > 0) text += "@" + std::to_string(setting.afterRequests);
    return text;
}

std::string FaultHelp() {
    std::string text;
    for (const FaultRow& row : kFaultRows) {
        std::string name = std::string(FaultDeviceName(row.device)) + ":" + row.name;
        if (row.value == kMilliseconds) name += "=MS";
        if (row.value == kBaud) name += "=BAUD";
        name.resize(std::max<size_t>(name.size() + 1, 20), ' ');
        text += "  " + name + row.description + "\n";
    }
    return text;
}

// ---------------------------------------------------------------------------------------

DeviceFaults::DeviceFaults(FaultDevice device, uint32_t seed) : device_(device), noise_(seed) {}

bool DeviceFaults::Switch(const FaultSetting& setting) {
    if (setting.device != device_ || FindFaultRow(setting.device, setting.kind) == nullptr)
        return false;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.setting.kind == setting.kind; });
    Entry entry{setting, requests_ + setting.afterRequests, setting.afterRequests == 0};
    if (setting.kind == kStall && entry.holds) stallCut_ = false;
    entries_.push_back(entry);
    return true;
}

void DeviceFaults::Clear() {
    std::lock_guard lock(mutex_);
    entries_.clear();
    stallCut_ = false;
}

std::vector<FaultSetting> DeviceFaults::Active() const {
    std::lock_guard lock(mutex_);
    std::vector<FaultSetting> out;
    for (const Entry& e : entries_) out.push_back(e.setting);
    return out;
}

void DeviceFaults::RequestComing() {
    std::lock_guard lock(mutex_);
    for (Entry& e : entries_) {
        if (e.holds || requests_ < e.armAt) continue;
        e.holds = true;
        if (e.setting.kind == kStall) stallCut_ = false;
    }
}

void DeviceFaults::CountRequests(uint64_t n) {
    std::lock_guard lock(mutex_);
    requests_ += n;
}

const DeviceFaults::Entry* DeviceFaults::FindHolding(FaultKind kind) const {
    for (const Entry& e : entries_)
        if (e.setting.kind == kind && e.holds) return &e;
    return nullptr;
}

bool DeviceFaults::Holds(FaultKind kind) const {
    std::lock_guard lock(mutex_);
    return FindHolding(kind) != nullptr;
}

uint32_t DeviceFaults::ValueOf(FaultKind kind) const {
    std::lock_guard lock(mutex_);
    const Entry* e = FindHolding(kind);
    return e ? e->setting.value : 0;
}

size_t DeviceFaults::FilterOutput(uint8_t* bytes, size_t n) {
    std::lock_guard lock(mutex_);
    if (n == 0) return 0;
    if (FindHolding(kSilent) || FindHolding(kVanish)) return 0;
    if (FindHolding(kStall)) {
        if (stallCut_) return 0;
        stallCut_ = true;
        n /= 2;  // half a reply, then nothing
    }
    if (FindHolding(kGarbage)) {
        for (size_t i = 0; i < n; ++i) {
            noise_ = noise_ * 1103515245u + 12345u;
            bytes[i] = static_cast<uint8_t>(noise_ >> 16);
        }
    }
    return n;
}

uint64_t DeviceFaults::IgnoredBytes() const {
    std::lock_guard lock(mutex_);
    return ignored_;
}

void DeviceFaults::CountIgnored(uint64_t n) {
    std::lock_guard lock(mutex_);
    ignored_ += n;
}

}  // namespace veska::sim
