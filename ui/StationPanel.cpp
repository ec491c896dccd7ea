#include "ui/StationPanel.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "results/OpenStore.h"

namespace veska::ui {

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

const QString kOperatorKey = QStringLiteral("station/operator");
const QString kSequenceKey = QStringLiteral("station/sequence");
const QString kFolderKey = QStringLiteral("station/folder");

QString DefaultFolder() {
    const std::string data = results::DataFolder();
    return data.empty() ? QDir::home().filePath(QStringLiteral("veskacfg-runs"))
                        : Q(data) + QStringLiteral("/runs");
}

/// The verdict's colours: green for a pass, red for a fail, amber for the rest.
QString VerdictStyle(const std::string& verdict) {
    const char* colour = verdict == "PASSED"   ? "#1b7f2a"
                         : verdict == "FAILED" ? "#c0261d"
                                               : "#b36b00";
    return QStringLiteral("QLabel { font-size: 32pt; font-weight: bold; color: %1; }")
        .arg(QLatin1String(colour));
}

}  // namespace

StationPanel::StationPanel(QSettings& settings, const QStringList& sequenceFolders, QWidget* parent)
    : QWidget(parent, Qt::Window), settings_(settings) {
    setWindowTitle(tr("Station"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    operator_ = new QLineEdit(settings_.value(kOperatorKey).toString(), this);
    form->addRow(tr("Operator:"), operator_);

    sequence_ = new QComboBox(this);
    sequence_->setEditable(true);
    sequence_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QStringList offered;
    for (const QString& folder : sequenceFolders) {
        const QDir dir(folder);
        for (const QFileInfo& file :
             dir.entryInfoList({QStringLiteral("*.toml")}, QDir::Files, QDir::Name)) {
            const QString path = file.canonicalFilePath();
            if (offered.contains(path)) continue;
            offered << path;
            sequence_->addItem(file.completeBaseName(), path);
        }
    }
    const QString last = settings_.value(kSequenceKey).toString();
    if (!last.isEmpty()) {
        const int index = sequence_->findData(last);
        if (index >= 0) {
            sequence_->setCurrentIndex(index);
        } else {
            sequence_->setEditText(last);
        }
    }
    auto* browse = new QPushButton(tr("…"), this);
    browse->setToolTip(tr("Choose a sequence file"));
    auto* sequenceRow = new QHBoxLayout;
    sequenceRow->addWidget(sequence_, 1);
    sequenceRow->addWidget(browse);
    form->addRow(tr("Sequence:"), sequenceRow);

    folder_ = new QLineEdit(settings_.value(kFolderKey, DefaultFolder()).toString(), this);
    form->addRow(tr("Files into:"), folder_);
    layout->addLayout(form);

    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(tr("Start"), this);
    stop_ = new QPushButton(tr("Stop"), this);
    certificate_ = new QPushButton(tr("Certificate…"), this);
    stop_->setEnabled(false);
    certificate_->setEnabled(false);
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(certificate_);
    layout->addLayout(buttons);

    steps_ = new QTableWidget(0, 5, this);
    steps_->setHorizontalHeaderLabels(
        {tr("Step"), tr("Mode"), tr("Outcome"), tr("Measurements"), tr("Reason")});
    steps_->horizontalHeader()->setStretchLastSection(true);
    steps_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    steps_->setSelectionMode(QAbstractItemView::NoSelection);
    steps_->verticalHeader()->setVisible(false);
    layout->addWidget(steps_, 1);

    verdict_ = new QLabel(this);
    verdict_->setAlignment(Qt::AlignCenter);
    reason_ = new QLabel(this);
    reason_->setWordWrap(true);
    reason_->setAlignment(Qt::AlignCenter);
    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    waiting_ = new QLabel(this);
    layout->addWidget(verdict_);
    layout->addWidget(reason_);
    layout->addWidget(message_);
    layout->addWidget(waiting_);
    resize(760, 460);

    connect(browse, &QPushButton::clicked, this, [this] { Browse(); });
    connect(start_, &QPushButton::clicked, this, [this] { Start(); });
    connect(stop_, &QPushButton::clicked, this, [this] {
        if (onStop) onStop();
    });
    connect(certificate_, &QPushButton::clicked, this, [this] { Certificate(); });
}

QString StationPanel::SequencePath() const {
    const int index = sequence_->currentIndex();
    if (index >= 0 && sequence_->itemText(index) == sequence_->currentText()) {
        return sequence_->itemData(index).toString();
    }
    return sequence_->currentText().trimmed();
}

void StationPanel::Browse() {
    const QString path = QFileDialog::getOpenFileName(this, tr("Sequence"), QString(),
                                                      tr("Sequences (*.toml);;All files (*)"));
    if (path.isEmpty()) return;
    sequence_->addItem(QFileInfo(path).completeBaseName(), path);
    sequence_->setCurrentIndex(sequence_->count() - 1);
}

void StationPanel::Start() {
    const QString operatorName = operator_->text().trimmed();
    const QString sequence = SequencePath();
    const QString folder = folder_->text().trimmed();
    settings_.setValue(kOperatorKey, operatorName);
    settings_.setValue(kSequenceKey, sequence);
    settings_.setValue(kFolderKey, folder);
    settings_.sync();
    if (onStart) {
        onStart(main::StationRequest{sequence.toStdString(), operatorName.toStdString(), "",
                                     folder.toStdString()});
    }
}

void StationPanel::Certificate() {
    if (shown_.unitId.empty()) return;
    const QString preset = QDir(folder_->text().trimmed())
                               .filePath(Q(shown_.serial) + QStringLiteral("_certificate.pdf"));
    const QString path =
        askCertificatePath
            ? askCertificatePath(preset)
            : QFileDialog::getSaveFileName(this, tr("Certificate"), preset, tr("PDF (*.pdf)"));
    if (!path.isEmpty() && onCertificate) onCertificate(path);
}

void StationPanel::Show(const main::StationModel& model) {
    shown_ = model;
    start_->setEnabled(!model.running);
    stop_->setEnabled(model.running);
    operator_->setEnabled(!model.running);
    sequence_->setEnabled(!model.running);
    folder_->setEnabled(!model.running);
    certificate_->setEnabled(!model.running && !model.unitId.empty());
    steps_->setRowCount(static_cast<int>(model.steps.size()));
    for (size_t i = 0; i < model.steps.size(); ++i) {
        const main::StationStepLine& line = model.steps[i];
        const QString cells[] = {Q(line.name), Q(line.mode), Q(line.outcome), Q(line.measurements),
                                 Q(line.reason)};
        for (int column = 0; column < 5; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            if (column == 2 && (line.outcome == "failed" || line.outcome == "error" ||
                                line.outcome == "aborted")) {
                item->setForeground(QColor(0xc0, 0x26, 0x1d));
            }
            steps_->setItem(static_cast<int>(i), column, item);
        }
    }
    steps_->resizeColumnsToContents();
    if (model.running) {
        verdict_->setText(tr("Running: %1 on sensor %2").arg(Q(model.sequence), Q(model.serial)));
        verdict_->setStyleSheet(QString());
    } else {
        verdict_->setText(Q(model.verdict));
        verdict_->setStyleSheet(model.verdict.empty() ? QString() : VerdictStyle(model.verdict));
    }
    reason_->setText(Q(model.reason));
    message_->setText(Q(model.message));
    waiting_->setText(model.waiting > 0 ? tr("%n results wait for the server", nullptr,
                                             static_cast<int>(model.waiting))
                                        : QString());
}

}  // namespace veska::ui
