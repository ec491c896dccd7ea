#include "ui/RangeDialog.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace veska::ui {

namespace {

// Windows colour values are 0x00BBGGRR; these are the RGB equivalents.
const QColor kGray(0x80, 0x80, 0x80);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);

int ButtonCode(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return range::kDragLeft;
        case Qt::RightButton:
            return range::kDragRight;
        default:
            return range::kDragNone;
    }
}

QLabel* MakeValueLabel(QWidget* parent, int x, const QColor& colour) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setPixelSize(16);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setGeometry(x, 7, 100, 20);
    return label;
}

}  // namespace

void PaintRangeScale(QImage& image, int begin, int end, int scale, const QFont& font) {
    const int w = image.width();
    const int h = image.height();
    if (w <= range::kScaleShrink || h <= range::kTextGap || scale <= 0) {
        image.fill(Qt::black);
        return;
    }
    QPainter p(&image);
    p.setFont(font);

    // 1. Black ground over the whole bitmap.
    p.setPen(Qt::black);
    p.setBrush(Qt::black);
    p.drawRect(0, 0, w - 1, h - 1);

    // 2.-4. Dotted gray grid, white values centred under the lines, base line.
    QPen dotted(kGray, 1, Qt::DotLine);
    dotted.setCosmetic(true);
    const QFontMetrics metrics(font);
    for (int i = 0; i <= 10; ++i) {
        const int x = range::TickX(w, scale, i);
        p.setPen(dotted);
        p.drawLine(x, 0, x, h - range::kTextGap);
        const QString text = QString::number(range::TickValue(scale, i));
        const int left = range::TickTextLeft(w, i, metrics.horizontalAdvance(text));
        p.setPen(Qt::white);
        p.drawText(
            QRect(left, h - range::kTextTop, metrics.horizontalAdvance(text) + 2, metrics.height()),
            Qt::AlignLeft | Qt::AlignTop, text);
    }
    p.setPen(dotted);
    p.drawLine(range::kMargin, h - range::kTextGap, w - 11, h - range::kTextGap);

    // 5. The window: green cross-hatched rectangle with a dotted green outline.
    const int xBegin = range::XOf(w, begin, scale);
    const int xEnd = range::XOf(w, end, scale);
    QPen window(kGreen, 1, Qt::DotLine);
    p.setPen(window);
    p.setBrush(QBrush(kGreen, Qt::DiagCrossPattern));
    p.drawRect(QRect(QPoint(std::min(xBegin, xEnd), 0),
                     QPoint(std::max(xBegin, xEnd), h - range::kTextGap)));

    // 6. The limits, 3 px wide; a wide pen is drawn solid.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(xBegin, 0, xBegin, h - range::kTextGap);
    p.setPen(QPen(kBlue, 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(xEnd, 0, xEnd, h - range::kTextGap);
}

TFormRange::TFormRange(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Output Range Settings."));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);
    setMouseTracking(true);

    panel_ = new QFrame(this);
    panel_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel_->setGeometry(0, PanelTop(), kClientWidth, kPanelHeight);
    label9_ = new QLabel(QStringLiteral("Measuring range for analog output:"), panel_);
    label9_->setTextFormat(Qt::PlainText);
    label9_->setGeometry(8, 8, 255, 18);
    labelBgn_ = MakeValueLabel(panel_, 267, kRed);
    labelRang_ = MakeValueLabel(panel_, 427, kGreen);
    labelEnd_ = MakeValueLabel(panel_, 571, kBlue);
    for (QObject* o : {static_cast<QObject*>(panel_), static_cast<QObject*>(label9_),
                       static_cast<QObject*>(labelBgn_), static_cast<QObject*>(labelRang_),
                       static_cast<QObject*>(labelEnd_)}) {
        o->installEventFilter(this);
    }
}

void TFormRange::SetTexts(const QString& title, const QString& heading) {
    if (!title.isEmpty()) setWindowTitle(title);
    if (!heading.isEmpty()) label9_->setText(heading);
}

void TFormRange::SetRange(int beginPercent, int endPercent) {
    state_.begin = beginPercent;
    state_.end = endPercent;
}

std::pair<int, int> TFormRange::ShowRange(int beginPercent, int endPercent) {
    SetRange(beginPercent, endPercent);
    exec();
    return {state_.begin, state_.end};
}

void TFormRange::DrawRange(int begin, int end, int scale) {
    if (!bitmap_.isNull()) {
        PaintRangeScale(bitmap_, begin, end, scale, font());
        update(0, 0, bitmap_.width(), bitmap_.height());
    }
    labelBgn_->setText(QString::fromStdString(range::PercentText(begin)));
    labelEnd_->setText(QString::fromStdString(range::PercentText(end)));
    labelRang_->setText(QString::fromStdString(range::PercentText(end - begin)));
}

void TFormRange::showEvent(QShowEvent* event) {
    bitmap_ = QImage(width(), height() - kPanelHeight, QImage::Format_RGB32);
    state_.drag = range::kDragNone;
    DrawRange(state_.begin, state_.end, state_.scale);
    QDialog::showEvent(event);
}

void TFormRange::hideEvent(QHideEvent* event) {
    bitmap_ = QImage();
    state_.drag = range::kDragNone;
    QDialog::hideEvent(event);
}

void TFormRange::paintEvent(QPaintEvent*) {
    if (bitmap_.isNull()) return;
    QPainter p(this);
    p.drawImage(0, 0, bitmap_);
}

void TFormRange::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (pos.y() >= PanelTop()) return;  // the panel's own area
    if (state_.Press(kClientWidth, ButtonCode(event->button()), pos.x())) {
        DrawRange(state_.begin, state_.end, state_.scale);
    }
    event->accept();
}

void TFormRange::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (state_.Move(kClientWidth, pos.x(), pos.y(), PanelTop())) {
        DrawRange(state_.begin, state_.end, state_.scale);
    }
    event->accept();
}

void TFormRange::mouseReleaseEvent(QMouseEvent* event) {
    state_.Release();
    event->accept();
}

bool TFormRange::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            return true;  // a press on the panel sets nothing
        case QEvent::MouseButtonRelease:
            state_.Release();
            return true;
        default:
            return QDialog::eventFilter(watched, event);
    }
}

}  // namespace veska::ui
