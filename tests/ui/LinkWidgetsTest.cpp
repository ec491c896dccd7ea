// The sensor search dialog against a simulated sensor that answers only at its own rate, and
// the line trace window. With VESKA_SCREENSHOT_DIR set, the search test saves its dialog
// there (scripts/screenshot.sh).
#include <gtest/gtest.h>

#include "tests/ui/QtPrint.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <string>

#include "link/Trace.h"
#include "sim/ParamMemory.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"
#include "tests/support/MovedSensor.h"
#include "ui/SensorSearchDialog.h"
#include "ui/TraceDock.h"

namespace veska::ui {
namespace {

/// Saves widget as name in $VESKA_SCREENSHOT_DIR, when set.
void MaybeScreenshot(QWidget& widget, const char* name) {
    const QString dir = qEnvironmentVariable("VESKA_SCREENSHOT_DIR");
    if (dir.isEmpty()) return;
    QDir().mkpath(dir);
    EXPECT_TRUE(widget.grab().save(dir + QLatin1Char('/') + QString::fromLatin1(name))) << name;
}

/// A sensor moved to 57600 bit/s and net address 9 on a pseudo-terminal.
class SensorSearchTest : public ::testing::Test, protected veska::testing::MovedSensor {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(StartSensor(&error)) << error;
        port = QString::fromStdString(pty.SlavePath());
    }

    QString port;
};

TEST_F(SensorSearchTest, FindsTheSensorAtItsRateAndAddressAndClosesThePort) {
    SensorSearchDialog dialog;
    // The current rate first, then the sensor's; 9600 would follow but the line has answered.
    dialog.SetRateOrder({115200, 57600, 9600});
    dialog.Setup({QStringLiteral("COM1"), port}, {port}, 115200, 1);
    dialog.show();
    ASSERT_TRUE(dialog.StartSearch());
    EXPECT_TRUE(dialog.Running());
    EXPECT_FALSE(dialog.SearchButton()->isEnabled());
    EXPECT_TRUE(dialog.CancelButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 120000));

    ASSERT_EQ(dialog.Hits().size(), 1u);
    const params::ScanHit& hit = dialog.Hits()[0];
    EXPECT_EQ(hit.baud, 57600u);
    EXPECT_EQ(hit.address, 9);
    EXPECT_EQ(hit.info.serialNumber, 1234u);
    QTableWidget* table = dialog.HitTable();
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), port);
    EXPECT_EQ(table->item(0, 1)->text(), QStringLiteral("57600"));
    EXPECT_EQ(table->item(0, 2)->text(), QStringLiteral("9"));
    EXPECT_EQ(table->item(0, 3)->text(), QStringLiteral("20"));
    EXPECT_EQ(dialog.StatusLabel()->text(), QStringLiteral("Done: 1 sensor found."));
    EXPECT_EQ(dialog.Progress()->value(), dialog.Progress()->maximum());
    EXPECT_FALSE(dialog.Scan().Sensor().IsOpen());
    EXPECT_TRUE(dialog.ConnectButton()->isEnabled()) << "the hit is selected";
    MaybeScreenshot(dialog, "sensor-search.png");

    dialog.ConnectButton()->click();
    ASSERT_TRUE(dialog.Chosen().has_value());
    EXPECT_EQ(dialog.Chosen()->address, 9);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(SensorSearchTest, StopEndsTheSearchAtOnceAndLeavesNoPortOpen) {
    SensorSearchDialog dialog;
    dialog.SetRateOrder({9600, 2400});  // slow rates that never answer: a long search
    dialog.Setup({port}, {port}, 9600, 1);
    dialog.show();
    ASSERT_TRUE(dialog.StartSearch());
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.Progress()->value() > 2; }, 30000));
    dialog.CancelButton()->click();
    EXPECT_EQ(dialog.StatusLabel()->text(), QStringLiteral("Stopping the search…"));
    EXPECT_FALSE(dialog.CancelButton()->isEnabled());
    // One try's time-out at most (about 80 ms at 9600 bit/s), with room for a loaded machine.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.Running(); }, 10000));
    EXPECT_FALSE(dialog.Scan().Sensor().IsOpen());
    EXPECT_TRUE(dialog.Hits().empty());
    EXPECT_EQ(dialog.StatusLabel()->text(), QStringLiteral("Stopped: 0 sensors found."));
    EXPECT_TRUE(dialog.SearchButton()->isEnabled()) << "a new search can start";
}

TEST_F(SensorSearchTest, ClosingTheDialogDuringASearchEndsItAndTicklessStartIsRefused) {
    auto* dialog = new SensorSearchDialog;
    dialog->Setup({port}, {}, 9600, 1);
    EXPECT_FALSE(dialog->StartSearch()) << "no port ticked";
    EXPECT_EQ(dialog->StatusLabel()->text(), QStringLiteral("Tick at least one port."));
    dialog->Setup({port}, {port}, 9600, 1);
    dialog->show();
    ASSERT_TRUE(dialog->StartSearch());
    dialog->reject();
    EXPECT_FALSE(dialog->Running()) << "closing waits for the try in progress";
    EXPECT_FALSE(dialog->Scan().Sensor().IsOpen());
    delete dialog;
}

// ---- The line trace window -------------------------------------------------------------

TEST(TraceDockTest, ShowsTheLinksLinesWhileShownAndPausesClearsAndSaves) {
    const link::LineTrace trace("sensor", nullptr);  // not selected by VESKA_TRACE
    const uint8_t request[] = {0x01, 0x81};
    TraceDock dock;
    trace.Request(request);
    EXPECT_FALSE(dock.Listening()) << "nothing is taken while the window is hidden";
    dock.show();
    ASSERT_TRUE(dock.Listening());
    trace.Request(request);
    trace.Reply(request);
    dock.Drain();
    QStringList lines = dock.Text()->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2) << dock.Text()->toPlainText().toStdString();
    EXPECT_TRUE(lines[0].endsWith(QStringLiteral(" sensor >> 01 81")));
    EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" sensor << 01 81")));

    dock.PauseButton()->click();
    EXPECT_TRUE(dock.Paused());
    trace.Request(request);
    trace.Request(request);
    dock.Drain();
    EXPECT_EQ(dock.Text()->toPlainText().split(QLatin1Char('\n')).size(), 2);
    EXPECT_EQ(dock.Note()->text(), QStringLiteral("Paused: 2 lines not shown"));
    dock.PauseButton()->click();
    EXPECT_FALSE(dock.Paused());
    trace.Note("counter mismatch");
    dock.Drain();
    lines = dock.Text()->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[2], QStringLiteral("-- 2 lines not shown"));
    EXPECT_TRUE(lines[3].endsWith(QStringLiteral(" sensor -- counter mismatch")));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.txt"));
    dock.askSaveFile = [path] { return path; };
    dock.SaveButton()->click();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(saved.readAll()), dock.Text()->toPlainText() + QLatin1Char('\n'));

    dock.ClearButton()->click();
    EXPECT_TRUE(dock.Text()->toPlainText().isEmpty());
    dock.hide();
    EXPECT_FALSE(dock.Listening());
    EXPECT_FALSE(trace.Enabled()) << "no cost once the window is closed";
}

TEST(TraceDockTest, LinesThatOverflowTheBacklogAreCountedNotKept) {
    main::TraceBacklog backlog;
    for (size_t i = 0; i < main::TraceBacklog::kMaxLines + 3; ++i) backlog.Add(std::to_string(i));
    std::deque<std::string> lines;
    EXPECT_EQ(backlog.Take(lines), 3u);
    ASSERT_EQ(lines.size(), main::TraceBacklog::kMaxLines);
    EXPECT_EQ(lines.front(), "3") << "the oldest go";
    EXPECT_EQ(backlog.Take(lines), 0u);
    EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace veska::ui
