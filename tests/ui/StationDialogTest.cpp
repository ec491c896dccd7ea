// The factory window's results dialog against a real store file: the History of the
// connected sensor, a run's chart drawn again, the certificate, the remembered URL.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

#include "report/ChartPicture.h"
#include "results/OpenStore.h"
#include "ui/StationDialog.h"

namespace veska::ui {
namespace {

using results::Outcome;

/// Serves the event loop until the dialog's store work is done (generous bound).
bool Settled(const StationDialog& dialog) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 30000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!dialog.Busy()) return true;
        QThread::msleep(5);
    }
    return false;
}

class StationDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        url_ = QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("results.sqlite"));
        std::string error;
        auto store = results::OpenStore(url_.toStdString(), error);
        ASSERT_TRUE(store) << error;
        unit_.runId = unit_.unitId = results::NewRunId();
        unit_.operatorName = "Ada";
        unit_.sensor = {20, 4711, 3, 80, 50};
        unit_.sequence = "Full loop";
        unit_.started = "2026-12-10T02:00:00.000Z";
        unit_.outcome = Outcome::Passed;
        step_ = unit_;
        step_.runId = results::NewRunId();
        step_.step = "Verification after calibration";
        step_.mode = "Poverka";
        step_.started = "2026-12-10T02:05:00.000Z";
        step_.measurements = {{"figure_percent", 0.052, "%", std::nullopt, 0.1, Outcome::Passed}};
        report::ChartPicture chart;
        chart.values = {0.01, -0.02, 0.03};
        const std::string data = report::ChartDataText(chart);
        step_.files = {{"a.chart.json", std::vector<uint8_t>(data.begin(), data.end())}};
        ASSERT_TRUE(store->Put(unit_).Kept());
        ASSERT_TRUE(store->Put(step_).Kept());
    }

    QTemporaryDir dir_;
    QString url_;
    results::RunResult unit_, step_;
};

TEST_F(StationDialogTest, TheConnectedSensorsRunsAreListedAndTheStoreIsRemembered) {
    QSettings settings(dir_.filePath(QStringLiteral("veskacfg.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("results/url"),
                      QStringLiteral("sqlite:") + dir_.filePath(QStringLiteral("empty.sqlite")));
    StationDialog dialog(settings, [] { return QStringLiteral("S/N 4711"); });
    dialog.show();
    ASSERT_TRUE(Settled(dialog));
    EXPECT_EQ(dialog.SerialEdit()->text(), QStringLiteral("4711"));
    EXPECT_EQ(dialog.Table()->rowCount(), 0);
    dialog.UrlEdit()->setText(url_);
    dialog.ApplyStore();
    ASSERT_TRUE(Settled(dialog));
    EXPECT_EQ(settings.value(QStringLiteral("results/url")).toString(), url_);
    EXPECT_EQ(dialog.WaitingLabel()->text(), QStringLiteral("0"));

    QTableWidget* table = dialog.Table();
    ASSERT_EQ(table->rowCount(), 2) << dialog.StatusLabel()->text().toStdString();
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("Verification after calibration"));
    EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("figure_percent 0.052 %"));
    EXPECT_EQ(table->item(0, 4)->text(), QStringLiteral("≤ 0.1"));
    EXPECT_EQ(table->item(0, 5)->text(), QStringLiteral("passed"));
    EXPECT_EQ(table->item(0, 6)->text(), QStringLiteral("Ada"));

    // The next dialog starts on the remembered store.
    StationDialog again(settings, [] { return QStringLiteral("4711"); });
    EXPECT_EQ(again.UrlEdit()->text(), url_);
}

TEST_F(StationDialogTest, ARunsChartIsDrawnAgainAndTheCertificateWrittenFromTheStore) {
    QSettings settings(dir_.filePath(QStringLiteral("veskacfg.ini")), QSettings::IniFormat);
    settings.setValue(QStringLiteral("results/url"), url_);
    StationDialog dialog(settings, [] { return QStringLiteral("4711"); });
    dialog.show();
    ASSERT_TRUE(Settled(dialog));
    ASSERT_EQ(dialog.Table()->rowCount(), 2);

    dialog.ShowChart();  // nothing chosen: said, nothing done
    EXPECT_FALSE(dialog.Busy());
    dialog.Table()->setCurrentCell(0, 0);
    dialog.ShowChart();
    ASSERT_TRUE(Settled(dialog));
    ASSERT_EQ(dialog.ChartImages().size(), 1u);
    EXPECT_EQ(dialog.ChartImages()[0].width(), 800);

    const QString pdf = dir_.filePath(QStringLiteral("unit.pdf"));
    dialog.SaveCertificate(pdf);
    ASSERT_TRUE(Settled(dialog));
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << dialog.StatusLabel()->text().toStdString();
    EXPECT_TRUE(file.read(5) == "%PDF-");
}

TEST_F(StationDialogTest, AStoreThatCannotBeReadIsSaidAndNothingIsListed) {
    QSettings settings(dir_.filePath(QStringLiteral("veskacfg.ini")), QSettings::IniFormat);
    QFile junk(dir_.filePath(QStringLiteral("junk.sqlite")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    settings.setValue(QStringLiteral("results/url"), QStringLiteral("sqlite:") + junk.fileName());
    StationDialog dialog(settings, [] { return QStringLiteral("no sensor"); });
    dialog.show();
    ASSERT_TRUE(Settled(dialog));
    EXPECT_NE(dialog.StatusLabel()->text(), QString());  // no serial to list
    dialog.SerialEdit()->setText(QStringLiteral("4711"));
    dialog.Refresh();
    ASSERT_TRUE(Settled(dialog));
    EXPECT_EQ(dialog.Table()->rowCount(), 0);
    EXPECT_TRUE(dialog.StatusLabel()->text().contains(QStringLiteral("junk.sqlite")))
        << dialog.StatusLabel()->text().toStdString();
}

}  // namespace
}  // namespace veska::ui
