#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;
class QTimer;
class QWidget;

namespace veska::ui {

/// Turns SIGINT and SIGTERM into a normal close of the main window, so that the session
/// ending under the program (a terminal's Ctrl-C, a logout, `kill`) runs the same close
/// sequence as the window's close button: the stream stopped, the parameters restored, the
/// ports closed.
///
/// The signal handler only writes the signal's number into a pipe; a socket notifier on the
/// interface thread reads it. Modal windows open at that moment (a message box, a file
/// dialog, the about box) are dismissed as with Escape first, since each runs its own event
/// loop under the window; from then on every modal window that opens is dismissed too, until
/// the window has closed. One instance per process; it restores the previous handlers when
/// it goes.
class CloseOnSignal final : public QObject {
  public:
    /// Catches SIGINT and SIGTERM from now on; window must outlive this object.
    explicit CloseOnSignal(QWidget& window, QObject* parent = nullptr);
    ~CloseOnSignal() override;
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

    /// The signal that closed the window; 0 while none came.
    int Signal() const { return signal_; }
    /// Whether the handlers are in place (the pipe could be made).
    bool Active() const { return notifier_ != nullptr; }

    /// Called once the window has closed, with the signal's number (the program quits with
    /// 128 + the number, as a shell reports a program ended by that signal).
    std::function<void(int)> onClosed;

  private:
    void Received();
    /// Dismisses the modal windows and popups, then closes the window once none is left.
    void CloseStep();

    QWidget& window_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* dismissTimer_ = nullptr;  ///< keeps dismissing modal windows while closing
    int signal_ = 0;
    bool closed_ = false;
};

}  // namespace veska::ui
