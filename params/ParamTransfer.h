#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "lang/Language.h"
#include "link/ConnectionState.h"
#include "link/MorlaInterface.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"
#include "params/ParamView.h"
#include "platform/Clock.h"

namespace veska::params {

/// Everything the parameter operations work on; all references outlive the operations.
struct ParamContext {
    link::TMORLAInterface& sensor;
    link::ConnectionState& conn;
    ParamTable& table;
    ValueStores& values;
    ParamGrid& grid;
    const lang::TextTable& texts;
    ParamView& view;
    platform::Clock& clock;
    /// Re-opens the sensor port at conn.baudRate (after a baud-rate send); reports its own
    /// failure. Null: the port is not re-opened.
    std::function<bool()> openSensorPort;
    /// Writes the factory parameter file (last step of "Write to Factory"). Null: skipped.
    std::function<void()> writeFactoryParamFile;
};

/// MESSAGE keys of the transfer operations.
enum TransferMessage : int {
    kMsgCaption = 2,      ///< caption of every box but Compare All's
    kMsgStoreFailed = 3,  ///< flash or factory store failed
    kMsgDefaultFailed = 5,
    kMsgNoAnswer = 7,  ///< the sensor does not answer
    kMsgDiffer = 8,    ///< first line of a comparison that found differences
    kMsgDifferTail = 9,
    kMsgGrid = 10,    ///< before the working value
    kMsgSensor = 11,  ///< before the sensor's value
    kMsgConfirmFlash = 13,
    kMsgConfirmDefault = 14,
    kMsgStored = 21,
    kMsgDefaultRestored = 22,
    kMsgConfirmFactory = 24,
    kMsgConfirmOverwrite = 25,  ///< the parameter file exists
};

/// Moves parameter values between the value stores and the sensor, with the grid's menu
/// actions. Every exchange leaves its status in conn.linkStatus and conn.answerStatus.
class ParamTransfer {
  public:
    explicit ParamTransfer(ParamContext context);

    /// Writes workValues[i] (its low size bytes, highest address first) and makes the
    /// host-side effects of rows 2, 3, 40..43.
    void SendParameter(int i);
    /// Reads row i into sensorValues[i]; true on success.
    bool FetchParameter(int i);
    /// Rows 36 down to 0; failures do not stop the loop. Returns the number of rows whose
    /// write failed (0: all sent).
    int SendAllParameters();
    /// Rows 0..36, up to three attempts each; stops at a row that fails three times.
    bool FetchAllParameters();
    /// The row at which the last failed FetchAllParameters stopped, or the first row whose
    /// write failed in the last SendAllParameters.
    int LastFailedParam() const { return lastFailedParam_; }
    /// The write status of the last SendParameter. conn.linkStatus holds the same except after
    /// a baud-rate send, where the re-open of the port leaves its own status there.
    int32_t LastSendStatus() const { return lastSendStatus_; }
    /// The write status of the first failed row of the last SendAllParameters.
    int32_t FirstSendFailure() const { return firstSendFailure_; }
    bool CompareParameter(int i);
    bool CompareAllParameters();
    void StoreToFlash();
    void RestoreDefaults();
    void StoreAsFactory();
    /// sensorValues[0..count-1] into workValues.
    void CopySensorToWork(int count);
    /// BuildParamGrid and a grid refresh in the view.
    void RebuildGrid();

    // PopupMenuParam actions.
    void PopupMenuLoadClick();
    void PopupMenuReadClick();
    void PopupMenuCompareClick();
    void PopupMenuLoadAllClick();
    void PopupMenuReadAllClick();
    void PopupMenuCompareAllClick();
    void PopupMenuFLASHClick();
    void PopupMenuDefaultClick();
    void PopupMenuFactoryClick();

    /// OK/Cancel question (flags 49, caption MESSAGE Item_2) with a MESSAGE text; true for
    /// OK only.
    bool Confirm(int messageKey);

    const ParamContext& Context() const { return ctx_; }

  private:
    void StoreSet(uint8_t code);
    /// Message box with caption MESSAGE Item_2.
    void Show(const std::string& text, int flags);
    /// CR, then "'<name>': <Item_10><work>, <Item_11><sensor>." of row i.
    std::string DifferenceLine(int i) const;
    /// A comparison whose read failed: MESSAGE Item_7, CR, the row and the status.
    std::string LinkFailureText(int i) const;

    ParamContext ctx_;
    int lastFailedParam_ = 0;
    int32_t lastSendStatus_ = 0;
    int32_t firstSendFailure_ = 0;
};

}  // namespace veska::params
