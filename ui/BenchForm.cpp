#include "ui/BenchForm.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include "bench/ModeTable.h"

namespace veska::ui {

namespace {

constexpr int kLaserMaximum = 16383;

QLabel* MakeReadout(const QString& text, const QColor& colour) {
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = label->font();
    font.setPixelSize(24);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Active, QPalette::WindowText, colour);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, colour);
    label->setPalette(palette);
    // Wide enough for every digit of a read-out (8 significant digits, 4 decimals, sign and
    // unit): a right-aligned label would otherwise drop the leading digits.
    label->setMinimumWidth(
        label->fontMetrics().horizontalAdvance(QStringLiteral("-99999999.0000 mm")) +
        2 * label->margin() + 4);
    label->setEnabled(false);
    return label;
}

QComboBox* MakePortCombo(int selected) {
    auto* combo = new QComboBox;
    for (int n = 1; n <= 32; ++n) combo->addItem(QStringLiteral("COM%1").arg(n));
    combo->addItem(QStringLiteral("USB"));
    combo->setCurrentIndex(selected);
    return combo;
}

}  // namespace

TFormDebug::TFormDebug(int32_t& modeCode, QWidget* parent)
    : QWidget(parent, Qt::Window), modeCode_(modeCode) {
    setWindowTitle(QStringLiteral("QSDEBUG"));

    labelVoktU_ = MakeReadout(QStringLiteral("0.0000 V"), QColor(0x00, 0x00, 0x80));
    labelVoktI_ = MakeReadout(QStringLiteral("0.000 mA"), QColor(0x00, 0x00, 0xFF));
    labelEncoder_ = MakeReadout(QStringLiteral("0.0000 mm"), QColor(0xFF, 0x00, 0x00));
    labeldMorlaEncoder_ = MakeReadout(QStringLiteral("0.0000 mm"), QColor(0x00, 0x80, 0x00));

    labelComMotor_ = new QLabel(QStringLiteral("COM Motor:"));
    labelComMotor_->setTextFormat(Qt::PlainText);
    comboMotor_ = MakePortCombo(1);  // COM2
    labelComEncoder_ = new QLabel(QStringLiteral("COM Encoder:"));
    labelComEncoder_->setTextFormat(Qt::PlainText);
    comboEncoder_ = MakePortCombo(6);  // COM7

    radioGroupMode_ = new QGroupBox(QStringLiteral("Mode"));
    modeButtons_ = new QButtonGroup(this);
    auto* modeGrid = new QGridLayout(radioGroupMode_);
    modeGrid->setVerticalSpacing(2);
    const auto modes = bench::ModeList();
    const int rows = (static_cast<int>(modes.size()) + 1) / 2;
    for (int i = 0; i < static_cast<int>(modes.size()); ++i) {
        const std::string_view caption = modes[static_cast<size_t>(i)].caption;
        auto* button = new QRadioButton(
            QString::fromLatin1(caption.data(), static_cast<qsizetype>(caption.size())));
        modeButtons_->addButton(button, i);
        modeGrid->addWidget(button, i % rows, i / rows);
    }
    modeButtons_->button(0)->setChecked(true);
    connect(modeButtons_, &QButtonGroup::idClicked, this, &TFormDebug::RadioGroupModeClick);

    progress_ = new QProgressBar;
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    labelLaser_ = new QLabel(QStringLiteral("0"));
    labelLaser_->setTextFormat(Qt::PlainText);
    labelLaser_->setAlignment(Qt::AlignCenter);
    QFont bold = labelLaser_->font();
    bold.setBold(true);
    labelLaser_->setFont(bold);
    QPalette red = labelLaser_->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    labelLaser_->setPalette(red);
    labelLaser_->setMinimumWidth(48);

    trackBarLaser_ = new QSlider(Qt::Vertical);
    trackBarLaser_->setRange(0, kLaserMaximum);
    trackBarLaser_->setPageStep(1);
    trackBarLaser_->setInvertedAppearance(true);  // minimum at the top
    trackBarLaser_->setValue(kLaserMaximum);
    connect(trackBarLaser_, &QSlider::valueChanged, this, &TFormDebug::TrackBarLaserChange);

    auto* readouts = new QVBoxLayout;
    for (QLabel* l : {labelVoktU_, labelVoktI_, labelEncoder_, labeldMorlaEncoder_}) {
        readouts->addWidget(l);
    }
    auto* ports = new QGridLayout;
    ports->addWidget(labelComMotor_, 0, 0);
    ports->addWidget(comboMotor_, 0, 1);
    ports->addWidget(labelComEncoder_, 1, 0);
    ports->addWidget(comboEncoder_, 1, 1);
    readouts->addLayout(ports);
    readouts->addStretch();

    auto* laser = new QVBoxLayout;
    laser->addWidget(labelLaser_);
    laser->addWidget(trackBarLaser_, 1, Qt::AlignHCenter);

    auto* top = new QHBoxLayout;
    top->addLayout(readouts);
    top->addWidget(radioGroupMode_, 1);
    top->addLayout(laser);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(progress_);
}

void TFormDebug::RadioGroupModeClick(int index) {
    const int32_t code = bench::ModeCodeOfItem(index);
    if (code < 0) return;
    if (onModeCode) {
        onModeCode(code);
    } else {
        modeCode_ = code;
    }
}

void TFormDebug::TrackBarLaserChange(int position) {
    labelLaser_->setText(QString::number(kLaserMaximum - position));
}

void TFormDebug::SelectModeItem(int index) {
    if (QAbstractButton* button = modeButtons_->button(index)) button->setChecked(true);
}

int TFormDebug::SelectedModeItem() const { return modeButtons_->checkedId(); }

QRadioButton* TFormDebug::ModeButton(int index) const {
    return static_cast<QRadioButton*>(modeButtons_->button(index));
}

}  // namespace veska::ui
