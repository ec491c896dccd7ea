#include "main/LinkStatus.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "link/PortSelection.h"
#include "main/WindowState.h"
#include "platform/SerialPort.h"

namespace veska::main {
namespace {

/// Shortest period a sample rate is taken over [ms].
constexpr uint32_t kMinRatePeriodMs = 200;

std::string LocalTimeOfDay() {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

/// Counters may start again from zero under a running total (a stream's restart).
uint64_t Since(uint64_t now, uint64_t start) { return now >= start ? now - start : now; }

}  // namespace

std::string PortChoiceOf(const std::string& portName) {
    const std::string prefix = link::kPortPrefix;
    return portName.rfind(prefix, 0) == 0 ? portName.substr(prefix.size()) : portName;
}

std::string PortNameOf(const std::string& choice) { return link::kPortPrefix + choice; }

LinkStatus::LinkStatus(WindowState& window, platform::Clock& clock, const lang::TextTable& texts)
    : timeOfDay(LocalTimeOfDay), window_(window), clock_(clock), texts_(texts) {}

LinkStatus::Traffic LinkStatus::Counting() const {
    if (!traffic_) return Traffic::None;
    return traffic_->stream ? Traffic::Stream : Traffic::Run;
}

std::string LinkStatus::DescribePort(const std::string& portName, const lang::TextTable& texts) {
    using lang::ProgramText;
    const std::string choice = PortChoiceOf(portName);
    if (choice == "USB") return choice + " (" + texts.Text(ProgramText::UsbConverter) + ")";
    if (choice == "USB_PELRIN") return choice + " (" + texts.Text(ProgramText::UsbAdapter) + ")";
    std::string device = platform::ResolvePortName(portName);
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(device, ec);
    if (!ec) device = target.string();
    return device == choice ? choice : choice + " (" + device + ")";
}

std::string LinkStatus::ChoiceText(const ConnectChoice& choice) const {
    return texts_.Text(lang::ProgramText::LinkChoice,
                       {DescribePort(choice.portName, texts_), std::to_string(choice.baud),
                        std::to_string(choice.address)});
}

std::string LinkStatus::ConnectedText() const {
    using lang::ProgramText;
    if (!connected_) return texts_.Text(ProgramText::NotConnected);
    std::string text = texts_.Text(ProgramText::Connected, {ChoiceText(*connected_)});
    if (!parametersRead_) text += texts_.Text(ProgramText::ParametersNotRead);
    return text;
}

void LinkStatus::Show(LinkState state, std::string text) {
    shownState_ = state;
    shownText_ = text;
    window_.ShowLink(state, shownText_);
}

void LinkStatus::ShowDisconnected() {
    traffic_.reset();
    connected_.reset();
    shownMaker_ = [this] { return texts_.Text(lang::ProgramText::NotConnected); };
    Show(LinkState::Disconnected, shownMaker_());
}

void LinkStatus::ShowOpenFailed(const ConnectChoice& choice) {
    traffic_.reset();
    connected_.reset();
    shownMaker_ = [this, choice] {
        return texts_.Text(lang::ProgramText::OpenFailed, {DescribePort(choice.portName, texts_)});
    };
    Show(LinkState::Failed, shownMaker_());
}

void LinkStatus::ShowNoAnswer(const ConnectChoice& choice) {
    traffic_.reset();
    connected_.reset();
    shownMaker_ = [this, choice] {
        return texts_.Text(lang::ProgramText::NoAnswer, {ChoiceText(choice)});
    };
    Show(LinkState::Failed, shownMaker_());
}

void LinkStatus::ShowConnected(const ConnectChoice& choice, bool parametersRead) {
    traffic_.reset();
    connected_ = choice;
    parametersRead_ = parametersRead;
    shownMaker_ = [this] { return ConnectedText(); };
    Show(LinkState::Connected, shownMaker_());
}

void LinkStatus::ShowLost(const ConnectChoice& choice) {
    traffic_.reset();
    connected_.reset();
    const std::string when = timeOfDay();
    shownMaker_ = [this, choice, when] {
        return texts_.Text(lang::ProgramText::Lost, {ChoiceText(choice), when});
    };
    Show(LinkState::Lost, shownMaker_());
}

void LinkStatus::FollowAddress(uint8_t address) {
    if (!connected_ || connected_->address == address) return;
    connected_->address = address;
    if (!traffic_) Show(shownState_, shownMaker_ ? shownMaker_() : ConnectedText());
}

std::optional<uint8_t> LinkStatus::ShownAddress() const {
    if (!connected_) return std::nullopt;
    return connected_->address;
}

void LinkStatus::Refresh() {
    if (traffic_ || !shownMaker_) return;  // a traffic line is made again at its next tick
    Show(shownState_, shownMaker_());
}

void LinkStatus::StartTraffic(bool stream, TrafficCount count) {
    Counted traffic;
    traffic.stream = stream;
    traffic.start = count;
    traffic.last = count;
    traffic.lastTick = clock_.TickCount();
    traffic_ = traffic;
    window_.ShowLink(LinkState::Busy, TrafficText(*traffic_, count));
}

void LinkStatus::TrafficTick(TrafficCount count) {
    if (!traffic_) return;
    const uint32_t now = clock_.TickCount();
    const uint32_t elapsed = now - traffic_->lastTick;
    if (elapsed >= kMinRatePeriodMs) {
        const uint64_t arrived = Since(count.good, traffic_->last.good);
        traffic_->rate = static_cast<double>(arrived) * 1000.0 / elapsed;
        traffic_->last = count;
        traffic_->lastTick = now;
    }
    window_.ShowLink(LinkState::Busy, TrafficText(*traffic_, count));
}

void LinkStatus::StopTraffic(TrafficCount count) {
    using lang::ProgramText;
    if (!traffic_) return;
    const Counted traffic = *traffic_;
    traffic_.reset();
    const std::string good = std::to_string(Since(count.good, traffic.start.good));
    const std::string failed = std::to_string(Since(count.failed, traffic.start.failed));
    const ProgramText tail = traffic.stream ? ProgramText::LastStream : ProgramText::LastRun;
    shownMaker_ = [this, tail, good, failed] {
        return ConnectedText() + texts_.Text(tail, {good, failed});
    };
    Show(connected_ ? LinkState::Connected : LinkState::Disconnected, shownMaker_());
}

std::string LinkStatus::TrafficText(const Counted& traffic, TrafficCount count) const {
    using lang::ProgramText;
    std::string rate;
    if (traffic.rate < 0.0) {
        rate = texts_.Text(ProgramText::Starting);
    } else {
        rate = texts_.Text(traffic.stream ? ProgramText::SampleRate : ProgramText::ResultRate,
                           {std::to_string(static_cast<uint64_t>(traffic.rate + 0.5))});
    }
    const std::string failed = std::to_string(Since(count.failed, traffic.start.failed));
    return ConnectedText() +
           texts_.Text(traffic.stream ? ProgramText::Streaming : ProgramText::Measuring,
                       {rate, failed});
}

}  // namespace veska::main
