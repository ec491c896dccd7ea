#include "link/MorlaInterface.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/Framing.h"
#include "link/ParamWrite.h"
#include "link/Status.h"

namespace veska::link {

namespace {

constexpr uint32_t kWriteParamWait = 5;          // [ms] after the last byte of a batch
constexpr uint32_t kStoreParamsWait = 1000;      // [ms] between request and reply
constexpr uint32_t kFirstTableBlockWait = 8000;  // [ms] the sensor erases its table
constexpr uint32_t kTableBlockWait = 1;          // [ms]
constexpr uint8_t kTableMark = 0xAA;
constexpr uint32_t kDefaultVideoBytes = 2048;  // profile length asked with n = 0

}  // namespace

DeviceInfo DeviceInfo::FromBytes(const uint8_t* bytes) {
    DeviceInfo info;
    info.deviceType = bytes[0];
    info.releaseNumber = bytes[1];
    info.serialNumber = static_cast<uint16_t>(bytes[2] | (bytes[3] << 8));
    info.baseDistance = static_cast<int16_t>(bytes[4] | (bytes[5] << 8));
    info.measuringRange = static_cast<int16_t>(bytes[6] | (bytes[7] << 8));
    return info;
}

TMORLAInterface::TMORLAInterface(platform::Clock& clock) : clock_(clock) {}

Status TMORLAInterface::OpenPort(uint8_t portMode, const std::string& portName, uint32_t baudRate) {
    openMode_ = portMode;
    openName_ = portName;
    openBaud_ = baudRate;
    // Even parity, 5000-byte queues, 500 ms between bytes and per byte, 50 ms constant.
    static constexpr LinkLineProfile kSensorLine{2, 5000, 500, 50};
    settings_ = LinkPortSettings(kSensorLine, portMode, portName, baudRate);
    return Keep(port_.Open(settings_));
}

Status TMORLAInterface::ClosePort() { return Keep(port_.Close()); }

Status TMORLAInterface::SendRequest(uint8_t command, const uint8_t* data, uint32_t count) {
    if (data == nullptr && count > 0) return Keep(kStatusBadRequest);
    std::vector<uint8_t> packet;
    BuildRequest(netAddress_, command, std::span<const uint8_t>(data, count), packet);
    if (trace_.Enabled()) trace_.Request(packet);
    PortTransfer transfer;
    transfer.buffer = packet.data();
    transfer.count = static_cast<uint32_t>(packet.size());
    return Keep(port_.Write(transfer));
}

Status TMORLAInterface::ReceiveReply(uint8_t* buffer, uint32_t n) {
    if (n > kMaxReplyBytes || (buffer == nullptr && n > 0)) return Keep(kStatusBadRequest);
    const uint32_t lineBytes = 2 * n;
    PortTransfer transfer;
    transfer.buffer = buffer;
    transfer.count = lineBytes;
    const Status readStatus = port_.Read(transfer);
    if (readStatus != kStatusOk) {
        if (trace_.Enabled())
            trace_.Note("reply of " + std::to_string(lineBytes) +
                        " bytes: " + StatusMeaning(readStatus));
        return Keep(readStatus);
    }
    const std::span<uint8_t> line(buffer, lineBytes);
    if (trace_.Enabled()) trace_.Reply(line);

    const ReplyCheck check = CheckReply(line);
    if (check.kind == ReplyCheck::kTopBitClear) return Keep(kStatusFraming);
    if (check.kind == ReplyCheck::kCounterMismatch) {
        // The rest of the newer reply is under way; it is read and dropped. bytesToDrop is
        // below 2n, so the caller's buffer holds it.
        PortTransfer drop;
        drop.buffer = buffer;
        drop.count = static_cast<uint32_t>(std::min<size_t>(check.bytesToDrop, lineBytes));
        const Status dropStatus = port_.Read(drop);
        if (trace_.Enabled()) {
            trace_.Note("counter mismatch, dropping " + std::to_string(drop.count) +
                        " bytes: " + StatusMeaning(dropStatus));
        }
        return Keep(kStatusFraming);
    }
    DecodeReply(line);
    if (n > 0) packetCounter_ = check.counter;
    return Keep(kStatusOk);
}

Status TMORLAInterface::Identify(uint8_t netAddress, DeviceInfo& info) {
    netAddress_ = netAddress;
    if (SendRequest(kCmdIdentify, nullptr, 0) != kStatusOk) return status_;
    if (ReceiveReply(work_.data(), identityBytes_.size()) != kStatusOk) return status_;
    std::copy_n(work_.begin(), identityBytes_.size(), identityBytes_.begin());
    identity_ = DeviceInfo::FromBytes(identityBytes_.data());
    info = identity_;
    return status_;
}

Status TMORLAInterface::ReadParam(uint8_t netAddress, uint8_t startAddress, uint32_t count,
                                  uint8_t* destination) {
    netAddress_ = netAddress;
    if (destination == nullptr && count > 0) return Keep(kStatusBadRequest);
    status_ = kStatusOk;
    for (uint32_t k = 0; k < count; ++k) {
        const uint8_t address = static_cast<uint8_t>(startAddress + k);
        if (SendRequest(kCmdReadParam, &address, 1) != kStatusOk) return status_;
        if (ReceiveReply(work_.data(), 1) != kStatusOk) return status_;
        destination[k] = work_[0];
    }
    return status_;
}

Status TMORLAInterface::WriteParam(uint8_t netAddress, uint8_t startAddress, uint32_t count,
                                   const uint8_t* source) {
    netAddress_ = netAddress;
    const auto send = [this](uint8_t command, const uint8_t* data, uint32_t n) {
        return SendRequest(command, data, n);
    };
    return Keep(WriteParamBatch(kCmdWriteParam, startAddress, count, source, send, clock_,
                                kWriteParamWait));
}

Status TMORLAInterface::StoreParams(uint8_t netAddress, uint8_t code) {
    netAddress_ = netAddress;
    work_[0] = code;
    if (SendRequest(kCmdStoreParams, work_.data(), 1) != kStatusOk) return status_;
    clock_.Sleep(kStoreParamsWait);
    // A failed read keeps its own status; a reply that is not the echo is 6.
    if (ReceiveReply(work_.data(), 1) != kStatusOk) return status_;
    if (work_[0] != code) return Keep(kStatusWriteFailed);
    return status_;
}

Status TMORLAInterface::GetResult(uint8_t netAddress, uint16_t& result) {
    netAddress_ = netAddress;
    if (SendRequest(kCmdGetResult, nullptr, 0) != kStatusOk) return status_;
    if (ReceiveReply(work_.data(), 2) != kStatusOk) return status_;
    result = static_cast<uint16_t>(work_[0] + 256 * work_[1]);
    return status_;
}

Status TMORLAInterface::StartStream(uint8_t netAddress) {
    netAddress_ = netAddress;
    return SendRequest(kCmdStartStream, nullptr, 0);
}

Status TMORLAInterface::StartStatusStream(uint8_t netAddress) {
    netAddress_ = netAddress;
    return SendRequest(kCmdStartStatusStream, nullptr, 0);
}

Status TMORLAInterface::StopStream(uint8_t netAddress) {
    netAddress_ = netAddress;
    const uint8_t data[2] = {0x00, 0x00};
    return SendRequest(kCmdStopStream, data, 2);
}

Status TMORLAInterface::WriteTable(uint8_t netAddress, uint8_t block, const uint16_t* values512) {
    netAddress_ = netAddress;
    if (values512 == nullptr) return Keep(kStatusBadRequest);
    for (uint32_t i = 0; i < kTableValues; ++i) {
        work_[2 * i] = static_cast<uint8_t>(values512[i] >> 8);
        work_[2 * i + 1] = static_cast<uint8_t>(values512[i] & 0xFF);
    }
    work_[2 * kTableValues] = block;
    work_[2 * kTableValues + 1] = kTableMark;
    if (SendRequest(kCmdWriteTable, work_.data(), kTableRequestBytes) != kStatusOk) return status_;
    clock_.Sleep(block == 0 ? kFirstTableBlockWait : kTableBlockWait);
    if (ReceiveReply(work_.data(), 1) != kStatusOk) return status_;
    if (work_[0] != kTableMark) return Keep(kStatusWriteFailed);
    return status_;
}

Status TMORLAInterface::ReadVideo(uint8_t netAddress, uint16_t n, uint8_t* destination4096) {
    netAddress_ = netAddress;
    if (n > kVideoAreaBytes || destination4096 == nullptr) return Keep(kStatusBadRequest);
    (void)SendRequest(kCmdReadVideo, nullptr, 0);  // the first request is not checked
    const uint16_t lineLength = static_cast<uint16_t>(2 * n);
    const uint8_t data[2] = {static_cast<uint8_t>(lineLength & 0xFF),
                             static_cast<uint8_t>(lineLength >> 8)};
    if (SendRequest(kCmdReadVideo, data, n != 0 ? 2 : 0) != kStatusOk) return status_;
    const uint32_t replyBytes = n != 0 ? n : kDefaultVideoBytes;
    if (ReceiveReply(work_.data(), replyBytes) != kStatusOk) return status_;
    std::copy_n(work_.begin(), replyBytes, video_.begin());
    std::copy(video_.begin(), video_.end(), destination4096);
    return status_;
}

Status TMORLAInterface::ReadStreamSample(uint16_t& result) {
    // A buffer of its own: the stream thread never shares the working buffer.
    uint8_t sample[4];
    if (ReceiveReply(sample, 2) != kStatusOk) return status_;
    result = static_cast<uint16_t>(sample[0] + 256 * sample[1]);
    return status_;
}

Status TMORLAInterface::ReadStatusStreamSample(uint16_t& result, uint8_t& statusByte) {
    uint8_t sample[6];
    if (ReceiveReply(sample, 3) != kStatusOk) return status_;
    result = static_cast<uint16_t>(sample[0] + 256 * sample[1]);
    statusByte = sample[2];
    return status_;
}

}  // namespace veska::link
