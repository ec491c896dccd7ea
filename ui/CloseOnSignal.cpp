#include "ui/CloseOnSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <cerrno>
#include <csignal>

namespace veska::ui {

namespace {

// A signal handler reaches static storage only: the pipe it writes and the handlers it
// replaced, one set per process.
int gPipe[2] = {-1, -1};
struct sigaction gPreviousInt {};
struct sigaction gPreviousTerm {};

extern "C" void WriteSignalToPipe(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &number, 1);
    errno = saved;
}

/// How often the close looks for new modal windows while it waits [ms].
constexpr int kDismissIntervalMs = 50;

/// Closes a modal window as Escape would: a message box by its escape button, a dialog
/// rejected, any other window closed.
void Dismiss(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (QAbstractButton* escape = box->escapeButton()) {
            escape->click();
            return;
        }
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
        return;
    }
    modal->close();
}

/// Dismisses every open popup and modal window; true when one was open.
bool DismissModalWindows() {
    bool any = false;
    while (QWidget* popup = QApplication::activePopupWidget()) {
        popup->close();
        any = true;
    }
    if (QWidget* modal = QApplication::activeModalWidget()) {
        Dismiss(modal);
        any = true;
    }
    return any;
}

}  // namespace

CloseOnSignal::CloseOnSignal(QWidget& window, QObject* parent) : QObject(parent), window_(window) {
    if (gPipe[0] < 0 && ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        gPipe[0] = gPipe[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &CloseOnSignal::Received);
    dismissTimer_ = new QTimer(this);
    dismissTimer_->setInterval(kDismissIntervalMs);
    connect(dismissTimer_, &QTimer::timeout, this, [] { DismissModalWindows(); });

    struct sigaction action {};
    action.sa_handler = WriteSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // the event loop's calls go on; the pipe wakes it
    ::sigaction(SIGINT, &action, &gPreviousInt);
    ::sigaction(SIGTERM, &action, &gPreviousTerm);
}

CloseOnSignal::~CloseOnSignal() {
    if (notifier_ == nullptr) return;
    ::sigaction(SIGINT, &gPreviousInt, nullptr);
    ::sigaction(SIGTERM, &gPreviousTerm, nullptr);
    notifier_->setEnabled(false);
}

void CloseOnSignal::Received() {
    unsigned char number = 0;
    int first = 0;
    while (::read(gPipe[0], &number, 1) == 1) {
        if (first == 0) first = number;
    }
    if (first == 0 || signal_ != 0) return;  // a second signal while closing changes nothing
    signal_ = first;
    dismissTimer_->start();
    // The close runs from the event loop, after this notification has returned: a modal
    // window's own loop must end before the window under it can close.
    QTimer::singleShot(0, this, &CloseOnSignal::CloseStep);
}

void CloseOnSignal::CloseStep() {
    if (closed_) return;
    if (DismissModalWindows()) {
        QTimer::singleShot(0, this, &CloseOnSignal::CloseStep);
        return;
    }
    closed_ = true;
    window_.close();
    dismissTimer_->stop();
    if (onClosed) onClosed(signal_);
}

}  // namespace veska::ui
