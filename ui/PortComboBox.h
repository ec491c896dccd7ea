#pragma once
#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

namespace veska::ui {

/// ComboBoxCOM: the fixed port items ("COM1".."COM32", "USB", "USB_PELRIN") followed by the
/// machine's serial devices and the COMn entries of the port directory not among the fixed
/// items, listed again each time the list opens. Editable, so
/// that any device path can be typed.
class PortComboBox final : public QComboBox {
  public:
    /// Number of fixed items before the machine's ports.
    static constexpr int kFixedItems = 34;

    explicit PortComboBox(QWidget* parent = nullptr);

    /// Lists the machine's ports; main::MachineSerialPorts by default.
    std::function<std::vector<std::string>()> listPorts;
    /// Whether a port's device is there; main::PortPresent by default. USB items are not
    /// asked (their converter is looked for at the connect).
    std::function<bool(const std::string& choice)> portPresent;
    /// The port that leads to the simulated sensor (--simulate), empty for none.
    QString simulatedPort;
    /// The words the list adds to a port: the simulated sensor, a port with no device.
    void SetNotes(const QString& simulated, const QString& absent);
    /// What the list adds to an item's text ("simulated sensor", "not present"); empty for a
    /// port that is there.
    QString NoteOf(int index) const;

    /// Re-reads the machine's ports behind the fixed items; keeps the shown text.
    void RefreshPorts();

    /// Lists the ports again, then opens the list.
    void showPopup() override;

    /// Item data role of the note shown beside an item in the list.
    static constexpr int kNoteRole = Qt::UserRole + 1;

  private:
    void MarkItems();

    QString simulatedNote_ = QStringLiteral("simulated sensor");
    QString absentNote_ = QStringLiteral("not present");
};

}  // namespace veska::ui
