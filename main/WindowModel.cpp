#include "main/WindowModel.h"

#include <initializer_list>

namespace veska::main {
namespace {

/// A set of activities, one bit each.
class Activities {
  public:
    constexpr Activities(std::initializer_list<Activity> activities) {
        for (Activity a : activities) bits_ |= Bit(a);
    }
    constexpr bool Has(Activity a) const { return (bits_ & Bit(a)) != 0; }

  private:
    static constexpr unsigned Bit(Activity a) { return 1u << static_cast<unsigned>(a); }
    unsigned bits_ = 0;
};

/// A fact a control needs besides the activity.
enum class Needs { Nothing, FactoryBuild, AnalogBoard, Encoder, LastConnect, PortUsable };

struct ControlRow {
    Control control;
    Activities when;  ///< the activities in which the control is on
    Needs needs;
};

using A = Activity;
constexpr Activities kAny{A::Disconnected, A::Connected, A::Measuring,
                          A::BenchRun,     A::Streaming, A::Lost};
constexpr Activities kIdle{A::Disconnected, A::Connected, A::Lost};
constexpr Activities kUnlinked{A::Disconnected, A::Lost};
constexpr Activities kLinked{A::Connected, A::Measuring, A::BenchRun, A::Streaming};
constexpr Activities kRunOrIdle{A::Connected, A::Measuring, A::BenchRun};
constexpr Activities kNotRunning{A::Disconnected, A::Connected, A::Streaming, A::Lost};

/// A run and a stream each own the link: the other one, connecting and the parameter grid
/// wait. The parameter menu talks to the sensor, so it needs an idle connection.
constexpr ControlRow kEnabledRows[] = {
    {Control::ButtonConnect, kIdle, Needs::Nothing},
    // A run needs the port; a stream, a stop click or a connect opens it again.
    {Control::ButtonMeasure, kRunOrIdle, Needs::PortUsable},
    {Control::ButtonStream, {A::Connected, A::Streaming}, Needs::Nothing},
    {Control::ButtonZero, kRunOrIdle, Needs::Nothing},
    // Clearing the zero offset is refused while a stream runs, as setting it is.
    {Control::MenuClearZero, kRunOrIdle, Needs::Nothing},
    {Control::LabelRast, kLinked, Needs::Nothing},
    {Control::ValueListEditorParam, kIdle, Needs::Nothing},
    {Control::TrackBarLaser, kNotRunning, Needs::Nothing},
    {Control::RadioGroupMode, kNotRunning, Needs::Nothing},
    {Control::PopupMenuLoad, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuRead, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuCompare, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuLoadAll, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuReadAll, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuCompareAll, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuFLASH, {A::Connected}, Needs::Nothing},
    {Control::PopupMenuDefault, {A::Connected}, Needs::Nothing},
    {Control::MenuWriteToFactory, {A::Connected}, Needs::FactoryBuild},
    {Control::MenuReconnect, kUnlinked, Needs::LastConnect},
    {Control::MenuFindSensor, kUnlinked, Needs::Nothing},
    {Control::LabelVOKT_U, kAny, Needs::AnalogBoard},
    {Control::LabelVOKT_I, kAny, Needs::AnalogBoard},
    {Control::LabelEncoder, kAny, Needs::Encoder},
    {Control::LabeldMORLA_Encoder, kAny, Needs::Encoder},
};

/// The bench's port selectors are offered once a sensor is connected, in the factory build.
constexpr ControlRow kVisibleRows[] = {
    {Control::MenuWriteToFactory, kAny, Needs::FactoryBuild},
    {Control::LabelCOMMotor, kLinked, Needs::FactoryBuild},
    {Control::ComboBoxMotorCOM, kLinked, Needs::FactoryBuild},
    {Control::LabelCOMEncoder, kLinked, Needs::FactoryBuild},
    {Control::ComboBoxEncoderCOM, kLinked, Needs::FactoryBuild},
};

bool Holds(Needs needs, const ControlFacts& facts) {
    switch (needs) {
        case Needs::Nothing:
            return true;
        case Needs::FactoryBuild:
            return facts.factoryBuild;
        case Needs::AnalogBoard:
            return facts.analogBoard;
        case Needs::Encoder:
            return facts.encoderPresent;
        case Needs::LastConnect:
            return facts.lastConnectKnown;
        case Needs::PortUsable:
            return !facts.portFailed;
    }
    return false;
}

template <size_t N>
std::map<Control, bool> Apply(const ControlRow (&rows)[N], Activity activity,
                              const ControlFacts& facts) {
    std::map<Control, bool> result;
    for (const ControlRow& row : rows) {
        result[row.control] = row.when.Has(activity) && Holds(row.needs, facts);
    }
    return result;
}

}  // namespace

std::map<Control, bool> EnabledControls(Activity activity, const ControlFacts& facts) {
    return Apply(kEnabledRows, activity, facts);
}

std::map<Control, bool> VisibleControls(Activity activity, const ControlFacts& facts) {
    return Apply(kVisibleRows, activity, facts);
}

bool SensorConnected(Activity activity) { return kLinked.Has(activity); }

}  // namespace veska::main
