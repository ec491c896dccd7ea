#include "params/ParamTransfer.h"

#include <array>
#include <cstdint>
#include <utility>

#include "link/Status.h"

namespace veska::params {

namespace {

constexpr char kCR = '\r';  // line break of the message texts (the single character 13)
constexpr const char* kCompareAllCaption = "VESKA-SP";
constexpr const char* kEqualText = "Ok!";

constexpr uint32_t kBaudUnit = 2400;       ///< [bit/s] per step of the baud code (row 2)
constexpr uint32_t kCode128Baud = 307200;  ///< code 128 x 2400, which stands for 921600
constexpr uint32_t kTopBaud = 921600;      ///< [bit/s]
constexpr uint32_t kDefaultBaud = 115200;  ///< [bit/s] of the sensor's default set
constexpr int32_t kFactoryBaudCode = 48;   ///< 115200 / 2400
constexpr uint32_t kBaudReopenWaitMs = 100;
constexpr uint32_t kFactoryStepWaitMs = 100;
constexpr uint32_t kFetchAttemptWaitMs = 1;
constexpr int kFetchAttempts = 3;

/// ComboBoxWorkBaund items 0..10.
constexpr std::array<uint32_t, 11> kBaudItems = {2400,  4800,   9600,   14400,  19200, 38400,
                                                 57600, 115200, 230400, 460800, 921600};
constexpr int kDefaultBaudItem = 7;
constexpr int kAddressItems = 127;  ///< ComboBoxWorkCodeDev: "1" .. "127"

/// The low `size` bytes of v, least significant first.
std::array<uint8_t, 4> LittleEndian(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

int32_t FromLittleEndian(const std::array<uint8_t, 4>& b) {
    return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                uint32_t{b[3]} << 24);
}

}  // namespace

ParamTransfer::ParamTransfer(ParamContext context) : ctx_(std::move(context)) {}

void ParamTransfer::SendParameter(int i) {
    if (i < 0 || i >= kParamCount) return;
    const ParamDescriptor& row = ctx_.table[i];
    const int32_t v = ctx_.values.workValues[i];
    const std::array<uint8_t, 4> bytes = LittleEndian(v);
    lastSendStatus_ =
        ctx_.sensor.WriteParam(ctx_.conn.netAddress, row.address, row.size, bytes.data());
    ctx_.conn.linkStatus.store(lastSendStatus_);

    // The sensor takes a new baud rate or net address in the old settings; the host follows.
    switch (i) {
        case kRowNetAddress:
            ctx_.conn.netAddress = static_cast<uint8_t>(v);
            if (v >= 1 && v <= kAddressItems) ctx_.view.SelectAddressItem(v - 1);
            break;
        case kRowBaudRate: {
            uint32_t baud = static_cast<uint32_t>(v) * kBaudUnit;
            if (baud == kCode128Baud) baud = kTopBaud;
            ctx_.conn.baudRate = baud;
            if (ctx_.openSensorPort) ctx_.openSensorPort();
            ctx_.clock.Sleep(kBaudReopenWaitMs);
            for (size_t item = 0; item < kBaudItems.size(); ++item) {
                if (kBaudItems[item] == baud) ctx_.view.SelectBaudItem(static_cast<int>(item));
            }
            break;
        }
        case kRowDeviceType:
            ctx_.view.SetIdentityLabel(IdentityLabel::Model, std::to_string(v));
            break;
        case kRowSerialNumber:
            ctx_.view.SetIdentityLabel(IdentityLabel::SerialNumber, std::to_string(v));
            break;
        case kRowBaseDistance:
            ctx_.conn.baseDistance = static_cast<int16_t>(v);
            ctx_.view.SetIdentityLabel(IdentityLabel::Base,
                                       std::to_string(ctx_.conn.baseDistance) + " mm");
            break;
        case kRowMeasuringRange:
            ctx_.conn.measuringRange = static_cast<int16_t>(v);
            ctx_.view.SetIdentityLabel(IdentityLabel::Range,
                                       std::to_string(ctx_.conn.measuringRange) + " mm");
            break;
        default:
            break;
    }
    ctx_.conn.answerStatus.store(ctx_.conn.linkStatus.load());
}

bool ParamTransfer::FetchParameter(int i) {
    if (i < 0 || i >= kParamCount) return false;
    const ParamDescriptor& row = ctx_.table[i];
    // Bytes read stay in the entry even when a later byte fails; higher bytes are untouched.
    std::array<uint8_t, 4> bytes = LittleEndian(ctx_.values.sensorValues[i]);
    const int32_t status =
        ctx_.sensor.ReadParam(ctx_.conn.netAddress, row.address, row.size, bytes.data());
    ctx_.values.sensorValues[i] = FromLittleEndian(bytes);
    ctx_.conn.Record(status);
    return status == link::kStatusOk;
}

int ParamTransfer::SendAllParameters() {
    int failures = 0;
    for (int k = 1; k <= kGridParamCount; ++k) {
        SendParameter(kGridParamCount - k);
        if (lastSendStatus_ != link::kStatusOk && failures++ == 0) {
            lastFailedParam_ = kGridParamCount - k;
            firstSendFailure_ = lastSendStatus_;
        }
        ctx_.view.SetParamProgress(kGridParamCount - 1, k);
    }
    return failures;
}

bool ParamTransfer::FetchAllParameters() {
    bool ok = true;
    for (int i = 0; i < kGridParamCount && ok; ++i) {
        ok = false;
        for (int attempt = 0; attempt < kFetchAttempts && !ok; ++attempt) {
            ctx_.clock.Sleep(kFetchAttemptWaitMs);
            ok = FetchParameter(i);
        }
        if (!ok) lastFailedParam_ = i;
        ctx_.view.SetParamProgress(kGridParamCount - 1, i);
    }
    return ok;
}

bool ParamTransfer::CompareParameter(int i) {
    if (!FetchParameter(i)) return false;
    return ctx_.values.workValues[i] == ctx_.values.sensorValues[i];
}

bool ParamTransfer::CompareAllParameters() {
    if (!FetchAllParameters()) return false;
    for (int i = 0; i < kGridParamCount; ++i) {
        if (ctx_.values.workValues[i] != ctx_.values.sensorValues[i]) return false;
    }
    return true;
}

void ParamTransfer::StoreToFlash() { StoreSet(link::kStoreFlash); }

void ParamTransfer::StoreAsFactory() { StoreSet(link::kStoreFactory); }

void ParamTransfer::StoreSet(uint8_t code) {
    ctx_.conn.linkStatus.store(ctx_.sensor.StoreParams(ctx_.conn.netAddress, code));
    if (ctx_.conn.linkStatus.load() != link::kStatusOk) {
        Show(ctx_.texts.Message(kMsgStoreFailed), kMbIconStop);
    } else {
        Show(ctx_.texts.Message(kMsgStored), kMbOk);
    }
    ctx_.conn.answerStatus.store(ctx_.conn.linkStatus.load());
}

void ParamTransfer::RestoreDefaults() {
    ctx_.conn.linkStatus.store(ctx_.sensor.StoreParams(ctx_.conn.netAddress, link::kStoreDefault));
    if (ctx_.conn.linkStatus.load() != link::kStatusOk) {
        Show(ctx_.texts.Message(kMsgDefaultFailed), kMbIconStop);
        ctx_.conn.answerStatus.store(ctx_.conn.linkStatus.load());
        return;
    }
    // The sensor now speaks its default line settings; the host's selectors follow. The open
    // port keeps its rate until the next open.
    ctx_.view.SelectBaudItem(kDefaultBaudItem);
    ctx_.view.SelectAddressItem(0);
    ctx_.conn.baudRate = kDefaultBaud;
    ctx_.conn.netAddress = 1;
    if (!FetchAllParameters()) {
        ctx_.conn.answerStatus.store(ctx_.conn.linkStatus.load());
        return;
    }
    CopySensorToWork(kGridParamCount);
    RebuildGrid();
    Show(ctx_.texts.Message(kMsgDefaultRestored), kMbOk);
    ctx_.conn.answerStatus.store(ctx_.conn.linkStatus.load());
}

void ParamTransfer::CopySensorToWork(int count) {
    for (int i = 0; i < count && i < kParamCount; ++i) {
        ctx_.values.workValues[i] = ctx_.values.sensorValues[i];
    }
}

void ParamTransfer::RebuildGrid() {
    BuildParamGrid(ctx_.grid, ctx_.values, ctx_.conn.resultDivisor);
    ctx_.view.RefreshGrid();
}

void ParamTransfer::PopupMenuLoadClick() { SendParameter(ctx_.grid.CurrentParam()); }

void ParamTransfer::PopupMenuReadClick() {
    const int i = ctx_.grid.CurrentParam();
    if (!FetchParameter(i)) return;
    ctx_.values.workValues[i] = ctx_.values.sensorValues[i];
    RebuildGrid();
}

std::string ParamTransfer::DifferenceLine(int i) const {
    return std::string(1, kCR) + "'" + ctx_.table[i].name + "': " + ctx_.texts.Message(kMsgGrid) +
           std::to_string(ctx_.values.workValues[i]) + ", " + ctx_.texts.Message(kMsgSensor) +
           std::to_string(ctx_.values.sensorValues[i]) + ".";
}

std::string ParamTransfer::LinkFailureText(int i) const {
    const int32_t status = ctx_.conn.linkStatus.load();
    return ctx_.texts.Message(kMsgNoAnswer) + kCR + "'" + ctx_.table[i].name + "': status " +
           std::to_string(status) + " (" + link::StatusMeaning(status) + ").";
}

void ParamTransfer::PopupMenuCompareClick() {
    // The comparison always reads the sensor: a link that fails is reported as such, never
    // as agreement and never as a difference against stale sensor values.
    const int i = ctx_.grid.CurrentParam();
    if (!FetchParameter(i)) {
        Show(LinkFailureText(i), kMbIconStop);
        return;
    }
    std::string text = kEqualText;
    if (ctx_.values.workValues[i] != ctx_.values.sensorValues[i]) {
        text = ctx_.texts.Message(kMsgDiffer) + " '" + ctx_.table[i].name + "'" +
               ctx_.texts.Message(kMsgDifferTail) + DifferenceLine(i);
    }
    Show(text, kMbIconExclamation);
}

void ParamTransfer::PopupMenuLoadAllClick() { SendAllParameters(); }

void ParamTransfer::PopupMenuReadAllClick() {
    if (!FetchAllParameters()) return;
    CopySensorToWork(kGridParamCount);
    RebuildGrid();
}

void ParamTransfer::PopupMenuCompareAllClick() {
    if (!FetchAllParameters()) {
        ctx_.view.MessageBox(LinkFailureText(lastFailedParam_), kCompareAllCaption, kMbIconStop);
        return;
    }
    std::string text = kEqualText;
    std::string lines;
    for (int i = 0; i < kGridParamCount; ++i) {
        if (ctx_.values.workValues[i] != ctx_.values.sensorValues[i]) lines += DifferenceLine(i);
    }
    if (!lines.empty()) {
        text = ctx_.texts.Message(kMsgDiffer) + " " + ctx_.texts.Message(kMsgDifferTail) + lines;
    }
    ctx_.view.MessageBox(text, kCompareAllCaption, kMbIconExclamation);
}

bool ParamTransfer::Confirm(int messageKey) {
    return ctx_.view.MessageBox(ctx_.texts.Message(messageKey), ctx_.texts.Message(kMsgCaption),
                                kMbOkCancelExclamation) == kIdOk;
}

void ParamTransfer::PopupMenuFLASHClick() {
    if (!Confirm(kMsgConfirmFlash)) return;
    StoreToFlash();
    if (FetchAllParameters()) CopySensorToWork(kGridParamCount);
    RebuildGrid();
}

void ParamTransfer::PopupMenuDefaultClick() {
    if (!Confirm(kMsgConfirmDefault)) return;
    RestoreDefaults();
    RebuildGrid();
}

void ParamTransfer::PopupMenuFactoryClick() {
    if (!Confirm(kMsgConfirmFactory)) return;
    // Every step runs whatever the previous one gave; each store reports its own box.
    ctx_.values.workValues[kRowBaudRate] = kFactoryBaudCode;
    SendParameter(kRowBaudRate);
    ctx_.clock.Sleep(kFactoryStepWaitMs);
    StoreAsFactory();
    RestoreDefaults();
    RebuildGrid();
    if (ctx_.writeFactoryParamFile) ctx_.writeFactoryParamFile();
}

void ParamTransfer::Show(const std::string& text, int flags) {
    ctx_.view.MessageBox(text, ctx_.texts.Message(kMsgCaption), flags);
}

}  // namespace veska::params
