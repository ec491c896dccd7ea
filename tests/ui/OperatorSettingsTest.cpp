// What the program remembers is back at the next start: a QSettings on a temporary file
// stands for the program's own store, two forms for two runs.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "main/ProgramState.h"
#include "ui/OperatorSettings.h"
#include "ui/PortComboBox.h"

namespace veska::ui {
namespace {

struct ProgramRun {
    ProgramRun() : form(state), files(&form) {}
    main::ProgramState state;
    TFormMain form;
    QtFileDialogs files;
};

TEST(OperatorSettings, PortRateAddressGeometryAndFoldersComeBackAtTheNextStart) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("veskacfg.ini"));
    QRect geometry;
    {
        auto first = std::make_unique<ProgramRun>();
        first->form.ComboBoxCOM()->setCurrentText(QStringLiteral("COM7"));
        first->form.ComboBoxWorkBaund()->setCurrentText(QStringLiteral("57600"));
        first->form.ComboBoxWorkCodeDev()->setCurrentText(QStringLiteral("9"));
        first->form.setGeometry(40, 50, 820, 600);
        geometry = first->form.geometry();
        first->files.folders[FileKind::ParamSave] = dir.path();
        first->files.folders[FileKind::CsvSave] = QStringLiteral("/tmp");
        QSettings store(path, QSettings::IniFormat);
        OperatorSettings(store).Save(first->form, first->files);
    }
    auto next = std::make_unique<ProgramRun>();
    QSettings store(path, QSettings::IniFormat);
    const RememberedChoices choices = OperatorSettings(store).Restore(next->form, next->files);
    EXPECT_EQ(choices.port, QStringLiteral("COM7"));
    EXPECT_EQ(choices.baud, QStringLiteral("57600"));
    EXPECT_EQ(next->form.ComboBoxWorkBaund()->itemText(choices.baudIndex), QStringLiteral("57600"));
    EXPECT_EQ(choices.address, QStringLiteral("9"));
    EXPECT_EQ(choices.addressIndex, 8);
    EXPECT_EQ(next->form.geometry().size(), geometry.size());
    EXPECT_EQ(next->files.folders[FileKind::ParamSave], dir.path());
    EXPECT_EQ(next->files.folders[FileKind::CsvSave], QStringLiteral("/tmp"));
    EXPECT_EQ(next->files.folders.count(FileKind::ParamOpen), 0u);
}

TEST(OperatorSettings, AnEmptyOrForeignStoreRestoresNothing) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QSettings store(dir.filePath(QStringLiteral("veskacfg.ini")), QSettings::IniFormat);
    store.setValue(QStringLiteral("sensor/baud"), QStringLiteral("12345"));
    store.setValue(QStringLiteral("sensor/address"), QStringLiteral("200"));
    store.setValue(QStringLiteral("window/geometry"), QByteArray("broken"));
    ProgramRun run;
    const RememberedChoices choices = OperatorSettings(store).Restore(run.form, run.files);
    EXPECT_TRUE(choices.port.isEmpty());
    EXPECT_EQ(choices.baudIndex, -1);
    EXPECT_EQ(choices.addressIndex, -1);
    EXPECT_TRUE(run.files.folders.empty());
}

}  // namespace
}  // namespace veska::ui
