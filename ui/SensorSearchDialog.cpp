#include "ui/SensorSearchDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "main/LinkStatus.h"

namespace veska::ui {
namespace {

QString PortChoiceText(const std::string& portName) {
    return QString::fromStdString(main::PortChoiceOf(portName));
}

QString RateList(const std::vector<uint32_t>& rates) {
    QStringList items;
    for (const uint32_t rate : rates) items << QString::number(rate);
    return items.join(QStringLiteral(", "));
}

/// Time a port without a sensor takes: every try at every rate waits for a whole reply [s].
int SilentPortSeconds(const std::vector<uint32_t>& rates) {
    constexpr uint32_t kReplyBytes = 16;  // an Identify reply on the line
    double ms = 0.0;
    for (const uint32_t rate : rates) {
        const params::ScanTimeouts t = params::ScanTimeoutsFor(rate);
        ms += 127.0 * (t.perByte * kReplyBytes + t.constant);
    }
    return static_cast<int>(ms / 1000.0 + 0.5);
}

}  // namespace

SensorSearchDialog::SensorSearchDialog(QWidget* parent, const lang::PublishedTexts* texts)
    : QDialog(parent), texts_(texts) {
    setWindowTitle(Text(lang::ProgramText::SearchTitle, "Find a sensor"));
    setModal(true);
    resize(720, 460);

    auto* portsTitle = new QLabel(Text(lang::ProgramText::SearchPorts, "Ports to search:"), this);
    ports_ = new QListWidget(this);
    ports_->setMaximumWidth(220);
    order_ = new QLabel(this);
    order_->setTextFormat(Qt::PlainText);
    order_->setWordWrap(true);

    table_ = new QTableWidget(0, 8, this);
    table_->setHorizontalHeaderLabels(
        Text(lang::ProgramText::SearchColumns,
             "Port|Baud rate|Address|Type|Serial no.|Release|Base [mm]|Range [mm]")
            .split(QLatin1Char('|')));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->resizeColumnsToContents();

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 1);
    progress_->setValue(0);
    status_ = new QLabel(
        Text(lang::ProgramText::SearchHint, "Choose the ports and start the search."), this);
    status_->setTextFormat(Qt::PlainText);

    search_ = new QPushButton(Text(lang::ProgramText::SearchStart, "Search"), this);
    cancel_ = new QPushButton(Text(lang::ProgramText::SearchStop, "Stop"), this);
    connect_ = new QPushButton(Text(lang::ProgramText::SearchConnect, "Connect"), this);
    auto* close = new QPushButton(Text(lang::ProgramText::SearchClose, "Close"), this);
    search_->setDefault(true);

    auto* left = new QVBoxLayout;
    left->addWidget(portsTitle);
    left->addWidget(ports_, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(order_);
    right->addWidget(table_, 1);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(search_);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    buttons->addWidget(connect_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(middle, 1);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addLayout(buttons);

    poll_ = new QTimer(this);
    poll_->setInterval(kPollMs);
    connect(poll_, &QTimer::timeout, this, &SensorSearchDialog::Poll);
    connect(search_, &QPushButton::clicked, this, [this] { StartSearch(); });
    connect(cancel_, &QPushButton::clicked, this, &SensorSearchDialog::CancelSearch);
    connect(connect_, &QPushButton::clicked, this, [this] { ChooseHit(table_->currentRow()); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &SensorSearchDialog::UpdateButtons);
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { ChooseHit(row); });
    UpdateButtons();
}

SensorSearchDialog::~SensorSearchDialog() { StopWorker(); }

QString SensorSearchDialog::Text(lang::ProgramText key, const char* english) const {
    return QString::fromStdString(texts_ != nullptr ? texts_->Text(key, english) : english);
}

void SensorSearchDialog::Setup(const QStringList& ports, const QStringList& checked,
                               uint32_t firstBaud, uint8_t firstAddress) {
    ports_->clear();
    for (const QString& port : ports) {
        auto* item = new QListWidgetItem(port, ports_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(checked.contains(port) ? Qt::Checked : Qt::Unchecked);
    }
    firstBaud_ = firstBaud;
    firstAddress_ = firstAddress;
    const std::vector<uint32_t> rates = rates_.empty() ? params::ScanRateOrder(firstBaud_) : rates_;
    order_->setText(Text(lang::ProgramText::SearchOrder,
                         "Identify at every rate (%1) and every address 1 to 127, address %2 "
                         "first. A port with no sensor takes about %3 s; Stop ends the search "
                         "at once.")
                        .arg(RateList(rates))
                        .arg(firstAddress_)
                        .arg(SilentPortSeconds(rates)));
}

bool SensorSearchDialog::StartSearch() {
    if (Running()) return false;
    params::ScanPlan plan;
    for (int i = 0; i < ports_->count(); ++i) {
        const QListWidgetItem* item = ports_->item(i);
        if (item->checkState() == Qt::Checked) {
            plan.portNames.push_back(main::PortNameOf(item->text().toStdString()));
        }
    }
    if (plan.portNames.empty()) {
        status_->setText(Text(lang::ProgramText::SearchNoPort, "Tick at least one port."));
        return false;
    }
    plan.firstBaud = firstBaud_;
    plan.firstAddress = firstAddress_;
    plan.rates = rates_;

    hits_.clear();
    chosen_.reset();
    table_->setRowCount(0);
    cancelled_ = false;
    cancelRequested_.store(false);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        where_ = params::ScanProgress{};
        newHits_.clear();
        finished_ = false;
    }
    progress_->setRange(0, 1);
    progress_->setValue(0);
    status_->setText(Text(lang::ProgramText::SearchRunning, "Searching…"));
    worker_ = std::thread([this, plan = std::move(plan)] {
        scan_.Run(
            plan,
            [this](const params::ScanHit& hit) {
                std::lock_guard<std::mutex> lock(mutex_);
                newHits_.push_back(hit);
            },
            [this](const params::ScanProgress& where) {
                // A cancel made before Run began would be reset by it: ask again here.
                if (cancelRequested_.load()) scan_.Cancel();
                std::lock_guard<std::mutex> lock(mutex_);
                where_ = where;
            });
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = true;
    });
    poll_->start();
    UpdateButtons();
    return true;
}

void SensorSearchDialog::CancelSearch() {
    if (!Running()) return;
    cancelRequested_.store(true);
    scan_.Cancel();
    cancelled_ = true;
    status_->setText(Text(lang::ProgramText::SearchStopping, "Stopping the search…"));
    UpdateButtons();
}

void SensorSearchDialog::Poll() {
    std::vector<params::ScanHit> found;
    params::ScanProgress where;
    bool finished = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        found.swap(newHits_);
        where = where_;
        finished = finished_;
    }
    for (const params::ScanHit& hit : found) {
        const int row = table_->rowCount();
        table_->insertRow(row);
        const QString cells[] = {
            PortChoiceText(hit.portName),           QString::number(hit.baud),
            QString::number(hit.address),           QString::number(hit.info.deviceType),
            QString::number(hit.info.serialNumber), QString::number(hit.info.releaseNumber),
            QString::number(hit.info.baseDistance), QString::number(hit.info.measuringRange),
        };
        for (int column = 0; column < 8; ++column) {
            table_->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
        hits_.push_back(hit);
        if (table_->currentRow() < 0) table_->selectRow(0);
    }
    if (!found.empty()) table_->resizeColumnsToContents();
    if (where.total > 0) {
        progress_->setRange(0, static_cast<int>(where.total));
        progress_->setValue(static_cast<int>(where.done));
    }
    if (finished) {
        StopWorker();
        progress_->setValue(progress_->maximum());
        const QString count =
            hits_.size() == 1
                ? Text(lang::ProgramText::SearchOneFound, "1 sensor found")
                : Text(lang::ProgramText::SearchManyFound, "%1 sensors found").arg(hits_.size());
        status_->setText(cancelled_
                             ? Text(lang::ProgramText::SearchStopped, "Stopped: %1.").arg(count)
                             : Text(lang::ProgramText::SearchDone, "Done: %1.").arg(count));
    } else if (!cancelled_ && where.total > 0) {
        status_->setText(Text(lang::ProgramText::SearchTrying,
                              "Trying %1 at %2 bit/s, address %3 (%4 of %5); %6 found")
                             .arg(PortChoiceText(where.portName))
                             .arg(where.baud)
                             .arg(where.address)
                             .arg(where.done + 1)
                             .arg(where.total)
                             .arg(hits_.size()));
    }
    UpdateButtons();
}

void SensorSearchDialog::StopWorker() {
    if (poll_ != nullptr) poll_->stop();
    if (!worker_.joinable()) return;
    cancelRequested_.store(true);
    scan_.Cancel();
    worker_.join();
}

void SensorSearchDialog::ChooseHit(int index) {
    if (index < 0 || index >= static_cast<int>(hits_.size())) return;
    chosen_ = hits_[static_cast<size_t>(index)];
    accept();
}

void SensorSearchDialog::done(int result) {
    // Every port is closed before the dialog goes, whatever ends it.
    if (Running()) {
        cancelled_ = true;
        StopWorker();
    }
    QDialog::done(result);
}

void SensorSearchDialog::UpdateButtons() {
    const bool running = Running();
    search_->setEnabled(!running);
    cancel_->setEnabled(running && !cancelled_);
    connect_->setEnabled(table_->currentRow() >= 0);
}

}  // namespace veska::ui
