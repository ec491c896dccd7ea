#include "link/DunelInterface.h"

#include <algorithm>
#include <vector>

#include "link/Framing.h"
#include "link/ParamWrite.h"
#include "link/PortSelection.h"

namespace veska::link {

namespace {

constexpr uint32_t kFirstOpenBaud = 115200;  // [bit/s] the encoder's rate after power-up
constexpr int kRateSwitchAttempts = 2;       ///< rate switches before the encoder is absent
constexpr uint32_t kRateUnit = 2400;         // [bit/s] per unit of the rate parameter
constexpr uint32_t kQueueBytes = 2096;
constexpr uint32_t kReadInterval = 10;    // [ms] interval and multiplier
constexpr uint32_t kReadConstant = 1000;  // [ms]
constexpr LinkLineProfile kLine{2, kQueueBytes, kReadInterval, kReadConstant};  // even parity
constexpr uint32_t kWriteParamWait = 5;  // [ms] after a complete batch
constexpr uint32_t kIdentityBytes = 8;
constexpr uint32_t kResultBytes = 4;
constexpr int32_t kMicrometresPerMm = 1000;

}  // namespace

TDUNELInterface::TDUNELInterface(platform::Clock& clock) : clock_(clock) {}

Status TDUNELInterface::OpenPort(uint8_t portMode, const std::string& deviceName,
                                 uint32_t baudRate) {
    settings_ = LinkPortSettings(kLine, portMode, deviceName, baudRate);
    return Keep(port_.Open(settings_));
}

Status TDUNELInterface::ClosePort() { return Keep(port_.Close()); }

Status TDUNELInterface::SendRequest(uint8_t command, const uint8_t* data, uint32_t count) {
    std::vector<uint8_t> packet;
    BuildRequest(address_, command, std::span<const uint8_t>(data, count), packet);
    if (trace_.Enabled()) trace_.Request(packet);
    PortTransfer transfer;
    transfer.buffer = packet.data();
    transfer.count = static_cast<uint32_t>(packet.size());
    return Keep(port_.Write(transfer));
}

Status TDUNELInterface::ReceiveReply(uint32_t n) {
    const uint32_t lineBytes = 2 * n;
    PortTransfer transfer;
    transfer.buffer = work_.data();
    transfer.count = lineBytes;
    if (Keep(port_.Read(transfer)) != kStatusOk) {
        if (trace_.Enabled()) trace_.Note(std::string("reply: ") + StatusMeaning(status_));
        return status_;
    }
    const std::span<uint8_t> line(work_.data(), lineBytes);
    if (trace_.Enabled()) trace_.Reply(line);
    if (!CountersAgree(line)) return Keep(kStatusFraming);
    DecodeReply(line);
    return Keep(kStatusOk);
}

Status TDUNELInterface::Identify(uint8_t address, std::array<uint8_t, 8>& identity) {
    address_ = address;
    if (SendRequest(kEncoderIdentify, nullptr, 0) != kStatusOk) return status_;
    if (ReceiveReply(kIdentityBytes) != kStatusOk) return status_;
    std::copy_n(work_.begin(), kIdentityBytes, identity_.begin());
    identity = identity_;
    return status_;
}

Status TDUNELInterface::GetResult(uint8_t address, int32_t& count) {
    address_ = address;
    if (SendRequest(kEncoderGetResult, nullptr, 0) != kStatusOk) return status_;
    if (ReceiveReply(kResultBytes) != kStatusOk) return status_;
    count = EncoderCount(std::span<const uint8_t, 4>(work_.data(), 4));
    return status_;
}

Status TDUNELInterface::WriteParam(uint8_t address, uint8_t startAddress, uint32_t count,
                                   const uint8_t* source) {
    address_ = address;
    const auto send = [this](uint8_t command, const uint8_t* data, uint32_t n) {
        return SendRequest(command, data, n);
    };
    return Keep(WriteParamBatch(kEncoderWriteParam, startAddress, count, source, send, clock_,
                                kWriteParamWait));
}

bool OpenEncoderPort(TDUNELInterface& encoder, EncoderState& state, const std::string& choice,
                     int32_t measuringRange) {
    CloseEncoderPort(encoder, state);
    const PortChoice port = MapBenchPort(choice);
    state.address = kEncoderAddress;
    const uint32_t quotient = state.lineRate / kRateUnit;
    const uint8_t rateCode = static_cast<uint8_t>(quotient & 0xFF);
    state.lineRate = quotient * kRateUnit;

    std::array<uint8_t, 8> identity{};
    Status identified = kStatusNotOpen;
    // An encoder that missed the switch (a disturbed line, a device still busy) runs on at
    // its old rate and does not answer at the new one: it gets the switch once more before
    // it counts as absent. A port that does not open is not tried again.
    for (int attempt = 0; attempt < kRateSwitchAttempts; ++attempt) {
        // The encoder may still run at the rate of an earlier run; it then does not hear
        // this switch, and the open at the working rate below finds it all the same.
        if (attempt > 0) CloseEncoderPort(encoder, state);
        static_cast<void>(encoder.OpenPort(port.portMode, port.deviceName, kFirstOpenBaud));
        state.lastStatus = encoder.WriteParam(state.address, kEncoderRateParam, 1, &rateCode);
        CloseEncoderPort(encoder, state);
        state.lastStatus = encoder.OpenPort(port.portMode, port.deviceName, state.lineRate);
        identified = encoder.Identify(state.address, identity);
        if (identified == kStatusOk || state.lastStatus != kStatusOk) break;
    }
    state.identifyStatus = identified;
    bool present = identified == kStatusOk;
    if (present) {
        state.identity = identity;
        state.encoderRange = EncoderRangeMicrometres(identity) / kMicrometresPerMm;
        present = measuringRange <= state.encoderRange;
    }
    if (present) {
        state.lastStatus = kStatusOk;
    } else {
        CloseEncoderPort(encoder, state);
        state.lastStatus = kStatusEncoderCheck;
    }
    state.encoderPresent = present;
    return present;
}

void CloseEncoderPort(TDUNELInterface& encoder, EncoderState& state) {
    state.lastStatus = encoder.ClosePort();
}

bool ReadEncoderPosition(TDUNELInterface& encoder, EncoderState& state, float& positionMm) {
    if (!state.encoderPresent) return false;
    int32_t count = 0;
    state.lastStatus = encoder.GetResult(state.address, count);
    if (state.lastStatus != kStatusOk) return false;
    positionMm = static_cast<float>(count * 0.0001);
    return true;
}

}  // namespace veska::link
