#include <gtest/gtest.h>

#include <set>
#include <string>

#include "lang/Language.h"
#include "main/WindowModel.h"
#include "main/WindowState.h"
#include "tests/main/FakeMainView.h"

namespace veska::testing {
namespace {

using main::Activity;
using main::Control;
using main::ControlFacts;

constexpr Activity kActivities[] = {Activity::Disconnected, Activity::Connected,
                                    Activity::Measuring,    Activity::BenchRun,
                                    Activity::Streaming,    Activity::Lost};

std::set<Control> OnIn(const std::map<Control, bool>& controls) {
    std::set<Control> on;
    for (const auto& [control, enabled] : controls)
        if (enabled) on.insert(control);
    return on;
}

const std::set<Control> kSensorMenu = {
    Control::PopupMenuLoad,    Control::PopupMenuRead,    Control::PopupMenuCompare,
    Control::PopupMenuLoadAll, Control::PopupMenuReadAll, Control::PopupMenuCompareAll,
    Control::PopupMenuFLASH,   Control::PopupMenuDefault,
};

std::set<Control> With(std::set<Control> a, const std::set<Control>& b) {
    a.insert(b.begin(), b.end());
    return a;
}

TEST(EnabledControls, FollowTheActivityInTheDeliveredBuild) {
    const std::set<Control> idleUnlinked = {Control::ButtonConnect, Control::ValueListEditorParam,
                                            Control::TrackBarLaser, Control::RadioGroupMode,
                                            Control::MenuFindSensor};
    const std::set<Control> running = {Control::ButtonMeasure, Control::ButtonZero,
                                       Control::MenuClearZero, Control::LabelRast};
    const struct {
        Activity activity;
        std::set<Control> on;
    } table[] = {
        {Activity::Disconnected, idleUnlinked},
        {Activity::Connected,
         With({Control::ButtonConnect, Control::ButtonMeasure, Control::ButtonStream,
               Control::ButtonZero, Control::MenuClearZero, Control::LabelRast,
               Control::ValueListEditorParam, Control::TrackBarLaser, Control::RadioGroupMode},
              kSensorMenu)},
        {Activity::Measuring, running},
        {Activity::BenchRun, running},
        {Activity::Streaming,
         {Control::ButtonStream, Control::LabelRast, Control::TrackBarLaser,
          Control::RadioGroupMode}},
        {Activity::Lost, idleUnlinked},
    };
    for (const auto& row : table) {
        EXPECT_EQ(OnIn(main::EnabledControls(row.activity, ControlFacts{})), row.on)
            << "activity " << static_cast<int>(row.activity);
    }
}

TEST(EnabledControls, EveryActivityDecidesTheSameControls) {
    const auto first = main::EnabledControls(Activity::Disconnected, {});
    for (Activity activity : kActivities) {
        const auto controls = main::EnabledControls(activity, {});
        ASSERT_EQ(controls.size(), first.size());
        for (const auto& [control, on] : first) EXPECT_EQ(controls.count(control), 1u);
    }
}

TEST(EnabledControls, TheFactsAddTheirControlsOnlyWhereTheActivityAllows) {
    ControlFacts factory;
    factory.factoryBuild = true;
    ControlFacts board;
    board.analogBoard = true;
    ControlFacts encoder;
    encoder.encoderPresent = true;
    ControlFacts tried;
    tried.lastConnectKnown = true;
    for (Activity activity : kActivities) {
        const bool connected = activity == Activity::Connected;
        const bool unlinked = activity == Activity::Disconnected || activity == Activity::Lost;
        EXPECT_EQ(main::EnabledControls(activity, factory).at(Control::MenuWriteToFactory),
                  connected);
        EXPECT_FALSE(main::EnabledControls(activity, {}).at(Control::MenuWriteToFactory));
        EXPECT_TRUE(main::EnabledControls(activity, board).at(Control::LabelVOKT_U));
        EXPECT_TRUE(main::EnabledControls(activity, board).at(Control::LabelVOKT_I));
        EXPECT_FALSE(main::EnabledControls(activity, {}).at(Control::LabelVOKT_U));
        EXPECT_TRUE(main::EnabledControls(activity, encoder).at(Control::LabelEncoder));
        EXPECT_TRUE(main::EnabledControls(activity, encoder).at(Control::LabeldMORLA_Encoder));
        EXPECT_EQ(main::EnabledControls(activity, tried).at(Control::MenuReconnect), unlinked);
        EXPECT_FALSE(main::EnabledControls(activity, {}).at(Control::MenuReconnect));
    }
}

TEST(EnabledControls, AFailedPortOpeningHoldsBackOnlyTheRun) {
    ControlFacts failed;
    failed.portFailed = true;
    auto expected = main::EnabledControls(Activity::Connected, {});
    expected[Control::ButtonMeasure] = false;
    EXPECT_EQ(main::EnabledControls(Activity::Connected, failed), expected);
}

TEST(VisibleControls, TheBenchPortsShowWhileLinkedInTheFactoryBuildOnly) {
    ControlFacts factory;
    factory.factoryBuild = true;
    for (Activity activity : kActivities) {
        const bool linked = main::SensorConnected(activity);
        const auto shown = main::VisibleControls(activity, factory);
        EXPECT_EQ(shown.at(Control::ComboBoxMotorCOM), linked);
        EXPECT_EQ(shown.at(Control::LabelCOMEncoder), linked);
        EXPECT_TRUE(shown.at(Control::MenuWriteToFactory));
        EXPECT_TRUE(OnIn(main::VisibleControls(activity, {})).empty());
    }
}

struct StateRig {
    StateRig() { lang::LoadLanguage(VESKA_SOURCE_LANGUAGE_DIR, texts, "EN.INI"); }
    lang::TextTable texts;
    FakeMainView view;
    main::WindowState state{view, texts, false};
};

TEST(WindowState, TheButtonsNameWhatAClickDoesNow) {
    StateRig rig;
    const lang::TextTable& t = rig.texts;
    const struct {
        Activity activity;
        std::string connect, measure, stream;
    } table[] = {
        {Activity::Disconnected, t.Button(0), t.Button(1), t.Button(2)},
        {Activity::Connected, t.Button(10), t.Button(1), t.Button(2)},
        {Activity::Measuring, t.Button(10), t.Button(12), t.Button(2)},
        {Activity::BenchRun, t.Button(10), t.Button(12), t.Button(2)},
        {Activity::Streaming, t.Button(10), t.Button(1), t.Button(6)},
        {Activity::Lost, t.Button(0), t.Button(1), t.Button(2)},
    };
    ASSERT_NE(t.Button(12), t.Button(1)) << "EN.INI was read";
    for (const auto& row : table) {
        rig.state.Enter(row.activity);
        EXPECT_EQ(rig.view.Text(Control::ButtonConnect), row.connect);
        EXPECT_EQ(rig.view.Text(Control::ButtonMeasure), row.measure);
        EXPECT_EQ(rig.view.Text(Control::ButtonStream), row.stream);
    }
}

TEST(WindowState, EachChangePublishesTheWholeModel) {
    StateRig rig;
    rig.state.SetLastConnectKnown(true);
    rig.state.Enter(Activity::Lost);
    rig.state.ShowLink(main::LinkState::Lost, "lost");
    EXPECT_EQ(rig.view.models, 3);
    EXPECT_TRUE(rig.view.model.enabled.at(Control::MenuReconnect)) << "facts kept";
    EXPECT_EQ(rig.view.model.linkText, "lost");
    rig.state.Enter(Activity::Connected);
    EXPECT_EQ(rig.view.model.linkText, "lost") << "the line stays until it changes";
    EXPECT_FALSE(rig.view.model.enabled.at(Control::MenuReconnect));
}

TEST(WindowState, ClicksWaitForTheAnimationAndTheBenchFormFollowsEachRequest) {
    StateRig rig;
    rig.state.Resize(true);
    const uint32_t grow = rig.view.model.sizeRequest;
    rig.state.Resize(false);  // before the window saw the first request
    EXPECT_TRUE(rig.state.Animating());
    EXPECT_FALSE(rig.view.model.expanded);
    rig.state.AnimationDone(grow);
    EXPECT_TRUE(rig.state.Animating()) << "the end of an older request";
    rig.state.AnimationDone(rig.view.model.sizeRequest);
    EXPECT_FALSE(rig.state.Animating());

    rig.state.ShowBenchForm(true);
    EXPECT_TRUE(rig.view.visible[Control::FormDebug]);
    rig.view.visible[Control::FormDebug] = false;  // the operator closes it
    rig.state.Enter(Activity::Lost);
    EXPECT_FALSE(rig.view.visible[Control::FormDebug]) << "no new request, no new show";
    rig.state.ShowBenchForm(true);
    EXPECT_TRUE(rig.view.visible[Control::FormDebug]);
}

}  // namespace
}  // namespace veska::testing
