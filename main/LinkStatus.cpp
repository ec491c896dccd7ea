#include "main/LinkStatus.h"

#include <chrono>
#include <ctime>
#include <filesystem>

#include "link/PortSelection.h"
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

std::string ChoiceText(const ConnectChoice& choice) {
    return LinkStatus::DescribePort(choice.portName) + ", " + std::to_string(choice.baud) +
           " bit/s, address " + std::to_string(choice.address);
}

/// Counters may start again from zero under a running total (a stream's restart).
uint64_t Since(uint64_t now, uint64_t start) { return now >= start ? now - start : now; }

std::string Count(uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string PortChoiceOf(const std::string& portName) {
    const std::string prefix = link::kPortPrefix;
    return portName.rfind(prefix, 0) == 0 ? portName.substr(prefix.size()) : portName;
}

std::string PortNameOf(const std::string& choice) { return link::kPortPrefix + choice; }

LinkStatus::LinkStatus(MainView& view, platform::Clock& clock)
    : timeOfDay(LocalTimeOfDay), view_(view), clock_(clock) {}

std::string LinkStatus::DescribePort(const std::string& portName) {
    const std::string choice = PortChoiceOf(portName);
    if (choice == "USB") return choice + " (USB serial converter)";
    if (choice == "USB_PELRIN") return choice + " (USB adapter)";
    std::string device = platform::ResolvePortName(portName);
    std::error_code ec;
    const std::filesystem::path target = std::filesystem::canonical(device, ec);
    if (!ec) device = target.string();
    return device == choice ? choice : choice + " (" + device + ")";
}

void LinkStatus::ShowDisconnected() {
    traffic_.reset();
    connectedText_.clear();
    view_.ShowLinkStatus(LinkState::Disconnected, "Not connected");
}

void LinkStatus::ShowOpenFailed(const ConnectChoice& choice) {
    traffic_.reset();
    connectedText_.clear();
    view_.ShowLinkStatus(LinkState::Failed,
                         "Not connected: " + DescribePort(choice.portName) + " did not open");
}

void LinkStatus::ShowNoAnswer(const ConnectChoice& choice) {
    traffic_.reset();
    connectedText_.clear();
    view_.ShowLinkStatus(LinkState::Failed,
                         "Not connected: no sensor answered at " + ChoiceText(choice));
}

void LinkStatus::ShowConnected(const ConnectChoice& choice, bool parametersRead) {
    traffic_.reset();
    connectedText_ = "Connected: " + ChoiceText(choice);
    if (!parametersRead) connectedText_ += " (parameters not read)";
    view_.ShowLinkStatus(LinkState::Connected, connectedText_);
}

void LinkStatus::ShowLost(const ConnectChoice& choice) {
    traffic_.reset();
    connectedText_.clear();
    view_.ShowLinkStatus(LinkState::Lost, "Sensor lost: " + ChoiceText(choice) +
                                              " stopped answering at " + timeOfDay() +
                                              "; the connection was closed");
}

void LinkStatus::StartTraffic(bool stream, TrafficCount count) {
    Traffic traffic;
    traffic.stream = stream;
    traffic.start = count;
    traffic.last = count;
    traffic.lastTick = clock_.TickCount();
    traffic_ = traffic;
    view_.ShowLinkStatus(LinkState::Busy, TrafficText(*traffic_, count));
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
    view_.ShowLinkStatus(LinkState::Busy, TrafficText(*traffic_, count));
}

void LinkStatus::StopTraffic(TrafficCount count) {
    if (!traffic_) return;
    const Traffic traffic = *traffic_;
    traffic_.reset();
    const uint64_t good = Since(count.good, traffic.start.good);
    const uint64_t failed = Since(count.failed, traffic.start.failed);
    std::string text = connectedText_.empty() ? std::string("Not connected") : connectedText_;
    text += traffic.stream ? " | last stream: " + Count(good, "sample", "samples") + ", " +
                                 Count(failed, "lost sample", "lost samples")
                           : " | last run: " + Count(good, "result", "results") + ", " +
                                 Count(failed, "failed request", "failed requests");
    view_.ShowLinkStatus(connectedText_.empty() ? LinkState::Disconnected : LinkState::Connected,
                         text);
}

std::string LinkStatus::TrafficText(const Traffic& traffic, TrafficCount count) const {
    std::string text = connectedText_.empty() ? std::string("Not connected") : connectedText_;
    text += traffic.stream ? " | streaming: " : " | measuring: ";
    if (traffic.rate < 0.0) {
        text += "starting";
    } else {
        text += std::to_string(static_cast<uint64_t>(traffic.rate + 0.5)) +
                (traffic.stream ? " samples/s" : " results/s");
    }
    const uint64_t failed = Since(count.failed, traffic.start.failed);
    text += ", " + (traffic.stream ? Count(failed, "lost sample", "lost samples")
                                   : Count(failed, "failed request", "failed requests"));
    return text;
}

}  // namespace veska::main
