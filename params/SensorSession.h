#pragma once
#include <cstdint>
#include <functional>

#include "lang/Language.h"
#include "link/MorlaInterface.h"
#include "link/Status.h"
#include "params/ConnectionState.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"
#include "params/ParamView.h"
#include "platform/Clock.h"
#include "platform/D2xx.h"

namespace veska::params {

/// One session with one sensor: the sensor link, the connection state, the parameter table,
/// the value stores and the grid model, with the wire half of the parameter transfers.
/// The window, veskactl and the test rigs each build exactly one; the menu actions with
/// their messages (ParamTransfer) sit on top of it. Every exchange leaves its status in
/// conn.linkStatus and conn.answerStatus. Used by one thread at a time.
class SensorSession {
  public:
    /// texts and clock outlive the session. The view starts as a silent one.
    SensorSession(const lang::TextTable& texts, platform::Clock& clock);
    SensorSession(const SensorSession&) = delete;
    SensorSession& operator=(const SensorSession&) = delete;

    /// Where the host-side effects of a transfer (selectors, identity labels, progress) and
    /// the port-open failure box go. view outlives the session's use of it.
    void SetView(ParamView& view) { view_ = &view; }
    ParamView& View() const { return *view_; }
    const lang::TextTable& Texts() const { return texts_; }
    platform::Clock& Clock() const { return clock_; }
    /// The D2XX backend of the USB converter and the adapter line; null: the chosen backend.
    void SetUsbBackend(platform::D2xx* usb);
    platform::D2xx* UsbBackend() const { return usb_; }

    /// Opens the port named by conn.portName at conn.baudRate; a failure is shown as a
    /// message box (flags 48). True when the port is open.
    bool OpenPort();
    /// What a baud-rate send calls to re-open the port; null: OpenPort.
    std::function<bool()> reopenPort;

    /// Identify with conn.netAddress; the status is recorded. On success the identity and
    /// its copies (deviceType, baseDistance, measuringRange) are kept. A failure leaves the
    /// previous values.
    link::Status Identify();

    /// Writes workValues[i] (its low size bytes, highest address first) and makes the
    /// host-side effects of rows 2, 3, 40..43. A value the row may not hold (params::Writable)
    /// is not sent: the status is kStatusBadRequest and nothing else changes.
    void SendParameter(int i);
    /// workValues[i] = value, then SendParameter(i).
    void SendValue(int i, int32_t value);
    /// Reads row i into sensorValues[i]; true on success.
    bool FetchParameter(int i);
    /// Rows 36 down to 0; failures do not stop the loop. Returns the number of rows whose
    /// write failed (0: all sent).
    int SendAllParameters();
    /// Rows 0..36, up to three attempts each; stops at a row that fails three times.
    bool FetchAllParameters();
    /// StoreParams with a set code; the status is recorded and returned.
    link::Status StoreSet(uint8_t code);
    /// sensorValues[0..count-1] into workValues.
    void CopySensorToWork(int count);
    /// BuildParamGrid and a grid refresh in the view.
    void RebuildGrid();

    /// The row at which the last failed FetchAllParameters stopped, or the first row whose
    /// write failed in the last SendAllParameters.
    int LastFailedParam() const { return lastFailedParam_; }
    /// The write status of the last SendParameter. conn.linkStatus holds the same except after
    /// a baud-rate send, where the re-open of the port leaves its own status there.
    int32_t LastSendStatus() const { return lastSendStatus_; }
    /// The write status of the first failed row of the last SendAllParameters.
    int32_t FirstSendFailure() const { return firstSendFailure_; }

    link::TMORLAInterface sensor;
    ConnectionState conn;
    ParamTable table = BuiltInParamTable();
    ValueStores values;
    ParamGrid grid;

  private:
    const lang::TextTable& texts_;
    platform::Clock& clock_;
    ParamView* view_;
    platform::D2xx* usb_ = nullptr;
    int lastFailedParam_ = 0;
    int32_t lastSendStatus_ = 0;
    int32_t firstSendFailure_ = 0;
};

/// A ParamView that shows nothing and answers Cancel: a session before its view is set.
ParamView& SilentParamView();

}  // namespace veska::params
