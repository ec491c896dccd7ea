#include "ui/OperatorSettings.h"

#include <QComboBox>

#include "ui/PortComboBox.h"

namespace veska::ui {

namespace {

struct FolderKey {
    FileKind kind;
    const char* key;
};
constexpr FolderKey kFolderKeys[] = {
    {FileKind::ParamSave, "folders/paramSave"}, {FileKind::ParamOpen, "folders/paramOpen"},
    {FileKind::DataSave, "folders/dataSave"},   {FileKind::CsvSave, "folders/csvSave"},
    {FileKind::ImageSave, "folders/imageSave"},
};

}  // namespace

void OperatorSettings::Save(const TFormMain& form, const QtFileDialogs& files) {
    store_.setValue(QStringLiteral("sensor/port"), form.ComboBoxCOM()->currentText());
    store_.setValue(QStringLiteral("sensor/baud"), form.ComboBoxWorkBaund()->currentText());
    store_.setValue(QStringLiteral("sensor/address"), form.ComboBoxWorkCodeDev()->currentText());
    store_.setValue(QStringLiteral("window/geometry"), form.saveGeometry());
    for (const FolderKey& f : kFolderKeys) {
        const auto folder = files.folders.find(f.kind);
        if (folder != files.folders.end()) {
            store_.setValue(QString::fromLatin1(f.key), folder->second);
        }
    }
    store_.sync();
}

RememberedChoices OperatorSettings::Restore(TFormMain& form, QtFileDialogs& files) {
    const QByteArray geometry = store_.value(QStringLiteral("window/geometry")).toByteArray();
    if (!geometry.isEmpty()) form.restoreGeometry(geometry);
    for (const FolderKey& f : kFolderKeys) {
        const QString folder = store_.value(QString::fromLatin1(f.key)).toString();
        if (!folder.isEmpty()) files.folders[f.kind] = folder;
    }

    RememberedChoices choices;
    const QString port = store_.value(QStringLiteral("sensor/port")).toString();
    if (!port.isEmpty() && form.ComboBoxCOM()->findText(port) >= 0) choices.port = port;
    const QString baud = store_.value(QStringLiteral("sensor/baud")).toString();
    if (const int i = form.ComboBoxWorkBaund()->findText(baud); !baud.isEmpty() && i >= 0) {
        choices.baud = baud;
        choices.baudIndex = i;
    }
    const QString address = store_.value(QStringLiteral("sensor/address")).toString();
    if (const int i = form.ComboBoxWorkCodeDev()->findText(address); !address.isEmpty() && i >= 0) {
        choices.address = address;
        choices.addressIndex = i;
    }
    return choices;
}

}  // namespace veska::ui
