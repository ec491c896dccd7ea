#include "ui/AboutBox.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include "lang/Language.h"

namespace veska::ui {

namespace {

constexpr int kTitlePixels = 20;  // Label1's font size when the text fits [px]

QString Text(const lang::TextTable& texts, int key) {
    return QString::fromStdString(texts.Get(lang::Section::About, key));
}

void SetColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    if (palette.color(QPalette::WindowText) == colour) return;
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const QRect& geometry, Qt::Alignment alignment) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

QPixmap DrawSensorPicture(const QSize& size) {
    QPixmap pixmap(size);
    const qreal w = size.width();
    const qreal h = size.height();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(0x1c, 0x2a, 0x3a));
    sky.setColorAt(1, QColor(0x40, 0x55, 0x6b));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // Target surface at the bottom, with the measuring range marked on it.
    const QRectF target(0, h * 0.80, w, h * 0.20);
    QLinearGradient metal(0, target.top(), 0, target.bottom());
    metal.setColorAt(0, QColor(0xb8, 0xbe, 0xc4));
    metal.setColorAt(1, QColor(0x6e, 0x76, 0x7e));
    p.fillRect(target, metal);
    p.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    for (int i = 0; i <= 10; ++i) {
        const qreal x = w * 0.1 + w * 0.08 * i;
        p.drawLine(QPointF(x, target.top()), QPointF(x, target.top() + (i % 5 ? 5 : 10)));
    }

    // Sensor housing: a rounded block with a window and a cable gland.
    const QRectF body(w * 0.22, h * 0.10, w * 0.56, h * 0.34);
    QLinearGradient shell(body.topLeft(), body.bottomRight());
    shell.setColorAt(0, QColor(0xf0, 0xb4, 0x2c));
    shell.setColorAt(1, QColor(0xb0, 0x74, 0x0c));
    p.setPen(QPen(QColor(0x40, 0x28, 0x00), 2));
    p.setBrush(shell);
    p.drawRoundedRect(body, 8, 8);
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawRoundedRect(QRectF(body.left() - w * 0.08, body.center().y() - 7, w * 0.08, 14), 3, 3);
    const QRectF window(body.center().x() - w * 0.12, body.bottom() - 16, w * 0.24, 12);
    p.setBrush(QColor(0x10, 0x18, 0x30));
    p.drawRect(window);
    p.setPen(QColor(0x30, 0x20, 0x00));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(qMax(10, int(h * 0.09)));
    p.setFont(font);
    p.drawText(body.adjusted(0, 4, 0, -20), Qt::AlignHCenter | Qt::AlignTop,
               QStringLiteral("VESKA"));

    // Laser: a red beam from the window down to a bright spot on the target.
    const QPointF source(window.left() + window.width() * 0.35, window.bottom());
    const QPointF spot(w * 0.46, target.top() + 2);
    QLinearGradient beam(source, spot);
    beam.setColorAt(0, QColor(255, 40, 30, 230));
    beam.setColorAt(1, QColor(255, 0, 0, 140));
    p.setPen(QPen(QBrush(beam), 3));
    p.drawLine(source, spot);
    QRadialGradient glow(spot, 18);
    glow.setColorAt(0, QColor(255, 230, 220, 255));
    glow.setColorAt(0.3, QColor(255, 40, 30, 200));
    glow.setColorAt(1, QColor(255, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(spot, 18, 8);

    // Reflected light back to the receiving optics.
    const QPointF receiver(window.right() - window.width() * 0.2, window.bottom());
    QPen reflected(QColor(255, 80, 60, 150), 1.5, Qt::DashLine);
    p.setPen(reflected);
    p.drawLine(spot, receiver);
    return pixmap;
}

TFormAbout::TFormAbout(const lang::TextTable& texts, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), texts_(texts) {
    setFixedSize(kWidth, kHeight);
    setModal(true);

    panel1_ = new QFrame(this);
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel1_->setGeometry(0, 0, kWidth, kHeight);

    label1_ = MakeLabel(panel1_, QRect(4, 6, kWidth - 8, 26), Qt::AlignCenter);
    QFont big = label1_->font();
    big.setPixelSize(kTitlePixels);
    big.setBold(true);
    big.setItalic(true);
    label1_->setFont(big);
    SetColour(label1_, Qt::red);

    label3_ = MakeLabel(panel1_, QRect(4, 34, kWidth - 8, 18), Qt::AlignCenter);

    image1_ = new QLabel(panel1_);
    image1_->setTextFormat(Qt::PlainText);
    image1_->setGeometry((kWidth - 305) / 2, 54, 305, 241);
    image1_->setPixmap(DrawSensorPicture(QSize(305, 241)));

    labelPatch_ = MakeLabel(panel1_, QRect(0, 298, 10, 16), Qt::AlignLeft | Qt::AlignVCenter);
    labelPatch_->setText(QString::fromLatin1(kWebAddress));
    QFont link = labelPatch_->font();
    link.setItalic(true);
    labelPatch_->setFont(link);
    labelPatch_->adjustSize();
    labelPatch_->move((kWidth - labelPatch_->width()) / 2, 298);
    SetColour(labelPatch_, Qt::black);
    labelPatch_->setCursor(Qt::PointingHandCursor);
    labelPatch_->installEventFilter(this);

    okButton_ = new QPushButton(QStringLiteral("OK"), panel1_);
    okButton_->setGeometry((kWidth - 75) / 2, 314, 75, 24);
    okButton_->setDefault(true);
    okButton_->setAutoDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);

    label4_ = MakeLabel(panel1_, QRect(4, kHeight + 8, kWidth - 8, 16), Qt::AlignCenter);

    timerAbout_ = new QTimer(this);
    timerAbout_->setInterval(10);
    connect(timerAbout_, &QTimer::timeout, this, &TFormAbout::TimerAboutTimer);
}

void TFormAbout::HoverAt(const QPoint& globalPos) {
    const QPoint client = mapFromGlobal(globalPos);
    const QRect linkRect(labelPatch_->x() + panel1_->x(), labelPatch_->y() + panel1_->y(),
                         labelPatch_->width(), labelPatch_->height());
    if (linkRect.contains(client)) {
        SetColour(labelPatch_, Qt::blue);
    } else {
        QFont plain = labelPatch_->font();
        if (plain.italic() || plain.bold() || plain.underline() || plain.strikeOut()) {
            plain.setItalic(false);
            plain.setBold(false);
            plain.setUnderline(false);
            plain.setStrikeOut(false);
            labelPatch_->setFont(plain);
        }
        SetColour(labelPatch_, Qt::black);
    }
}

void TFormAbout::TimerAboutTimer() { HoverAt(QCursor::pos()); }

void TFormAbout::LabelPatchClick() { QDesktopServices::openUrl(QUrl(labelPatch_->text())); }

void TFormAbout::showEvent(QShowEvent* event) {
    setWindowTitle(Text(texts_, 0));
    label1_->setText(Text(texts_, 1));
    // Large, but never wider than the box: the font steps down until the line fits.
    QFont big = label1_->font();
    for (int px = kTitlePixels; px > 10; --px) {
        big.setPixelSize(px);
        if (QFontMetrics(big).horizontalAdvance(label1_->text()) <= label1_->width()) break;
    }
    label1_->setFont(big);
    label3_->setText(Text(texts_, 3));
    label4_->setText(Text(texts_, 4));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
    okButton_->setFocus();
    timerAbout_->start();
    QDialog::showEvent(event);
}

void TFormAbout::hideEvent(QHideEvent* event) {
    timerAbout_->stop();
    QDialog::hideEvent(event);
}

bool TFormAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == labelPatch_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        LabelPatchClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace veska::ui
