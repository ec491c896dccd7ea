#pragma once
#include <QDialog>
#include <QPixmap>

class QFrame;
class QLabel;
class QPushButton;
class QTimer;

namespace veska::lang {
class TextTable;
}

namespace veska::ui {

/// TFormAbout: the start window. Product family and purpose from the ABOUT texts, a
/// picture, the web link (blue under the cursor, opened by a click) and the OK button.
/// No close button in the title bar: OK (or Enter) is the only way out.
class TFormAbout final : public QDialog {
  public:
    static constexpr int kWidth = 320;   ///< [px]
    static constexpr int kHeight = 341;  ///< [px]
    static constexpr const char* kWebAddress = "https://www.veska-sensors.example";

    /// texts must outlive the box; they are read at each show.
    TFormAbout(const lang::TextTable& texts, QWidget* parent = nullptr);

    /// One hover step: the link turns blue when the cursor (global position) is on it,
    /// plain black (no style) otherwise.
    void HoverAt(const QPoint& globalPos);
    /// TimerAboutTimer: HoverAt the current cursor position.
    void TimerAboutTimer();
    /// LabelPatchClick: opens the link's caption with the desktop's handler.
    void LabelPatchClick();

    QLabel* Label1() const { return label1_; }
    QLabel* Label3() const { return label3_; }
    QLabel* Label4() const { return label4_; }
    QLabel* LabelPatch() const { return labelPatch_; }
    QLabel* Image1() const { return image1_; }
    QPushButton* OKButton() const { return okButton_; }
    QTimer* TimerAbout() const { return timerAbout_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const lang::TextTable& texts_;
    QFrame* panel1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* image1_ = nullptr;
    QLabel* labelPatch_ = nullptr;
    QLabel* label4_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QTimer* timerAbout_ = nullptr;
};

/// The picture of the box: a sensor housing casting its laser line on a target, drawn in
/// code at the given size.
QPixmap DrawSensorPicture(const QSize& size);

}  // namespace veska::ui
