#include "link/MotorInterface.h"

#include <span>

#include "link/PortSelection.h"

namespace veska::link {

namespace {

constexpr uint8_t kDataMark = 0xF0;  // high nibble of every data byte
constexpr uint32_t kMotorBaud = 115200;
constexpr uint32_t kQueueBytes = 16;
constexpr uint32_t kReadInterval = 10;    // [ms] interval and multiplier
constexpr uint32_t kReadConstant = 1000;  // [ms]
constexpr LinkLineProfile kLine{0, kQueueBytes, kReadInterval, kReadConstant};  // no parity
constexpr uint32_t kReopenWait = 1;  // [ms] between close and open

}  // namespace

std::array<uint8_t, kMotorRequestMax> MotorValueRequest(uint8_t command, uint32_t value) {
    std::array<uint8_t, kMotorRequestMax> request{};
    request[0] = command;
    for (size_t i = 0; i < 6; ++i)
        request[1 + i] = static_cast<uint8_t>(kDataMark | ((value >> (4 * i)) & 0x0F));
    return request;
}

std::array<uint8_t, 2> MotorOutputsRequest(uint16_t outputWord) {
    return {kMotorOutputs, static_cast<uint8_t>(kDataMark | (outputWord & 0xFF))};
}

TMotorInterface::TMotorInterface() = default;

Status TMotorInterface::OpenPort(uint8_t portMode, const std::string& deviceName,
                                 uint32_t baudRate) {
    settings_ = LinkPortSettings(kLine, portMode, deviceName, baudRate);
    return Keep(port_.Open(settings_));
}

Status TMotorInterface::ClosePort() { return Keep(port_.Close()); }

Status TMotorInterface::Send(const uint8_t* bytes, uint32_t count) {
    if (trace_.Enabled()) trace_.Request(std::span(bytes, count));
    PortTransfer transfer;
    transfer.buffer = const_cast<uint8_t*>(bytes);
    transfer.count = count;
    return Keep(port_.Write(transfer));
}

Status TMotorInterface::LoadMove(uint32_t periodMicros, uint32_t count) {
    command_ = MotorValueRequest(kMotorLoadPeriod, periodMicros);
    if (Send(command_.data(), kMotorRequestMax) != kStatusOk) return status_;
    command_ = MotorValueRequest(kMotorLoadCount, count);
    static_cast<void>(Send(command_.data(), kMotorRequestMax));  // kept in status_
    // A loaded move starts with the outputs off (the controller clears them on command 8).
    outputWord_ = 0;
    return status_;
}

Status TMotorInterface::StartHomeward() {
    command_[0] = kMotorHomeward;
    return Send(command_.data(), 1);
}

Status TMotorInterface::StartForward() {
    command_[0] = kMotorForward;
    return Send(command_.data(), 1);
}

Status TMotorInterface::SetOutputs(uint16_t mask) {
    outputWord_ = static_cast<uint16_t>(outputWord_ | mask);
    const auto request = MotorOutputsRequest(outputWord_);
    std::copy(request.begin(), request.end(), command_.begin());
    return Send(command_.data(), request.size());
}

Status TMotorInterface::MaskOutputs(uint16_t mask) {
    outputWord_ = static_cast<uint16_t>(outputWord_ & mask);
    const auto request = MotorOutputsRequest(outputWord_);
    std::copy(request.begin(), request.end(), command_.begin());
    return Send(command_.data(), request.size());
}

Status TMotorInterface::ReadMotorStatus(uint8_t& nibble) {
    command_[0] = kMotorReadStatus;
    if (Send(command_.data(), 1) != kStatusOk) return status_;
    PortTransfer transfer;
    transfer.buffer = command_.data();
    transfer.count = 1;
    if (Keep(port_.Read(transfer)) != kStatusOk) {
        if (trace_.Enabled()) trace_.Note(std::string("status reply: ") + StatusMeaning(status_));
        return status_;
    }
    if (trace_.Enabled()) trace_.Reply(std::span(command_.data(), 1));
    statusNibble_ = MotorStatusNibble(command_[0]);
    nibble = statusNibble_;
    return status_;
}

Status OpenMotorPort(TMotorInterface& motor, const std::string& choice, platform::Clock& clock) {
    static_cast<void>(CloseMotorPort(motor));
    clock.Sleep(kReopenWait);
    const PortChoice port = MapBenchPort(choice);
    return motor.OpenPort(port.portMode, port.deviceName, kMotorBaud);
}

Status CloseMotorPort(TMotorInterface& motor) { return motor.ClosePort(); }

}  // namespace veska::link
