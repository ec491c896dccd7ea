#include "main/WindowState.h"

#include "main/MainView.h"

namespace veska::main {
namespace {

/// The captions of the window in the language loaded; the three buttons name what a click
/// on them does in this activity.
std::map<Control, std::string> CaptionsOf(const lang::TextTable& t, Activity activity,
                                          bool factoryBuild) {
    using lang::ProgramText;
    using lang::Section;
    std::map<Control, std::string> captions;
    captions[Control::WindowCaption] =
        t.Get(Section::About, 0) +
        t.Text(factoryBuild ? ProgramText::FactoryCaption : ProgramText::ReleaseCaption);
    captions[Control::FormDebug] = t.Get(Section::FormsNames, 3);
    const std::pair<Control, ProgramText> program[] = {
        {Control::MenuSaveCsv, ProgramText::SaveCsv},
        {Control::MenuSaveImage, ProgramText::SaveImage},
        {Control::MenuClearZero, ProgramText::ClearZero},
        {Control::MenuXAutomaticScaling, ProgramText::XAutomaticScaling},
        {Control::MenuYAutomaticScaling, ProgramText::YAutomaticScaling},
        {Control::MenuWriteToFactory, ProgramText::WriteToFactory},
        {Control::MenuWriteParamFile, ProgramText::WriteParamFile},
        {Control::MenuReadParamFile, ProgramText::ReadParamFile},
        {Control::ButtonLink, ProgramText::LinkMenu},
        {Control::MenuReconnect, ProgramText::Reconnect},
        {Control::MenuReconnectTip, ProgramText::ReconnectTip},
        {Control::MenuFindSensor, ProgramText::FindSensor},
        {Control::MenuLineTrace, ProgramText::LineTrace},
        {Control::ButtonOptions, ProgramText::OptionsMenu},
        {Control::MenuLanguage, ProgramText::LanguageMenu},
        {Control::MenuBenchForm, ProgramText::BenchForm},
        {Control::PortNoteSimulated, ProgramText::PortSimulated},
        {Control::PortNoteAbsent, ProgramText::PortAbsent},
    };
    for (const auto& [control, key] : program) captions[control] = t.Text(key);
    const Control titles[] = {Control::Label5, Control::Label10, Control::Label4, Control::Label18,
                              Control::Label6, Control::Label17, Control::Label7, Control::Label8};
    for (int i = 0; i < 8; ++i) captions[titles[i]] = t.Label(i);
    const Control menu[] = {Control::PopupMenuLoad,    Control::PopupMenuRead,
                            Control::PopupMenuCompare, Control::PopupMenuLoadAll,
                            Control::PopupMenuReadAll, Control::PopupMenuCompareAll,
                            Control::PopupMenuFLASH,   Control::PopupMenuDefault};
    for (int i = 0; i < 8; ++i) captions[menu[i]] = t.Get(Section::PopupParam, i);
    captions[Control::MenuSave] = t.Get(Section::PopupChart, 0);
    captions[Control::MenuClear] = t.Get(Section::PopupChart, 1);
    captions[Control::GridTitles] =
        t.Get(Section::ParamTable, 0) + "\r\n" + t.Get(Section::ParamTable, 1);
    captions[Control::ChartTitle] = t.Get(Section::Graph, 0);

    const bool running = activity == Activity::Measuring || activity == Activity::BenchRun;
    captions[Control::ButtonConnect] = t.Button(SensorConnected(activity) ? 10 : 0);
    captions[Control::ButtonMeasure] = t.Button(running ? 12 : 1);
    captions[Control::ButtonStream] = t.Button(activity == Activity::Streaming ? 6 : 2);
    captions[Control::ButtonZero] = t.Button(9);
    return captions;
}

}  // namespace

WindowState::WindowState(MainView& view, const lang::TextTable& texts, bool factoryBuild)
    : view_(view), texts_(texts) {
    facts_.factoryBuild = factoryBuild;
}

void WindowState::Enter(Activity activity) {
    model_.activity = activity;
    Publish();
}

void WindowState::SetAnalogBoard(bool present) {
    facts_.analogBoard = present;
    Publish();
}

void WindowState::SetEncoderPresent(bool present) {
    facts_.encoderPresent = present;
    Publish();
}

void WindowState::SetLastConnectKnown(bool known) {
    facts_.lastConnectKnown = known;
    Publish();
}

void WindowState::SetPortOpen(bool opened) {
    if (facts_.portFailed == !opened) return;
    facts_.portFailed = !opened;
    Publish();
}

void WindowState::ShowLink(LinkState state, std::string text) {
    model_.linkState = state;
    model_.linkText = std::move(text);
    Publish();
}

void WindowState::ShowNote(std::string note) {
    model_.note = std::move(note);
    Publish();
}

void WindowState::ShowZeroOffset(std::string text) {
    model_.zeroOffset = std::move(text);
    Publish();
}

void WindowState::ShowAutoScale(bool x, bool y) {
    model_.xAutoScale = x;
    model_.yAutoScale = y;
    Publish();
}

void WindowState::ShowLanguages(std::vector<std::pair<std::string, std::string>> files,
                                std::string current) {
    model_.languages = std::move(files);
    model_.language = std::move(current);
    Publish();
}

void WindowState::Resize(bool expanded) {
    animating_ = true;
    model_.expanded = expanded;
    ++model_.sizeRequest;
    Publish();
}

void WindowState::AnimationDone(uint32_t request) {
    if (request == model_.sizeRequest) animating_ = false;
}

void WindowState::ShowBenchForm(bool shown) {
    model_.benchFormShown = shown;
    ++model_.benchFormRequest;
    Publish();
}

void WindowState::Publish() {
    model_.captions = CaptionsOf(texts_, model_.activity, facts_.factoryBuild);
    model_.enabled = EnabledControls(model_.activity, facts_);
    model_.visible = VisibleControls(model_.activity, facts_);
    view_.ShowWindow(model_);
}

void WindowState::ShowStation(StationModel station) {
    model_.station = std::move(station);
    Publish();
}

}  // namespace veska::main
