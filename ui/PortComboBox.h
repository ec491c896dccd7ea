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

    /// Re-reads the machine's ports behind the fixed items; keeps the shown text.
    void RefreshPorts();

    /// Lists the ports again, then opens the list.
    void showPopup() override;
};

}  // namespace veska::ui
