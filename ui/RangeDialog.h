#pragma once
#include <QDialog>
#include <QImage>
#include <utility>

#include "ui/RangeGeometry.h"

class QFrame;
class QLabel;

namespace veska::ui {

/// TFormRange: the analog window dialog. The operator sets the begin (left button, red line)
/// and the end (right button, blue line) of the analog output's window by clicking and
/// dragging on a scale of 0..100 %. Knows nothing of the sensor: percentages in, out.
class TFormRange final : public QDialog {
  public:
    static constexpr int kClientWidth = 689;   ///< [px]
    static constexpr int kClientHeight = 117;  ///< [px]
    static constexpr int kPanelHeight = 33;    ///< PanelRange [px]

    explicit TFormRange(QWidget* owner);

    /// Sets both limits, shows the dialog modally and returns (begin, end) when it closes,
    /// whatever the way [%].
    std::pair<int, int> ShowRange(int beginPercent, int endPercent);

    int RangeBegin() const { return state_.begin; }
    int RangeEnd() const { return state_.end; }
    void SetRange(int beginPercent, int endPercent);
    /// The dialog's title and heading in the language applied; an empty text keeps the
    /// present one.
    void SetTexts(const QString& title, const QString& heading);
    int DragButton() const { return state_.drag; }

    /// The off-screen drawing (null while the dialog is hidden).
    const QImage& RangeBitmap() const { return bitmap_; }
    QLabel* LabelBgn() const { return labelBgn_; }
    QLabel* LabelRang() const { return labelRang_; }
    QLabel* LabelEnd() const { return labelEnd_; }
    QFrame* PanelRange() const { return panel_; }

    /// Draws the scale with the given limits into bitmap and sets the three labels.
    void DrawRange(int begin, int end, int scale);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int PanelTop() const { return kClientHeight - kPanelHeight; }

    range::RangeState state_;
    QImage bitmap_;  ///< rangeBitmap: made at each show, freed at each close
    QFrame* panel_ = nullptr;
    QLabel* label9_ = nullptr;
    QLabel* labelBgn_ = nullptr;
    QLabel* labelRang_ = nullptr;
    QLabel* labelEnd_ = nullptr;
};

/// Paints the scale of begin..end (percent of scale) into image, which must be allocated.
/// Colours: black ground, dotted gray grid with white values, green cross-hatched window,
/// red begin line and blue end line, 3 px wide.
void PaintRangeScale(QImage& image, int begin, int end, int scale, const QFont& font);

}  // namespace veska::ui
