#include "ui/FileDialogAdapter.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

namespace veska::ui {

std::optional<std::string> QtFileDialogs::Ask(FileKind kind, const std::string& preset) {
    QFileDialog dialog(parent_);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (const auto folder = folders.find(kind); folder != folders.end()) {
        dialog.setDirectory(folder->second);
    }
    dialog.selectFile(QFile::decodeName(QByteArray::fromStdString(preset)));
    switch (kind) {
        case FileKind::ParamSave:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setNameFilters(
                {QStringLiteral("Parameter files (*.prm)"), QStringLiteral("All files (*)")});
            dialog.setDefaultSuffix(QStringLiteral("prm"));
            break;
        case FileKind::ParamOpen:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            dialog.setNameFilters(
                {QStringLiteral("Parameter files (*.prm)"), QStringLiteral("All files (*)")});
            break;
        case FileKind::DataSave:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            break;
        case FileKind::CsvSave:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setNameFilters(
                {QStringLiteral("CSV files (*.csv)"), QStringLiteral("All files (*)")});
            dialog.setDefaultSuffix(QStringLiteral("csv"));
            break;
        case FileKind::ImageSave:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setNameFilters({QStringLiteral("PNG images (*.png)"),
                                   QStringLiteral("BMP images (*.bmp)"),
                                   QStringLiteral("JPEG images (*.jpg *.jpeg)")});
            dialog.setDefaultSuffix(QStringLiteral("png"));
            break;
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    folders[kind] = QFileInfo(chosen).absolutePath();
    return QFile::encodeName(chosen).toStdString();
}

std::optional<std::string> ScriptedFileDialogs::Ask(FileKind kind, const std::string& preset) {
    asked.push_back({kind, preset});
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
}

}  // namespace veska::ui
