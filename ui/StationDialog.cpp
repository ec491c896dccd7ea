#include "ui/StationDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>
#include <memory>

#include "report/ChartDrawing.h"
#include "results/OpenStore.h"

namespace veska::ui {

namespace {

const QString kUrlKey = QStringLiteral("results/url");
constexpr int kChartWidth = 800;
constexpr int kChartHeight = 400;
constexpr size_t kMostRows = 1000;  ///< the newest runs shown

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Digits(const QString& text) {
    QString digits;
    for (const QChar c : text) {
        if (c.isDigit()) digits += c;
    }
    return digits;
}

}  // namespace

StationDialog::StationDialog(QSettings& settings, std::function<QString()> serialText,
                             QWidget* parent)
    : QDialog(parent), settings_(settings), serialText_(std::move(serialText)) {
    setWindowTitle(tr("Results and history"));
    auto* layout = new QVBoxLayout(this);

    auto* storeForm = new QFormLayout;
    url_ = new QLineEdit(settings_.value(kUrlKey).toString(), this);
    url_->setPlaceholderText(tr("default: the results file in the data folder"));
    url_->setToolTip(tr("sqlite:PATH, or a PostgreSQL server: postgresql://host/database"));
    auto* storeRow = new QHBoxLayout;
    storeRow->addWidget(url_, 1);
    auto* apply = new QPushButton(tr("Use"), this);
    auto* deliver = new QPushButton(tr("Deliver now"), this);
    storeRow->addWidget(apply);
    storeRow->addWidget(deliver);
    storeForm->addRow(tr("Results store:"), storeRow);
    waiting_ = new QLabel(this);
    storeForm->addRow(tr("Waiting in the spool:"), waiting_);
    serial_ = new QLineEdit(this);
    serial_->setValidator(nullptr);
    auto* serialRow = new QHBoxLayout;
    serialRow->addWidget(serial_, 1);
    auto* refresh = new QPushButton(tr("Refresh"), this);
    serialRow->addWidget(refresh);
    storeForm->addRow(tr("Sensor serial:"), serialRow);
    layout->addLayout(storeForm);

    table_ = new QTableWidget(0, 7, this);
    table_->setHorizontalHeaderLabels({tr("Date"), tr("Sequence"), tr("Step"), tr("Figure"),
                                       tr("Limits"), tr("Outcome"), tr("Operator")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table_, 1);

    auto* actions = new QHBoxLayout;
    auto* chart = new QPushButton(tr("Show chart"), this);
    auto* certificate = new QPushButton(tr("Certificate…"), this);
    actions->addWidget(chart);
    actions->addWidget(certificate);
    actions->addStretch(1);
    status_ = new QLabel(this);
    actions->addWidget(status_);
    auto* close = new QPushButton(tr("Close"), this);
    actions->addWidget(close);
    layout->addLayout(actions);
    buttons_ = {apply, deliver, refresh, chart, certificate};

    connect(apply, &QPushButton::clicked, this, &StationDialog::ApplyStore);
    connect(deliver, &QPushButton::clicked, this, &StationDialog::Deliver);
    connect(refresh, &QPushButton::clicked, this, &StationDialog::Refresh);
    connect(serial_, &QLineEdit::returnPressed, this, &StationDialog::Refresh);
    connect(chart, &QPushButton::clicked, this, &StationDialog::ShowChart);
    connect(table_, &QTableWidget::cellDoubleClicked, this, &StationDialog::ShowChart);
    connect(certificate, &QPushButton::clicked, this, [this] {
        if (ChosenRunId().isEmpty()) {
            status_->setText(tr("Choose a run of the unit first."));
            return;
        }
        const QString path = QFileDialog::getSaveFileName(
            this, tr("Certificate"), QStringLiteral("certificate.pdf"), tr("PDF (*.pdf)"));
        if (!path.isEmpty()) SaveCertificate(path);
    });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(900, 520);
}

StationDialog::~StationDialog() {
    if (worker_.joinable()) worker_.join();
}

bool StationDialog::Busy() const { return busy_; }

void StationDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (serialText_) {
        const QString serial = Digits(serialText_());
        if (!serial.isEmpty()) serial_->setText(serial);
    }
    Refresh();
}

void StationDialog::SetBusy(bool busy, const QString& what) {
    busy_ = busy;
    for (QPushButton* button : buttons_) button->setEnabled(!busy);
    if (busy) status_->setText(what);
}

bool StationDialog::RunOnStore(const QString& what,
                               std::function<void(results::ResultStore&, std::string& error)> work,
                               std::function<void(const std::string& error)> done) {
    if (busy_) return false;
    if (worker_.joinable()) worker_.join();
    SetBusy(true, what);
    const std::string url = settings_.value(kUrlKey).toString().toStdString();
    QPointer<StationDialog> self(this);
    worker_ = std::thread([self, url, work = std::move(work), done = std::move(done)] {
        std::string error;
        size_t waiting = 0;
        if (auto store = results::OpenStore(url, error)) {
            work(*store, error);
            waiting = store->Pending();
        }
        // The dialog joins this thread before it goes, so self is still valid here; the
        // queued call finds it gone only when it was closed meanwhile.
        QMetaObject::invokeMethod(
            self.data(),
            [self, error, waiting, done] {
                if (!self) return;
                self->waiting_->setText(QString::number(waiting));
                self->SetBusy(false, QString());
                self->status_->setText(error.empty() ? QString() : Q(error));
                done(error);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void StationDialog::ApplyStore() {
    settings_.setValue(kUrlKey, url_->text().trimmed());
    settings_.sync();
    if (onStoreChosen) onStoreChosen(url_->text().trimmed());
    Refresh();
}

void StationDialog::Refresh() {
    bool ok = false;
    const int serial = serial_->text().toInt(&ok);
    if (!ok || serial < 0 || serial > 65535) {
        status_->setText(tr("No sensor serial to list."));
        return;
    }
    auto rows = std::make_shared<std::vector<main::HistoryRow>>();
    RunOnStore(
        tr("Reading the history…"),
        [rows, serial](results::ResultStore& store, std::string& error) {
            if (auto found = main::SensorHistory(store, serial, kMostRows, error)) {
                *rows = std::move(*found);
            }
        },
        [this, rows](const std::string& error) {
            if (error.empty()) ShowRows(*rows);
        });
}

void StationDialog::Deliver() {
    auto report = std::make_shared<results::DeliveryReport>();
    RunOnStore(
        tr("Delivering…"),
        [report](results::ResultStore& store, std::string& error) {
            *report = store.Deliver();
            error = report->message;
        },
        [this, report](const std::string& error) {
            if (error.empty()) {
                status_->setText(
                    tr("%1 delivered").arg(static_cast<qulonglong>(report->delivered)));
            }
        });
}

void StationDialog::ShowRows(const std::vector<main::HistoryRow>& rows) {
    rows_ = rows;
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const main::HistoryRow& row = rows_[static_cast<size_t>(r)];
        const std::string cells[] = {row.date,   row.sequence, row.step,        row.figure,
                                     row.limits, row.outcome,  row.operatorName};
        for (int c = 0; c < 7; ++c) table_->setItem(r, c, new QTableWidgetItem(Q(cells[c])));
    }
    table_->resizeColumnsToContents();
    status_->setText(tr("%1 runs").arg(rows_.size()));
}

QString StationDialog::ChosenRunId() const {
    const int row = table_->currentRow();
    if (row < 0 || row >= static_cast<int>(rows_.size())) return {};
    return Q(rows_[static_cast<size_t>(row)].runId);
}

void StationDialog::ShowChart() {
    const std::string runId = ChosenRunId().toStdString();
    if (runId.empty()) {
        status_->setText(tr("Choose a run first."));
        return;
    }
    auto images = std::make_shared<std::vector<QImage>>();
    RunOnStore(
        tr("Drawing the chart…"),
        [images, runId](results::ResultStore& store, std::string& error) {
            const auto charts = main::StoredRunCharts(store, runId, error);
            if (!charts) return;
            for (const report::ChartPicture& chart : *charts) {
                const std::string bmp = report::RenderChartBmp(chart, kChartWidth, kChartHeight);
                images->push_back(QImage::fromData(reinterpret_cast<const uchar*>(bmp.data()),
                                                   static_cast<int>(bmp.size()), "BMP"));
            }
        },
        [this, images](const std::string& error) {
            chartImages_ = *images;
            if (!error.empty()) return;
            if (chartImages_.empty()) {
                status_->setText(tr("The run has no chart."));
                return;
            }
            auto* window = new QDialog(this);
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setWindowTitle(tr("Report chart"));
            auto* column = new QVBoxLayout(window);
            for (const QImage& image : chartImages_) {
                auto* label = new QLabel(window);
                label->setPixmap(QPixmap::fromImage(image));
                column->addWidget(label);
            }
            window->show();
        });
}

void StationDialog::SaveCertificate(const QString& path) {
    const std::string runId = ChosenRunId().toStdString();
    const std::string file = path.toStdString();
    RunOnStore(
        tr("Writing the certificate…"),
        [runId, file](results::ResultStore& store, std::string& error) {
            main::WriteCertificate(store, runId, file, error);
        },
        [this, path](const std::string& error) {
            if (error.empty()) status_->setText(tr("Certificate written: %1").arg(path));
        });
}

}  // namespace veska::ui
