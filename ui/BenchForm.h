#pragma once
#include <QWidget>
#include <array>
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

/// One entry of the bench's mode list: the radio item's caption and its mode code.
struct BenchMode {
    const char* caption;
    int32_t code;
};

/// The 22 bench modes in the order of the radio group (codes 135 and 136 are not used).
inline constexpr std::array<BenchMode, 22> kBenchModes = {{
    {"Line", 0},
    {"Nonline", 1},
    {"Temperature", 2},
    {"Pulse", 128},
    {"Calibration", 129},
    {"Synchro_Calibration", 130},
    {"Poverka", 131},
    {"Synchro_Poverka", 132},
    {"Motion_Home", 133},
    {"Motion_End", 134},
    {"0_10V_Adjustment", 137},
    {"0_10V_Check", 138},
    {"4_20mA_Adjustment", 139},
    {"4_20mA_Check", 140},
    {"Analog_Line_Check", 141},
    {"IN_Check", 142},
    {"AL_Check", 143},
    {"STREAM_FRQ_Check", 144},
    {"Motion_Home__Pulse", 145},
    {"Motion_End__Pulse", 146},
    {"Scan", 147},
    {"Laser_Adjustment", 148},
}};

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
