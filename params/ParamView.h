#pragma once
#include <optional>
#include <string>

namespace veska::params {

/// Message box flags as the program uses them (Win32 values).
enum MessageFlags : int {
    kMbOk = 0,                    ///< plain OK box
    kMbIconStop = 16,             ///< stop icon, OK
    kMbIconExclamation = 48,      ///< exclamation icon, OK
    kMbOkCancelExclamation = 49,  ///< OK/Cancel with the exclamation icon
};

/// Message box answers (Win32 values).
enum MessageAnswer : int { kIdOk = 1, kIdCancel = 2 };

/// Identity labels of the bottom panel.
enum class IdentityLabel { Model, Release, SerialNumber, Base, Range };

/// What the parameter operations show to the operator. The window implements it with
/// widgets; tests with a fake that records what was shown and answers as a person would.
class ParamView {
  public:
    virtual ~ParamView() = default;
    /// Modal message box; returns kIdOk or kIdCancel.
    virtual int MessageBox(const std::string& text, const std::string& caption, int flags) = 0;
    /// The application's general error display (a conversion failure names the input).
    virtual void ShowError(const std::string& text) = 0;
    /// Simple beep of a refused key.
    virtual void Beep() = 0;
    /// ProgressBarParam: maximum and position.
    virtual void SetParamProgress(int maximum, int position) = 0;
    /// The grid model changed: show its texts again.
    virtual void RefreshGrid() = 0;
    /// Select an item of the baud-rate combo (0 = "2400" ... 10 = "921600").
    virtual void SelectBaudItem(int index) = 0;
    /// Select an item of the net-address combo (0 = "1" ... 126 = "127").
    virtual void SelectAddressItem(int index) = 0;
    virtual void SetIdentityLabel(IdentityLabel label, const std::string& text) = 0;
    /// The current caption of an identity label (the parameter file's default name).
    virtual std::string IdentityLabelText(IdentityLabel label) const = 0;
    /// Save dialog preset with the given file name; nullopt when the operator cancels.
    virtual std::optional<std::string> AskSaveParamFile(const std::string& presetName) = 0;
    virtual std::optional<std::string> AskOpenParamFile() = 0;
};

}  // namespace veska::params
