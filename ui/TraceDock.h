#pragma once
#include <QWidget>
#include <functional>
#include <string>

#include "lang/PublishedTexts.h"
#include "main/TraceFeed.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace veska::ui {

/// The line trace in a tool window beside the main window: the same lines as VESKA_TRACE
/// (every request and reply of the links in hex, with a time stamp), taken from the process's
/// trace hub while the window is shown. It can be paused (lines that come meanwhile are
/// counted, not shown), cleared and saved to a text file.
class TraceDock final : public QWidget {
  public:
    /// How often waiting lines are shown [ms].
    static constexpr int kDrainMs = 100;
    /// Lines the view keeps; older ones scroll away.
    static constexpr int kShownLines = 5000;

    /// texts: the language applied (outlives the window); null: the built-in English texts.
    explicit TraceDock(QWidget* parent = nullptr, const lang::PublishedTexts* texts = nullptr);
    ~TraceDock() override;

    /// Shows the lines that came since the last call (the window's timer calls it).
    void Drain();
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    void Clear();
    /// Writes the shown lines to path (replacing it); false with reason when it fails.
    bool SaveTo(const std::string& path, std::string& reason) const;
    /// Asks the file name of "Save…"; empty when cancelled. A save dialog by default.
    std::function<QString()> askSaveFile;
    /// The hub is being listened to (the window is shown).
    bool Listening() const { return feed_.Listening(); }

    QPlainTextEdit* Text() const { return text_; }
    QPushButton* PauseButton() const { return pause_; }
    QPushButton* ClearButton() const { return clear_; }
    QPushButton* SaveButton() const { return save_; }
    QLabel* Note() const { return note_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    /// The text of key in the language applied, else english.
    QString Text(lang::ProgramText key, const char* english) const;

    const lang::PublishedTexts* texts_ = nullptr;
    void Listen(bool on);
    void SaveClicked();

    QPlainTextEdit* text_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* note_ = nullptr;
    QTimer* drain_ = nullptr;
    main::TraceFeed feed_;
    bool paused_ = false;
    size_t skipped_ = 0;  ///< lines not shown (paused or dropped) since the last note
};

}  // namespace veska::ui
