#include "params/SensorSession.h"

#include <array>
#include <cstdint>

#include "link/Status.h"
#include "params/SensorPortOpen.h"
#include "params/SensorSet.h"
#include "params/ValueRange.h"

namespace veska::params {

namespace {

constexpr uint32_t kBaudUnit = 2400;       ///< [bit/s] per step of the baud code (row 2)
constexpr uint32_t kCode128Baud = 307200;  ///< code 128 x 2400, which stands for 921600
constexpr uint32_t kTopBaud = 921600;      ///< [bit/s]
constexpr uint32_t kBaudReopenWaitMs = 100;
constexpr uint32_t kFetchAttemptWaitMs = 1;
constexpr int kFetchAttempts = 3;

/// ComboBoxWorkBaund items 0..10.
constexpr std::array<uint32_t, 11> kBaudItems = {2400,  4800,   9600,   14400,  19200, 38400,
                                                 57600, 115200, 230400, 460800, 921600};
constexpr int kAddressItems = 127;  ///< ComboBoxWorkCodeDev: "1" .. "127"

/// The low 4 bytes of v, least significant first.
std::array<uint8_t, 4> LittleEndian(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<uint8_t>(u), static_cast<uint8_t>(u >> 8), static_cast<uint8_t>(u >> 16),
            static_cast<uint8_t>(u >> 24)};
}

int32_t FromLittleEndian(const std::array<uint8_t, 4>& b) {
    return static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                uint32_t{b[3]} << 24);
}

class Silent final : public ParamView {
  public:
    int MessageBox(const std::string&, const std::string&, int) override { return kIdCancel; }
    void ShowError(const std::string&) override {}
    void Beep() override {}
    void SetParamProgress(int, int) override {}
    void RefreshGrid() override {}
    void SelectBaudItem(int) override {}
    void SelectAddressItem(int) override {}
    void SetIdentityLabel(IdentityLabel, const std::string&) override {}
    std::string IdentityLabelText(IdentityLabel) const override { return {}; }
    std::optional<std::string> AskSaveParamFile(const std::string&) override { return {}; }
    std::optional<std::string> AskOpenParamFile() override { return {}; }
};

}  // namespace

ParamView& SilentParamView() {
    static Silent view;
    return view;
}

SensorSession::SensorSession(const lang::TextTable& texts, platform::Clock& clock)
    : sensor(clock), grid(table, texts), texts_(texts), clock_(clock), view_(&SilentParamView()) {}

void SensorSession::SetUsbBackend(platform::D2xx* usb) {
    usb_ = usb;
    sensor.Port().SetUsbBackend(usb);
}

bool SensorSession::OpenPort() { return OpenSensorPort(sensor, conn, *view_, texts_); }

link::Status SensorSession::Identify() {
    link::DeviceInfo info;
    const auto status = static_cast<link::Status>(sensor.Identify(conn.netAddress, info));
    conn.Record(status);
    if (status != link::kStatusOk) return status;
    conn.deviceInfo = info;
    conn.deviceType = info.deviceType;
    conn.baseDistance = info.baseDistance;
    conn.measuringRange = info.measuringRange;
    return status;
}

void SensorSession::SendParameter(int i) {
    if (i < 0 || i >= kParamCount) return;
    const ParamDescriptor& row = table[i];
    const int32_t v = values.workValues[i];
    // A value the row may not hold never reaches the sensor: nothing is sent and the host
    // keeps its settings (a wrapped address would leave the sensor where nobody looks).
    if (!Writable(table, i, v, texts_)) {
        lastSendStatus_ = link::kStatusBadRequest;
        conn.linkStatus.store(lastSendStatus_);
        return;
    }
    const std::array<uint8_t, 4> bytes = LittleEndian(v);
    lastSendStatus_ = sensor.WriteParam(conn.netAddress, row.address, row.size, bytes.data());
    conn.linkStatus.store(lastSendStatus_);
    // A write that failed part-way may have changed some of the bytes.
    if (lastSendStatus_ == link::kStatusOk) {
        LearnSensorValue(table, values.sensorSet, i, v);
    } else {
        ForgetSensorValue(table, values.sensorSet, i);
    }
    UpdateGridMarks(grid, values);

    // The sensor takes a new baud rate or net address in the old settings; the host follows.
    switch (i) {
        case kRowNetAddress:
            conn.netAddress = static_cast<uint8_t>(v);
            if (v >= 1 && v <= kAddressItems) view_->SelectAddressItem(v - 1);
            break;
        case kRowBaudRate: {
            uint32_t baud = static_cast<uint32_t>(v) * kBaudUnit;
            if (baud == kCode128Baud) baud = kTopBaud;
            conn.baudRate = baud;
            if (reopenPort) {
                reopenPort();
            } else {
                OpenPort();
            }
            clock_.Sleep(kBaudReopenWaitMs);
            for (size_t item = 0; item < kBaudItems.size(); ++item) {
                if (kBaudItems[item] == baud) view_->SelectBaudItem(static_cast<int>(item));
            }
            break;
        }
        case kRowDeviceType:
            view_->SetIdentityLabel(IdentityLabel::Model, std::to_string(v));
            break;
        case kRowSerialNumber:
            view_->SetIdentityLabel(IdentityLabel::SerialNumber, std::to_string(v));
            break;
        case kRowBaseDistance:
            conn.baseDistance = static_cast<int16_t>(v);
            view_->SetIdentityLabel(IdentityLabel::Base, std::to_string(conn.baseDistance) + " mm");
            break;
        case kRowMeasuringRange:
            conn.measuringRange = static_cast<int16_t>(v);
            view_->SetIdentityLabel(IdentityLabel::Range,
                                    std::to_string(conn.measuringRange) + " mm");
            break;
        default:
            break;
    }
    conn.answerStatus.store(conn.linkStatus.load());
}

void SensorSession::SendValue(int i, int32_t value) {
    if (i < 0 || i >= kParamCount) return;
    values.workValues[i] = value;
    SendParameter(i);
}

bool SensorSession::FetchParameter(int i) {
    if (i < 0 || i >= kParamCount) return false;
    const ParamDescriptor& row = table[i];
    // Bytes read stay in the entry even when a later byte fails; higher bytes are untouched.
    std::array<uint8_t, 4> bytes = LittleEndian(values.sensorValues[i]);
    const int32_t status = sensor.ReadParam(conn.netAddress, row.address, row.size, bytes.data());
    values.sensorValues[i] = FromLittleEndian(bytes);
    conn.Record(status);
    if (status != link::kStatusOk) return false;
    LearnSensorValue(table, values.sensorSet, i, values.sensorValues[i]);
    UpdateGridMarks(grid, values);
    return true;
}

int SensorSession::SendAllParameters() {
    int failures = 0;
    for (int k = 1; k <= kGridParamCount; ++k) {
        SendParameter(kGridParamCount - k);
        if (lastSendStatus_ != link::kStatusOk && failures++ == 0) {
            lastFailedParam_ = kGridParamCount - k;
            firstSendFailure_ = lastSendStatus_;
        }
        view_->SetParamProgress(kGridParamCount - 1, k);
    }
    return failures;
}

bool SensorSession::FetchAllParameters() {
    bool ok = true;
    for (int i = 0; i < kGridParamCount && ok; ++i) {
        ok = false;
        for (int attempt = 0; attempt < kFetchAttempts && !ok; ++attempt) {
            clock_.Sleep(kFetchAttemptWaitMs);
            ok = FetchParameter(i);
        }
        if (!ok) lastFailedParam_ = i;
        view_->SetParamProgress(kGridParamCount - 1, i);
    }
    return ok;
}

link::Status SensorSession::StoreSet(uint8_t code) {
    const auto status = static_cast<link::Status>(sensor.StoreParams(conn.netAddress, code));
    conn.Record(status);
    // Restoring the defaults replaces the sensor's working set (a failed command may have
    // done so too); the flash and factory stores leave it as it is.
    if (code == link::kStoreDefault) {
        values.sensorSet.Forget();
        UpdateGridMarks(grid, values);
    }
    return status;
}

void SensorSession::CopySensorToWork(int count) {
    for (int i = 0; i < count && i < kParamCount; ++i)
        values.workValues[i] = values.sensorValues[i];
}

void SensorSession::RebuildGrid() {
    BuildParamGrid(grid, values, conn.resultDivisor);
    view_->RefreshGrid();
}

}  // namespace veska::params
