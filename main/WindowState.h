#pragma once
#include <string>
#include <utility>
#include <vector>

#include "lang/Language.h"
#include "main/WindowModel.h"

namespace veska::main {

class MainView;

/// The window's state as the logic keeps it: the activity, the facts beside it, the link
/// line and the few things shown beside the chart. Every change publishes the whole model to
/// the view; the captions are made from the activity and the language texts each time.
class WindowState {
  public:
    /// texts outlive the state; factoryBuild makes the bench reachable.
    WindowState(MainView& view, const lang::TextTable& texts, bool factoryBuild);

    Activity Current() const { return model_.activity; }
    bool Connected() const { return SensorConnected(model_.activity); }
    void Enter(Activity activity);

    void SetAnalogBoard(bool present);
    void SetEncoderPresent(bool present);
    void SetLastConnectKnown(bool known);
    /// Whether the last opening of the sensor port succeeded.
    void SetPortOpen(bool opened);

    void ShowLink(LinkState state, std::string text);
    void ShowNote(std::string note);
    void ShowZeroOffset(std::string text);
    void ShowAutoScale(bool x, bool y);
    void ShowLanguages(std::vector<std::pair<std::string, std::string>> files, std::string current);
    /// The captions again, in the language now loaded.
    void Relabel() { Publish(); }

    /// The window grows (true) or shrinks to its top row; it animates on its own and reports
    /// the end of the request through AnimationDone. A connect or stream click waits for it.
    void Resize(bool expanded);
    bool Animating() const { return animating_; }
    /// The window reached the size of this request; an older request's end changes nothing.
    void AnimationDone(uint32_t request);

    /// The station panel's state.
    void ShowStation(StationModel station);

    /// Shows or hides the bench form now.
    void ShowBenchForm(bool shown);

    const WindowModel& Model() const { return model_; }

  private:
    void Publish();

    MainView& view_;
    const lang::TextTable& texts_;
    ControlFacts facts_;
    WindowModel model_;
    bool animating_ = false;
};

}  // namespace veska::main
