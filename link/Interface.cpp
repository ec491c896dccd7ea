#include "link/Interface.h"

namespace veska::link {

namespace {

Status ReadCode(bool ok, uint32_t got, uint32_t count) {
    if (!ok) return kStatusReadFailed;
    return got < count ? kStatusShortRead : kStatusOk;
}

Status WriteCode(bool ok, uint32_t written, uint32_t count) {
    if (!ok) return kStatusWriteFailed;
    return written < count ? kStatusShortWrite : kStatusOk;
}

}  // namespace

TInterface::TInterface() = default;

TInterface::~TInterface() {
    if (open_) (void)Close();
}

Status TInterface::Open(const PortSettings& settings) {
    if (open_) (void)Close();
    settings_ = settings;
    const TransportRow* row = FindTransport(settings_.portMode);
    // A mode without a transport opens nothing; that is a failed open, not the status of
    // whatever ran before.
    if (row == nullptr) return status_ = kStatusNotOpen;
    row_ = row;
    transport_ = row->make(usb_);
    if (!transport_->Open(settings_, dcb_, timeouts_)) return status_ = kStatusNotOpen;
    open_ = 1;
    return status_ = kStatusOk;
}

Status TInterface::Close() {
    if (open_) transport_->Close();
    open_ = 0;
    return status_ = kStatusOk;
}

Status TInterface::Read(const PortTransfer& transfer) {
    if (!open_) return status_ = kStatusNotOpen;
    if (transfer.buffer == nullptr && transfer.count > 0) return status_ = kStatusReadFailed;
    uint32_t got = 0;
    const bool ok = transport_->Read(transfer.buffer, transfer.count, got);
    status_ = ReadCode(ok, got, transfer.count);
    if (status_ != kStatusOk && row_->purgeAfterFailedRead != 0) {
        transport_->Purge(row_->purgeAfterFailedRead);  // drops the rest of a late reply
    }
    return status_;
}

Status TInterface::Write(const PortTransfer& transfer) {
    if (!open_) return status_ = kStatusNotOpen;
    if (transfer.buffer == nullptr && transfer.count > 0) return status_ = kStatusWriteFailed;
    if (row_->purgeBeforeWrite != 0) transport_->Purge(row_->purgeBeforeWrite);
    uint32_t written = 0;
    const bool ok = transport_->Write(transfer.buffer, transfer.count, written);
    status_ = WriteCode(ok, written, transfer.count);
    if (status_ != kStatusOk && row_->purgeAfterFailedWrite != 0) {
        transport_->Purge(row_->purgeAfterFailedWrite);
    }
    return status_;
}

void TInterface::Wake() {
    if (open_) transport_->Wake();
}

std::string TInterface::OpenError() const {
    if (open_) return {};
    if (transport_ == nullptr) return "unknown port mode " + std::to_string(settings_.portMode);
    return transport_->OpenError();
}

const std::string& TInterface::DevicePath() const {
    static const std::string kNone;
    return transport_ != nullptr ? transport_->DevicePath() : kNone;
}

}  // namespace veska::link
