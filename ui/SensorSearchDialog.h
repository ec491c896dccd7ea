#pragma once
#include <QDialog>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "lang/PublishedTexts.h"
#include "params/SensorScan.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QTimer;

namespace veska::ui {

/// "Find a sensor": tries Identify over the ports checked in its list, every rate and every
/// address 1..127 (params::SensorScan: the current rate and address first), lists each
/// sensor that answers with its identity, and hands back the one chosen to connect to.
///
/// The scan runs on a worker thread of the dialog, with a link of its own; the window shows
/// its progress on a timer and never waits for it, except when the dialog closes while a
/// try is in progress (at most one try's time-out). Cancel ends the scan after the try in
/// progress; every port is closed when the scan ends.
class SensorSearchDialog final : public QDialog {
  public:
    /// How often the worker's progress and hits are shown [ms].
    static constexpr int kPollMs = 50;

    /// texts: the language applied (outlives the dialog); null: the built-in English texts.
    explicit SensorSearchDialog(QWidget* parent = nullptr,
                                const lang::PublishedTexts* texts = nullptr);
    ~SensorSearchDialog() override;

    /// The ports to offer (combo texts: "COM4", "USB", a device path), those in checked
    /// ticked; the rate and address tried first [bit/s].
    void Setup(const QStringList& ports, const QStringList& checked, uint32_t firstBaud,
               uint8_t firstAddress);
    /// The rates in the order to try them; empty (the default): params::ScanRateOrder.
    void SetRateOrder(std::vector<uint32_t> rates) { rates_ = std::move(rates); }

    /// Starts a scan of the ticked ports; false when none is ticked or one runs.
    bool StartSearch();
    /// Ends the running scan after the try in progress; the dialog says so at once.
    void CancelSearch();
    /// A scan is running (its worker has not ended yet).
    bool Running() const { return worker_.joinable(); }

    /// The sensors found so far, in the order found.
    const std::vector<params::ScanHit>& Hits() const { return hits_; }
    /// The sensor chosen with "Connect" (the dialog was accepted).
    const std::optional<params::ScanHit>& Chosen() const { return chosen_; }
    /// Chooses hit index and accepts the dialog, as "Connect" does.
    void ChooseHit(int index);
    /// The scan's own link (tests look at its port).
    params::SensorScan& Scan() { return scan_; }

    QListWidget* PortList() const { return ports_; }
    QTableWidget* HitTable() const { return table_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* StatusLabel() const { return status_; }
    QPushButton* SearchButton() const { return search_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* ConnectButton() const { return connect_; }

    void done(int result) override;

  private:
    /// The text of key in the language applied, else english.
    QString Text(lang::ProgramText key, const char* english) const;

    const lang::PublishedTexts* texts_ = nullptr;
    /// Shows the worker's progress and new hits; joins the worker once it has ended.
    void Poll();
    /// Ends a running scan and waits for the worker.
    void StopWorker();
    void UpdateButtons();

    QListWidget* ports_ = nullptr;
    QTableWidget* table_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* order_ = nullptr;
    QPushButton* search_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* connect_ = nullptr;
    QTimer* poll_ = nullptr;

    uint32_t firstBaud_ = 115200;
    uint8_t firstAddress_ = 1;
    std::vector<uint32_t> rates_;
    params::SensorScan scan_;
    std::thread worker_;  ///< runs scan_; interface thread starts and joins it
    std::vector<params::ScanHit> hits_;
    std::optional<params::ScanHit> chosen_;
    bool cancelled_ = false;

    std::atomic<bool> cancelRequested_{false};  ///< interface thread sets, worker reads
    std::mutex mutex_;                          ///< guards the worker's reports below
    params::ScanProgress where_;
    std::vector<params::ScanHit> newHits_;
    bool finished_ = false;
};

}  // namespace veska::ui
