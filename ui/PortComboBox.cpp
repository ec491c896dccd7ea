#include "ui/PortComboBox.h"

#include <QLineEdit>
#include <QSignalBlocker>

#include "main/MainWindow.h"

namespace veska::ui {

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
    for (int n = 1; n <= 32; ++n) addItem(QStringLiteral("COM%1").arg(n));
    addItem(QStringLiteral("USB"));
    addItem(QStringLiteral("USB_PELRIN"));
    listPorts = [] { return main::MachineSerialPorts(); };
    RefreshPorts();
}

void PortComboBox::RefreshPorts() {
    const QSignalBlocker blocker(this);
    const QString shown = currentText();
    while (count() > kFixedItems) removeItem(count() - 1);
    if (listPorts) {
        for (const std::string& port : listPorts()) {
            const QString name = QString::fromStdString(port);
            if (findText(name, Qt::MatchExactly) < 0) addItem(name);
        }
    }
    const int index = findText(shown, Qt::MatchExactly);
    if (index >= 0) {
        setCurrentIndex(index);
    } else {
        setEditText(shown);
    }
}

void PortComboBox::showPopup() {
    RefreshPorts();
    QComboBox::showPopup();
}

}  // namespace veska::ui
