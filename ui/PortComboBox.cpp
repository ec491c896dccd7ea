#include "ui/PortComboBox.h"

#include <QAbstractItemView>
#include <QColor>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include "main/MainWindow.h"

namespace veska::ui {

namespace {

/// Draws an item of the list with its note: "COM4  — simulated sensor". The item's text, which
/// the logic is handed, stays the port's name.
class NotedItemDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString note = index.data(PortComboBox::kNoteRole).toString();
        if (!note.isEmpty()) option->text += QStringLiteral("  \u2014 ") + note;
    }
};

}  // namespace

PortComboBox::PortComboBox(QWidget* parent) : QComboBox(parent) {
    view()->setItemDelegate(new NotedItemDelegate(view()));
    portPresent = [](const std::string& choice) { return main::PortPresent(choice); };
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
    MarkItems();
    const int index = findText(shown, Qt::MatchExactly);
    if (index >= 0) {
        setCurrentIndex(index);
    } else {
        setEditText(shown);
    }
}

void PortComboBox::SetNotes(const QString& simulated, const QString& absent) {
    simulatedNote_ = simulated;
    absentNote_ = absent;
    MarkItems();
}

QString PortComboBox::NoteOf(int index) const { return itemData(index, kNoteRole).toString(); }

void PortComboBox::MarkItems() {
    for (int i = 0; i < count(); ++i) {
        const QString name = itemText(i);
        QString note;
        if (!simulatedPort.isEmpty() && name == simulatedPort) {
            note = simulatedNote_;
        } else if (!name.startsWith(QStringLiteral("USB")) && portPresent &&
                   !portPresent(name.toStdString())) {
            note = absentNote_;
        }
        setItemData(i, note.isEmpty() ? QVariant() : QVariant(note), kNoteRole);
        // A port with no device is drawn grey; it can still be chosen (it may appear later).
        setItemData(i, note == absentNote_ ? QVariant(QColor(Qt::gray)) : QVariant(),
                    Qt::ForegroundRole);
    }
}

void PortComboBox::showPopup() {
    RefreshPorts();
    QComboBox::showPopup();
}

}  // namespace veska::ui
