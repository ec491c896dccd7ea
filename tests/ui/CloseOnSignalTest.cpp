// SIGINT and SIGTERM close the window through its own close path, also while a modal window
// runs its event loop over it.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCloseEvent>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "ui/CloseOnSignal.h"

namespace veska::ui {
namespace {

/// A window that counts its close events, as the main window runs its close sequence there.
class CountingWindow final : public QWidget {
  public:
    int closeEvents = 0;

  protected:
    void closeEvent(QCloseEvent* event) override {
        ++closeEvents;
        event->accept();
    }
};

TEST(CloseOnSignal, EachSignalClosesTheWindowOnceThroughItsCloseEvent) {
    for (const int sig : {SIGTERM, SIGINT}) {
        CountingWindow window;
        window.show();
        CloseOnSignal closer(window);
        ASSERT_TRUE(closer.Active());
        int closedBy = 0;
        closer.onClosed = [&closedBy](int signal) { closedBy = signal; };
        ASSERT_EQ(::kill(::getpid(), sig), 0);
        ASSERT_TRUE(QTest::qWaitFor([&closedBy] { return closedBy != 0; }, 10000)) << sig;
        EXPECT_EQ(closedBy, sig);
        EXPECT_EQ(closer.Signal(), sig);
        EXPECT_FALSE(window.isVisible());
        ASSERT_EQ(::kill(::getpid(), sig), 0);  // a second one while closed changes nothing
        QTest::qWait(50);
        EXPECT_EQ(window.closeEvents, 1);
        EXPECT_EQ(closer.Signal(), sig);
    }
}

TEST(CloseOnSignal, AnOpenMessageBoxIsAnsweredWithCancelFirst) {
    CountingWindow window;
    window.show();
    CloseOnSignal closer(window);
    int closedBy = 0;
    closer.onClosed = [&closedBy](int signal) { closedBy = signal; };

    QMessageBox box(QMessageBox::Warning, QStringLiteral("VESKA"), QStringLiteral("Write?"),
                    QMessageBox::Ok | QMessageBox::Cancel, &window);
    box.setEscapeButton(QMessageBox::Cancel);
    QTimer::singleShot(0, [] { ::kill(::getpid(), SIGINT); });
    EXPECT_EQ(box.exec(), QMessageBox::Cancel) << "the box's own loop ended first";
    ASSERT_TRUE(QTest::qWaitFor([&closedBy] { return closedBy != 0; }, 10000));
    EXPECT_EQ(window.closeEvents, 1);
}

TEST(CloseOnSignal, WithoutASignalNothingCloses) {
    CountingWindow window;
    window.show();
    {
        CloseOnSignal closer(window);
        QTest::qWait(50);
        EXPECT_EQ(closer.Signal(), 0);
    }
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.closeEvents, 0);
    // The handlers in place before are back.
    for (const int sig : {SIGINT, SIGTERM}) {
        struct sigaction now {};
        ASSERT_EQ(::sigaction(sig, nullptr, &now), 0);
        EXPECT_EQ(now.sa_handler, SIG_DFL) << sig;
    }
}

}  // namespace
}  // namespace veska::ui
