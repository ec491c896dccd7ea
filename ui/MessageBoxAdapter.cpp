#include "ui/MessageBoxAdapter.h"

#include <QApplication>
#include <QMessageBox>

namespace veska::ui {

namespace {

QMessageBox::Icon IconOf(int flags) {
    switch (flags & 0xF0) {
        case 0x10:
            return QMessageBox::Critical;
        case 0x20:
            return QMessageBox::Question;
        case 0x30:
            return QMessageBox::Warning;
        case 0x40:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

}  // namespace

int QtMessageBoxes::MessageBox(const std::string& text, const std::string& caption, int flags) {
    const bool okCancel = (flags & 0x0F) == 1;
    if ((flags & 0x0F) == 5) {  // Retry and Cancel: IDRETRY 4, IDCANCEL 2
        QMessageBox box(IconOf(flags), QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Retry | QMessageBox::Cancel,
                        parent_);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::Retry);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Retry ? 4 : 2;
    }
    QMessageBox box(IconOf(flags), QString::fromStdString(caption), QString::fromStdString(text),
                    okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(okCancel ? QMessageBox::Cancel : QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? 1 : 2;
}

void QtMessageBoxes::ShowError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

int ScriptedMessageBoxes::MessageBox(const std::string& text, const std::string& caption,
                                     int flags) {
    shown.push_back({text, caption, flags});
    if (answers.empty()) return 1;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace veska::ui
