#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "params/SensorSession.h"

namespace veska::params {

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

/// The grid's menu actions with their messages, on top of the sensor session's transfers.
class ParamTransfer {
  public:
    /// session outlives the transfer. writeFactoryParamFile is the last step of "Write to
    /// Factory" (the factory parameter file); null: skipped.
    explicit ParamTransfer(SensorSession& session,
                           std::function<void()> writeFactoryParamFile = nullptr);

    /// Reads row i and compares it with workValues[i]; false also when the read failed.
    bool CompareParameter(int i);
    bool CompareAllParameters();
    void StoreToFlash();
    void RestoreDefaults();
    void StoreAsFactory();

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
    /// Before an action replaces the working values: when rows hold values that are not on
    /// the sensor (UnsentRows), asks whether to discard them (OK/Cancel, flags 49, caption
    /// MESSAGE Item_2), naming the rows and `consequence`. True when there are none or on OK.
    bool ConfirmDiscardEdits(const std::string& consequence);

    SensorSession& Session() const { return session_; }

  private:
    /// Shows which of rows hold values they may not send (stop icon); true when any does.
    bool RefuseUnwritable(const std::vector<int>& rows);
    void StoreSet(uint8_t code);
    /// Message box with caption MESSAGE Item_2.
    void Show(const std::string& text, int flags);
    /// CR, then "'<name>': <Item_10><work>, <Item_11><sensor>." of row i.
    std::string DifferenceLine(int i) const;
    /// A comparison whose read failed: MESSAGE Item_7, CR, the row and the status.
    std::string LinkFailureText(int i) const;

    SensorSession& session_;
    std::function<void()> writeFactoryParamFile_;
};

}  // namespace veska::params
