#pragma once
#include <QWidget>
#include <cstdint>
#include <functional>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QRadioButton;
class QSlider;

namespace veska::ui {

/// TFormDebug: the factory bench's operator window ("QSDEBUG"): read-outs, the motor and
/// encoder port selectors, the mode list, a progress bar and the laser level slider. Shown and
/// hidden by the main window's logic only; the chosen mode code goes to modeCode.
class TFormDebug final : public QWidget {
  public:
    /// modeCode: the program's selected bench mode code; must outlive the form.
    explicit TFormDebug(int32_t& modeCode, QWidget* parent = nullptr);

    /// RadioGroupModeClick: the code of item index; an index outside the list changes nothing.
    void RadioGroupModeClick(int index);
    /// Where the chosen code goes when the logic runs on its own thread; unset: written to the
    /// code this form was built with, at once.
    std::function<void(int32_t code)> onModeCode;
    /// TrackBarLaserChange: LabelLaser shows 16383 - position.
    void TrackBarLaserChange(int position);
    /// Checks an item of the mode list without running the click handler.
    void SelectModeItem(int index);
    int SelectedModeItem() const;

    QLabel* LabelVOKT_U() const { return labelVoktU_; }
    QLabel* LabelVOKT_I() const { return labelVoktI_; }
    QLabel* LabelEncoder() const { return labelEncoder_; }
    QLabel* LabeldMORLA_Encoder() const { return labeldMorlaEncoder_; }
    QLabel* LabelCOMMotor() const { return labelComMotor_; }
    QComboBox* ComboBoxMotorCOM() const { return comboMotor_; }
    QLabel* LabelCOMEncoder() const { return labelComEncoder_; }
    QComboBox* ComboBoxEncoderCOM() const { return comboEncoder_; }
    QGroupBox* RadioGroupMode() const { return radioGroupMode_; }
    QRadioButton* ModeButton(int index) const;
    QProgressBar* ProgressBarQSDEBUG() const { return progress_; }
    QLabel* LabelLaser() const { return labelLaser_; }
    QSlider* TrackBarLaser() const { return trackBarLaser_; }

  private:
    int32_t& modeCode_;
    QLabel* labelVoktU_ = nullptr;
    QLabel* labelVoktI_ = nullptr;
    QLabel* labelEncoder_ = nullptr;
    QLabel* labeldMorlaEncoder_ = nullptr;
    QLabel* labelComMotor_ = nullptr;
    QComboBox* comboMotor_ = nullptr;
    QLabel* labelComEncoder_ = nullptr;
    QComboBox* comboEncoder_ = nullptr;
    QGroupBox* radioGroupMode_ = nullptr;
    QButtonGroup* modeButtons_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* labelLaser_ = nullptr;
    QSlider* trackBarLaser_ = nullptr;
};

}  // namespace veska::ui
