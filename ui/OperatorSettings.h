#pragma once
#include <QSettings>
#include <QString>

#include "ui/FileDialogAdapter.h"
#include "ui/MainForm.h"

namespace veska::ui {

/// The port, rate and address the operator chose last, as the combo boxes show them, with
/// the items' positions in their lists. An empty text: nothing remembered (or the item is
/// gone, such as a USB port that is not plugged in).
struct RememberedChoices {
    QString port;
    QString baud;
    int baudIndex = -1;
    QString address;
    int addressIndex = -1;
};

/// What the program remembers between runs: the last port, rate and address, the window's
/// geometry and the folders of the file dialogs. The store is a QSettings the caller owns
/// (the program's own, or one on a temporary file in tests).
class OperatorSettings {
  public:
    explicit OperatorSettings(QSettings& store) : store_(store) {}

    /// Keeps the combo boxes' choices, the window geometry and the dialogs' folders.
    void Save(const TFormMain& form, const QtFileDialogs& files);
    /// Puts the window geometry and the dialogs' folders back and returns the remembered
    /// choices that the lists still hold. The caller hands these to the logic (which owns
    /// the combo boxes' texts), so the form's combo boxes are left alone here.
    RememberedChoices Restore(TFormMain& form, QtFileDialogs& files);

  private:
    QSettings& store_;
};

}  // namespace veska::ui
