#pragma once
#include <string>

#include "bench/RunView.h"
#include "main/WindowModel.h"
#include "main/WindowQuestions.h"
#include "params/ParamView.h"

namespace veska::main {

/// The main window's timers.
enum class Timer {
    TimerMain,    ///< measurement tick, 1 ms
    TimerAnswer,  ///< answer watchdog, 30000 ms
};

/// Chart point colour: the series' own default, or red.
using PointColour = bench::PointColour;

/// The selectors of the connection the logic sets.
enum class Selector { Port, Baud, Address };

/// What the main window logic shows. The window is a run's view (the chart, the value label,
/// the bench read-outs), the parameter operations' view, and asks the operator questions;
/// beside those it shows the window model the logic publishes. The Qt window implements it;
/// tests use a fake that records every call. Texts are plain text, never markup.
class MainView : public bench::RunView, public params::ParamView, public WindowQuestions {
  public:
    /// The window's state as a whole; a view may skip a model a newer one replaces.
    virtual void ShowWindow(const WindowModel& model) = 0;

    virtual void SetTimerEnabled(Timer timer, bool enabled) = 0;
    virtual void SetTimerInterval(Timer timer, int milliseconds) = 0;

    /// Selects the selector's entry of this text (a port "COM4", a rate "115200", an address
    /// "9"); an editable selector takes a text it does not list.
    virtual void Select(Selector selector, const std::string& text) = 0;
    /// Selects an item of the bench form's mode list.
    virtual void SelectBenchModeItem(int index) = 0;
};

}  // namespace veska::main
