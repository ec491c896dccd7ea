#pragma once
#include <QDialog>
#include <QSettings>
#include <QString>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "main/StationHistory.h"
#include "results/ResultStore.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace veska::ui {

/// The factory window's results: the History of a sensor's stored runs (date, sequence,
/// step, figure, limits, outcome, operator), a run's report chart drawn again from the
/// store, the certificate of a run's unit, and the results store's URL (remembered in the
/// settings under "results/url") with the count of results waiting in its spool. Every
/// store operation runs on a worker thread, one at a time; the window only shows.
class StationDialog final : public QDialog {
  public:
    /// serialText gives the connected sensor's serial number as the window shows it (digits
    /// are taken from it); settings must outlive the dialog.
    StationDialog(QSettings& settings, std::function<QString()> serialText,
                  QWidget* parent = nullptr);
    ~StationDialog() override;

    /// Told of the URL the operator chose (Use): the logic stores every run there from now on.
    std::function<void(const QString& url)> onStoreChosen;

    /// Lists the runs of the serial in the serial field (the connected sensor's when shown).
    void Refresh();
    /// Takes the URL field as the store, remembers it and refreshes.
    void ApplyStore();
    /// Delivers what waits in the spool.
    void Deliver();
    /// The chosen run's charts in a window of their own.
    void ShowChart();
    /// The certificate of the chosen run's unit into path.
    void SaveCertificate(const QString& path);

    // For tests and the window's own use.
    QTableWidget* Table() const { return table_; }
    QLineEdit* UrlEdit() const { return url_; }
    QLineEdit* SerialEdit() const { return serial_; }
    QLabel* StatusLabel() const { return status_; }
    QLabel* WaitingLabel() const { return waiting_; }
    /// True while a store operation runs.
    bool Busy() const;
    /// The charts of the last ShowChart, as drawn.
    const std::vector<QImage>& ChartImages() const { return chartImages_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    /// Runs work on the worker thread with a store opened from the URL; done runs on the
    /// interface thread afterwards. Refused (false) while another runs.
    bool RunOnStore(const QString& what,
                    std::function<void(results::ResultStore&, std::string& error)> work,
                    std::function<void(const std::string& error)> done);
    void ShowRows(const std::vector<main::HistoryRow>& rows);
    void SetBusy(bool busy, const QString& what);
    QString ChosenRunId() const;

    QSettings& settings_;
    std::function<QString()> serialText_;
    QLineEdit* url_ = nullptr;
    QLineEdit* serial_ = nullptr;
    QTableWidget* table_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* waiting_ = nullptr;
    std::vector<QPushButton*> buttons_;
    std::vector<main::HistoryRow> rows_;
    std::vector<QImage> chartImages_;
    std::thread worker_;
    bool busy_ = false;
};

}  // namespace veska::ui
