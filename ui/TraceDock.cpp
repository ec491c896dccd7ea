#include "ui/TraceDock.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

namespace veska::ui {

TraceDock::TraceDock(QWidget* parent, const lang::PublishedTexts* texts)
    : QWidget(parent, Qt::Tool), texts_(texts) {
    setWindowTitle(Text(lang::ProgramText::LineTrace, "Line trace"));
    resize(640, 360);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setMaximumBlockCount(kShownLines);
    QFont mono(QStringLiteral("monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    text_->setFont(mono);
    pause_ = new QPushButton(Text(lang::ProgramText::TracePause, "Pause"), this);
    pause_->setCheckable(true);
    clear_ = new QPushButton(Text(lang::ProgramText::TraceClear, "Clear"), this);
    save_ = new QPushButton(Text(lang::ProgramText::TraceSave, "Save…"), this);
    note_ = new QLabel(this);
    note_->setTextFormat(Qt::PlainText);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pause_);
    buttons->addWidget(clear_);
    buttons->addWidget(save_);
    buttons->addWidget(note_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);

    drain_ = new QTimer(this);
    drain_->setInterval(kDrainMs);
    connect(drain_, &QTimer::timeout, this, &TraceDock::Drain);
    connect(pause_, &QPushButton::toggled, this, &TraceDock::SetPaused);
    connect(clear_, &QPushButton::clicked, this, &TraceDock::Clear);
    connect(save_, &QPushButton::clicked, this, &TraceDock::SaveClicked);
    askSaveFile = [this] {
        return QFileDialog::getSaveFileName(
            this, Text(lang::ProgramText::TraceSaveTitle, "Save the line trace"),
            QStringLiteral("trace.txt"),
            Text(lang::ProgramText::TraceFileTypes, "Text files (*.txt);;All files (*)"));
    };
}

TraceDock::~TraceDock() { Listen(false); }

QString TraceDock::Text(lang::ProgramText key, const char* english) const {
    return QString::fromStdString(texts_ != nullptr ? texts_->Text(key, english) : english);
}

void TraceDock::Listen(bool on) {
    if (on == Listening()) return;
    feed_.Listen(on);
    if (on) {
        drain_->start();
    } else {
        drain_->stop();
        Drain();
    }
}

void TraceDock::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Listen(true);
}

void TraceDock::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    Listen(false);
}

void TraceDock::Drain() {
    std::deque<std::string> lines;
    const size_t dropped = feed_.Take(lines);
    if (paused_) {
        skipped_ += dropped + lines.size();
        if (skipped_ > 0)
            note_->setText(Text(lang::ProgramText::TracePausedSkipped, "Paused: %1 lines not shown")
                               .arg(skipped_));
        return;
    }
    skipped_ += dropped;
    if (skipped_ > 0) {
        text_->appendPlainText(QStringLiteral("-- %1 lines not shown").arg(skipped_));
        skipped_ = 0;
    }
    if (lines.empty()) return;
    QString block;
    for (const std::string& line : lines) {
        if (!block.isEmpty()) block += QLatin1Char('\n');
        block += QString::fromStdString(line);
    }
    text_->appendPlainText(block);
}

void TraceDock::SetPaused(bool paused) {
    if (paused == paused_) return;
    Drain();  // what came before the pause is shown
    paused_ = paused;
    if (pause_->isChecked() != paused) pause_->setChecked(paused);
    pause_->setText(paused ? Text(lang::ProgramText::TraceResume, "Resume")
                           : Text(lang::ProgramText::TracePause, "Pause"));
    note_->setText(paused ? Text(lang::ProgramText::TracePaused, "Paused") : QString());
    if (!paused) Drain();
}

void TraceDock::Clear() {
    std::deque<std::string> discarded;
    (void)feed_.Take(discarded);
    text_->clear();
    skipped_ = 0;
    if (!paused_) note_->clear();
}

bool TraceDock::SaveTo(const std::string& path, std::string& reason) const {
    QByteArray bytes = text_->toPlainText().toUtf8();
    if (!bytes.isEmpty()) bytes += '\n';
    // Written whole or not at all: an existing file stays as it was on failure.
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        reason = file.errorString().toStdString();
        return false;
    }
    return true;
}

void TraceDock::SaveClicked() {
    const QString path = askSaveFile ? askSaveFile() : QString();
    if (path.isEmpty()) return;
    std::string reason;
    if (SaveTo(path.toStdString(), reason)) {
        note_->setText(Text(lang::ProgramText::TraceSaved, "Saved to %1").arg(path));
    } else {
        note_->setText(Text(lang::ProgramText::TraceNotSaved, "Not saved: %1")
                           .arg(QString::fromStdString(reason)));
    }
}

}  // namespace veska::ui
