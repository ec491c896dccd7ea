#pragma once
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

#include "main/StationDesk.h"
#include "main/WindowModel.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace veska::ui {

/// The factory window's station panel: the operator, the sequence (the shipped ones offered,
/// any file chosen), the folder of the runs' files, Start and Stop, the unit's steps with
/// their outcomes and figures as they run, a large PASSED / FAILED at the end and the
/// certificate of the unit. It only shows the logic's StationModel and hands the operator's
/// requests on; the operator, sequence and folder are remembered under "station/".
class StationPanel final : public QWidget {
  public:
    /// settings must outlive the panel; sequenceFolders are searched for "*.toml" to offer.
    StationPanel(QSettings& settings, const QStringList& sequenceFolders,
                 QWidget* parent = nullptr);

    std::function<void(const main::StationRequest& request)> onStart;
    std::function<void()> onStop;
    std::function<void(const QString& path)> onCertificate;
    /// Asks where the certificate goes; empty: cancelled. Unset: a save dialog.
    std::function<QString(const QString& preset)> askCertificatePath;

    void Show(const main::StationModel& model);
    /// Start with the fields as they are (remembered first).
    void Start();
    void Certificate();

    /// The model shown last.
    const main::StationModel& Shown() const { return shown_; }

    // For tests.
    QLineEdit* OperatorEdit() const { return operator_; }
    QComboBox* SequenceBox() const { return sequence_; }
    QLineEdit* FolderEdit() const { return folder_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* CertificateButton() const { return certificate_; }
    QTableWidget* Steps() const { return steps_; }
    QLabel* VerdictLabel() const { return verdict_; }
    QLabel* MessageLabel() const { return message_; }

  private:
    void Browse();
    QString SequencePath() const;

    QSettings& settings_;
    QLineEdit* operator_ = nullptr;
    QComboBox* sequence_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* certificate_ = nullptr;
    QTableWidget* steps_ = nullptr;
    QLabel* verdict_ = nullptr;
    QLabel* reason_ = nullptr;
    QLabel* message_ = nullptr;
    QLabel* waiting_ = nullptr;
    main::StationModel shown_;
};

}  // namespace veska::ui
