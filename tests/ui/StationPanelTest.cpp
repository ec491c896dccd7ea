// The factory window's station panel: what the operator gives reaches the logic as a
// request, the logic's model is shown (steps, verdict, the certificate's button), and the
// fields are remembered.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <optional>

#include "ui/StationPanel.h"

namespace veska::ui {
namespace {

class StationPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QFile file(dir_.filePath(QStringLiteral("full-loop.toml")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("name = \"Full loop\"\n");
    }
    QSettings Settings() {
        return QSettings(dir_.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    }

    QTemporaryDir dir_;
};

TEST_F(StationPanelTest, StartHandsTheFieldsOnAndTheyAreRemembered) {
    QSettings settings = Settings();
    std::optional<main::StationRequest> asked;
    {
        StationPanel panel(settings, {dir_.path(), dir_.path()});
        ASSERT_EQ(panel.SequenceBox()->count(), 1);  // each file once
        panel.onStart = [&](const main::StationRequest& request) { asked = request; };
        panel.OperatorEdit()->setText(QStringLiteral("  Erika "));
        panel.FolderEdit()->setText(dir_.filePath(QStringLiteral("runs")));
        panel.StartButton()->click();
    }
    ASSERT_TRUE(asked.has_value());
    EXPECT_EQ(asked->operatorName, "Erika");
    EXPECT_EQ(asked->sequenceFile, QFileInfo(dir_.filePath(QStringLiteral("full-loop.toml")))
                                       .canonicalFilePath()
                                       .toStdString());
    EXPECT_EQ(asked->folder, dir_.filePath(QStringLiteral("runs")).toStdString());

    StationPanel again(settings, {dir_.path()});
    EXPECT_EQ(again.OperatorEdit()->text(), QStringLiteral("Erika"));
    EXPECT_EQ(again.FolderEdit()->text(), dir_.filePath(QStringLiteral("runs")));
}

TEST_F(StationPanelTest, ShowsTheStepsAsTheyRunAndTheVerdictAtTheEnd) {
    QSettings settings = Settings();
    StationPanel panel(settings, {dir_.path()});
    main::StationModel model;
    model.running = true;
    model.sequence = "Full loop";
    model.serial = "4711";
    model.steps = {{"Before", "Poverka", "passed", "figure_percent 1.5 % [≤ 5] passed", ""},
                   {"Calibrate", "Calibration", "running", "", ""}};
    panel.Show(model);
    EXPECT_FALSE(panel.StartButton()->isEnabled());
    EXPECT_TRUE(panel.StopButton()->isEnabled());
    EXPECT_FALSE(panel.CertificateButton()->isEnabled());
    ASSERT_EQ(panel.Steps()->rowCount(), 2);
    EXPECT_EQ(panel.Steps()->item(1, 2)->text(), QStringLiteral("running"));
    EXPECT_TRUE(panel.VerdictLabel()->text().contains(QStringLiteral("4711")));

    model.running = false;
    model.steps[1].outcome = "failed";
    model.steps[1].reason = "figure_percent 0.15 % above its limit 0.1 %";
    model.verdict = "FAILED";
    model.unitId = "unit-1";
    panel.Show(model);
    EXPECT_EQ(panel.VerdictLabel()->text(), QStringLiteral("FAILED"));
    EXPECT_TRUE(panel.StartButton()->isEnabled());
    EXPECT_TRUE(panel.CertificateButton()->isEnabled());

    QString certificate;
    panel.askCertificatePath = [](const QString& preset) { return preset; };
    panel.onCertificate = [&](const QString& path) { certificate = path; };
    panel.CertificateButton()->click();
    EXPECT_TRUE(certificate.endsWith(QStringLiteral("4711_certificate.pdf")))
        << certificate.toStdString();
}

}  // namespace
}  // namespace veska::ui
