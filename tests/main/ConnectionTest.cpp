// The main window's logic against the simulated sensor on a real pseudo-terminal, reached
// as COM9 through a port directory, with a fake view standing in for the widgets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "bench/ModeTable.h"
#include "lang/Language.h"
#include "main/LinkStatus.h"
#include "main/MainWindow.h"
#include "main/StreamController.h"
#include "platform/SerialPort.h"
#include "sim/ParamMemory.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"
#include "tests/main/FakeMainView.h"
#include "tests/main/SimSensorRig.h"

namespace veska::testing {
namespace {

using main::Control;
using main::Timer;
using params::IdentityLabel;

/// The whole window logic with the simulated sensor linked as COM9.
struct WindowRig {
    explicit WindowRig(const std::string& motorTable = "", bool debugBuild = false,
                       main::BenchWiring wiring = {})
        : portDir(std::filesystem::path(::testing::TempDir()) /
                  ("veska_ports_" + std::to_string(::getpid()) + "_" + std::to_string(counter++))),
          world(80, 50),
          device(world, Options()),
          line(device),
          pty(line, (std::filesystem::create_directories(portDir), (portDir / "COM9").string())) {
        platform::SetPortDirectory(portDir.c_str());
        std::string error;
        EXPECT_TRUE(pty.Start(&error)) << error;
        main::StartOptions options;
        options.languageDirectory = VESKA_SOURCE_LANGUAGE_DIR;
        options.motorTablePath = motorTable.empty() ? (portDir / "Motor.dat").string() : motorTable;
        options.debugBuild = debugBuild;
        window = std::make_unique<main::MainWindow>(state, view, clock, nullptr, options,
                                                    std::move(wiring));
        window->FormCreate();
        window->ComboBoxCOMChange("COM9");
    }
    ~WindowRig() {
        window->FormClose();
        window.reset();
        pty.Stop();
        std::filesystem::remove_all(portDir);
    }
    static sim::SensorOptions Options() {
        sim::SensorOptions o;
        o.noise = 0.0;
        return o;
    }
    /// The window ends its height animation, as the widget reports it.
    void Animate() { window->AnimationDone(view.model.sizeRequest); }
    void Connect() {
        window->ButtonConnectClick();
        Animate();
    }

    static inline int counter = 0;
    std::filesystem::path portDir;
    sim::World world;
    sim::SensorDevice device;
    sim::SensorLine line;
    sim::PtyLink pty;
    platform::FakeClock clock;
    main::ProgramState state{clock};
    FakeMainView view;
    std::unique_ptr<main::MainWindow> window;
};

TEST(StartUp, WindowIsCollapsedIdleAndCaptionedFromTheLanguageFile) {
    WindowRig rig;
    EXPECT_EQ(rig.view.height, 160);
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonStream));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonZero));
    EXPECT_FALSE(rig.view.Enabled(Control::LabelRast));
    EXPECT_EQ(rig.view.Text(Control::LabelRast), "0.000 mm");
    EXPECT_EQ(rig.view.Text(Control::WindowCaption), "Veskacfg (setup program, release 2.0)");
    EXPECT_EQ(rig.view.Text(Control::ButtonConnect), rig.state.texts.Button(0));
    EXPECT_NE(rig.state.texts.Button(0), "0") << "EN.INI was read";
    EXPECT_EQ(rig.view.identity[IdentityLabel::Model], rig.state.texts.Label(8));
    EXPECT_EQ(rig.view.selected[main::Selector::Port], "COM4");
    EXPECT_EQ(rig.state.session.conn.portName, "\\\\.\\COM9");
    EXPECT_EQ(rig.state.session.conn.baudRate, 115200u);
    EXPECT_EQ(rig.state.session.table[9].name, rig.state.texts.Parameter(9));

    rig.window->FormShow();
    EXPECT_EQ(rig.view.aboutBoxes, 1);
}

TEST(Connect, IdentifiesReadsTheParametersAndGrowsTheWindow) {
    WindowRig rig;
    rig.window->ButtonConnectClick();
    EXPECT_TRUE(rig.state.session.conn.connected);
    EXPECT_TRUE(rig.view.TimerEnabled(Timer::TimerAnswer));
    EXPECT_TRUE(rig.window->Window().Animating());
    EXPECT_EQ(rig.view.Text(Control::ButtonConnect), rig.state.texts.Button(10));
    EXPECT_EQ(rig.state.session.grid.ParamRowCount(), 37);
    EXPECT_EQ(rig.view.identity[IdentityLabel::Model], "20");
    EXPECT_EQ(rig.view.identity[IdentityLabel::SerialNumber], "1234");
    EXPECT_EQ(rig.view.identity[IdentityLabel::Base], "80 mm");
    EXPECT_EQ(rig.view.identity[IdentityLabel::Range], "50 mm");
    EXPECT_EQ(rig.state.session.conn.measuringRange, 50);
    EXPECT_EQ(rig.state.session.conn.resultDivisor, 50000);
    EXPECT_EQ(rig.state.session.values.workValues[2], 48) << "115200 baud read from the sensor";
    EXPECT_TRUE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_TRUE(rig.view.Enabled(Control::ButtonStream));
    EXPECT_TRUE(rig.view.Enabled(Control::ValueListEditorParam));
    EXPECT_FALSE(rig.view.visible[Control::MenuWriteToFactory]) << "delivered build";
    EXPECT_EQ(rig.view.paramProgress, std::make_pair(36, 36));

    rig.Animate();
    EXPECT_EQ(rig.view.height, 795);
    EXPECT_FALSE(rig.window->Window().Animating());
}

TEST(Start, AMissingLanguageFolderIsNamedInTheStatusLine) {
    WindowRig rig;
    EXPECT_EQ(rig.view.Text(Control::StatusLine), "");  // the source tree's texts were found
    platform::FakeClock clock;
    main::ProgramState state{clock};
    FakeMainView view;
    main::StartOptions options;
    options.languageDirectory = "/nonexistent-language-folder";
    options.motorTablePath = "/nonexistent-motor-table";
    main::MainWindow window(state, view, clock, nullptr, options);
    window.FormCreate();
    EXPECT_EQ(view.Text(Control::StatusLine),
              lang::MissingLanguageNote("/nonexistent-language-folder"));
    window.FormClose();
}

TEST(Connect, ClickWhileTheWindowAnimatesStopsAfterOpeningThePort) {
    WindowRig rig;
    rig.window->Window().Resize(false);  // the window still shrinks
    rig.window->ButtonConnectClick();
    EXPECT_FALSE(rig.state.session.conn.connected);
    EXPECT_TRUE(rig.window->Sensor().IsOpen()) << "the port stays open";
    EXPECT_EQ(rig.device.Counters().requests[1], 0u) << "no Identify sent";
}

TEST(Connect, APortThatDoesNotOpenIsReportedWithItsName) {
    WindowRig rig;
    rig.window->ComboBoxCOMChange("COM31");
    platform::SetPortDirectory("/nonexistent");
    rig.window->ButtonConnectClick();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    const lang::TextTable& t = rig.state.texts;
    // The device tried follows, with the system's reason.
    const std::string head =
        t.Message(0) + " - \\\\.\\COM31.\r" + t.Message(1) + "\r(/dev/ttyS30: ";
    EXPECT_EQ(rig.view.messages[0].text.substr(0, head.size()), head);
    EXPECT_EQ(rig.view.messages[0].text.back(), ')');
    EXPECT_EQ(rig.view.messages[0].caption, t.Message(2));
    EXPECT_EQ(rig.view.messages[0].flags, 48);
    EXPECT_FALSE(rig.state.session.conn.connected);
    EXPECT_FALSE(rig.view.TimerEnabled(Timer::TimerAnswer));
}

TEST(Connect, ASilentSensorGetsTheStopMessageAndThePortCloses) {
    WindowRig rig;
    rig.device.SetSilent(true);
    rig.window->ButtonConnectClick();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_EQ(rig.view.messages[0].text, rig.state.texts.Message(7));
    EXPECT_EQ(rig.view.messages[0].flags, 16);
    EXPECT_FALSE(rig.window->Sensor().IsOpen());
    EXPECT_FALSE(rig.state.session.conn.connected);
    EXPECT_NE(rig.state.session.conn.answerStatus.load(), 0);
}

TEST(Connect, FailedParameterReadLeavesTheWindowIdentifiedButNotConnected) {
    WindowRig rig;
    rig.device.MuteParamAddress(6);  // row 7, "Number of Averaged Values"
    rig.window->ButtonConnectClick();
    EXPECT_FALSE(rig.state.session.conn.connected);
    EXPECT_EQ(rig.view.Text(Control::ButtonConnect), rig.state.texts.Button(0));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_TRUE(rig.view.TimerEnabled(Timer::TimerAnswer)) << "the watchdog runs";
    EXPECT_TRUE(rig.window->Sensor().IsOpen());
    EXPECT_EQ(rig.view.identity[IdentityLabel::Model], "20");
    EXPECT_EQ(rig.device.Counters().paramReads[6], 3u) << "three attempts";

    rig.device.MuteParamAddress(6, false);
    rig.Connect();
    EXPECT_TRUE(rig.state.session.conn.connected) << "the next click connects again";
}

TEST(Disconnect, ClosesThePortAndShrinksTheWindow) {
    WindowRig rig;
    rig.Connect();
    rig.window->ButtonConnectClick();
    EXPECT_FALSE(rig.state.session.conn.connected);
    EXPECT_FALSE(rig.window->Sensor().IsOpen());
    EXPECT_EQ(rig.view.Text(Control::ButtonConnect), rig.state.texts.Button(0));
    EXPECT_EQ(rig.view.identity[IdentityLabel::Range], rig.state.texts.Label(12));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_EQ(rig.view.Text(Control::LabelRast), "0.000 mm");
    rig.Animate();
    EXPECT_EQ(rig.view.height, 160);
}

TEST(Disconnect, DoesNothingWhileTheWindowStillGrows) {
    WindowRig rig;
    rig.window->ButtonConnectClick();  // the animation starts and is not run
    rig.window->ButtonConnectClick();
    EXPECT_TRUE(rig.state.session.conn.connected);
    EXPECT_TRUE(rig.window->Sensor().IsOpen());
}

TEST(Watchdog, TripsOnlyWhenTwoTicksInARowSeeAFailure) {
    WindowRig rig;
    rig.Connect();
    rig.device.SetSilent(true);
    EXPECT_FALSE(rig.state.session.FetchParameter(0));
    rig.window->TimerAnswerTimer();
    EXPECT_TRUE(rig.state.session.conn.connected) << "one tick is not enough";

    rig.device.SetSilent(false);
    EXPECT_TRUE(rig.state.session.FetchParameter(0));
    rig.window->TimerAnswerTimer();
    EXPECT_TRUE(rig.state.session.conn.connected) << "a good exchange in between";

    rig.device.SetSilent(true);
    EXPECT_FALSE(rig.state.session.FetchParameter(0));
    rig.window->TimerAnswerTimer();
    rig.window->TimerAnswerTimer();
    EXPECT_FALSE(rig.state.session.conn.connected);
    EXPECT_FALSE(rig.window->Sensor().IsOpen());
    EXPECT_FALSE(rig.view.TimerEnabled(Timer::TimerAnswer));
    EXPECT_TRUE(rig.window->Window().Animating());
    EXPECT_TRUE(rig.view.Enabled(Control::ButtonConnect));
    EXPECT_FALSE(rig.view.Enabled(Control::ButtonMeasure));
    EXPECT_EQ(rig.view.identity[IdentityLabel::Model], rig.state.texts.Label(8));
    EXPECT_TRUE(rig.view.messages.empty()) << "no message";
}

TEST(Watchdog, EndsARunningStreamBeforeClosingThePort) {
    WindowRig rig;
    rig.Connect();
    rig.window->ButtonStreamClick();
    ASSERT_TRUE(rig.window->State().streamRunning.load());
    rig.device.SetSilent(true);
    rig.state.session.conn.answerStatus = 3;
    rig.window->TimerAnswerTimer();
    rig.state.session.conn.answerStatus = 3;
    rig.window->TimerAnswerTimer();
    EXPECT_FALSE(rig.window->State().streamRunning.load());
    EXPECT_FALSE(rig.window->Sensor().IsOpen());
}

TEST(Watchdog, EndsARunningMeasurementSoTheNextClickStartsANewRun) {
    WindowRig rig;
    rig.Connect();
    rig.window->ButtonMeasureClick();
    ASSERT_TRUE(rig.window->MeasurementRunning());
    rig.window->TimerMainTimer();
    rig.device.SetSilent(true);
    rig.state.session.conn.answerStatus = 3;
    rig.window->TimerAnswerTimer();
    rig.state.session.conn.answerStatus = 3;
    rig.window->TimerAnswerTimer();
    EXPECT_FALSE(rig.window->MeasurementRunning());
    EXPECT_FALSE(rig.view.TimerEnabled(Timer::TimerMain));
    EXPECT_EQ(rig.view.Text(Control::ButtonMeasure), rig.state.texts.Button(1));

    rig.device.SetSilent(false);
    rig.Animate();  // the window shrinks back first
    rig.Connect();
    ASSERT_TRUE(rig.state.session.conn.connected);
    rig.window->ButtonMeasureClick();
    EXPECT_TRUE(rig.window->MeasurementRunning()) << "a click after reconnecting starts a run";
    EXPECT_FALSE(rig.view.Enabled(Control::ValueListEditorParam));
    rig.window->ButtonMeasureClick();
}

/// The parameter menu's items that talk to the sensor.
constexpr Control kSensorMenu[] = {
    Control::PopupMenuLoad,    Control::PopupMenuRead,    Control::PopupMenuCompare,
    Control::PopupMenuLoadAll, Control::PopupMenuReadAll, Control::PopupMenuCompareAll,
    Control::PopupMenuFLASH,   Control::PopupMenuDefault,
};

/// Whether every sensor item of the menu is enabled (true) or every one disabled (false);
/// nullopt for a mix or an item never set.
std::optional<bool> SensorMenuEnabled(const FakeMainView& view) {
    std::optional<bool> all;
    for (Control c : kSensorMenu) {
        const auto it = view.enabled.find(c);
        if (it == view.enabled.end() || (all && *all != it->second)) return std::nullopt;
        all = it->second;
    }
    return all;
}

TEST(SensorMenu, IsEnabledExactlyWhileConnected) {
    struct Step {
        const char* what;
        std::function<void(WindowRig&)> act;
        bool enabled;
    };
    const Step steps[] = {
        {"start", [](WindowRig&) {}, false},
        {"connect", [](WindowRig& r) { r.Connect(); }, true},
        {"disconnect", [](WindowRig& r) { r.Connect(); }, false},
        {"connect again", [](WindowRig& r) { r.Connect(); }, true},
        {"watchdog",
         [](WindowRig& r) {
             r.device.SetSilent(true);
             r.state.session.conn.answerStatus = 3;
             r.window->TimerAnswerTimer();
             r.state.session.conn.answerStatus = 3;
             r.window->TimerAnswerTimer();
             r.Animate();
         },
         false},
    };
    WindowRig rig;
    for (const Step& step : steps) {
        step.act(rig);
        EXPECT_EQ(SensorMenuEnabled(rig.view), step.enabled) << step.what;
        EXPECT_FALSE(rig.view.Enabled(Control::MenuWriteToFactory)) << step.what;
    }
}

TEST(SensorMenu, WriteToFactoryFollowsTheConnectionInTheDebugBuild) {
    WindowRig rig("", true);
    EXPECT_FALSE(rig.view.Enabled(Control::MenuWriteToFactory));
    rig.Connect();
    EXPECT_TRUE(rig.view.Enabled(Control::MenuWriteToFactory));
    rig.Connect();  // disconnect
    EXPECT_FALSE(rig.view.Enabled(Control::MenuWriteToFactory));
}

TEST(SensorMenu, AClickThatArrivesAfterTheDisconnectAsksNothing) {
    WindowRig rig;
    rig.Connect();
    rig.Connect();  // disconnect; a Write to FLASH was queued behind it
    rig.device.ResetCounters();
    for (main::ParamMenuAction action :
         {main::ParamMenuAction::Flash, main::ParamMenuAction::LoadAll,
          main::ParamMenuAction::Default, main::ParamMenuAction::Factory}) {
        rig.window->ParamMenuClick(action);
    }
    EXPECT_TRUE(rig.view.messages.empty()) << "no question, no failure report";
    EXPECT_EQ(rig.device.Counters().bytesReceived, 0u);
}

TEST(Selectors, TakeEffectAtTheNextConnectAndRejectNonNumbers) {
    WindowRig rig;
    rig.Connect();
    rig.window->ComboBoxWorkBaundChange("921600");
    EXPECT_EQ(rig.state.session.conn.baudRate, 921600u);
    EXPECT_TRUE(rig.window->Sensor().IsOpen()) << "the open port is not touched";
    rig.window->ComboBoxWorkCodeDevChange("x7");
    EXPECT_EQ(rig.state.session.conn.netAddress, 1);
    ASSERT_EQ(rig.view.errors.size(), 1u);
    EXPECT_NE(rig.view.errors[0].find("x7"), std::string::npos);
}

TEST(MotorRecord, IsChosenFromTheMotorTableAtIdentify) {
    const std::string path = ::testing::TempDir() + "/veska_motor.dat";
    std::ofstream(path) << "0.0125 270 10\r\n0.025 320 1060\r\n";
    WindowRig rig(path);
    rig.Connect();
    EXPECT_EQ(rig.state.motorTable.recordCount, 2);
    EXPECT_EQ(rig.state.session.conn.motorRecord, 1) << "range 50 does not fit a travel of 10";
    std::remove(path.c_str());
}

TEST(Close, StopsAStreamWithTwoStopRequestsBeforeThePortCloses) {
    WindowRig rig;
    rig.Connect();
    rig.window->ButtonStreamClick();
    ASSERT_TRUE(SimSensorRig::WaitFor([&] { return rig.device.Counters().samplesSent > 0; }));
    rig.window->FormClose();
    EXPECT_FALSE(rig.state.streamRunning.load());
    EXPECT_FALSE(rig.window->Sensor().IsOpen());
    EXPECT_TRUE(SimSensorRig::WaitFor([&] { return rig.device.Counters().requests[8] == 2; }));
}

TEST(Chart, ZeroClearAndAxisToggles) {
    WindowRig rig;
    rig.state.currentValue = 12.5f;
    rig.window->ButtonZeroClick();
    EXPECT_FLOAT_EQ(rig.state.zeroOffset.load(), 12.5f);

    rig.window->XAutomaticScalingClick();
    EXPECT_FALSE(rig.view.xChecked);
    EXPECT_FALSE(rig.view.bottomAutomatic);
    rig.state.session.conn.measuringRange = 50;
    rig.window->YAutomaticScalingClick();
    EXPECT_FALSE(rig.view.yChecked);
    EXPECT_FALSE(rig.view.leftAutomatic);
    EXPECT_EQ(rig.view.leftRange, std::make_pair(0.0, 50.0));
    rig.window->YAutomaticScalingClick();
    EXPECT_TRUE(rig.view.leftAutomatic);

    rig.view.points.push_back({1.0, "0", main::PointColour::Red});
    rig.window->ClearClick();
    EXPECT_TRUE(rig.view.points.empty());
}

TEST(Chart, ExportWritesTheBufferAndReportsAnUnwritableFile) {
    WindowRig rig;
    rig.state.samples.Reset();
    for (float v : {1.5f, 2.5f, 3.5f}) rig.state.samples.AppendOnePast(v);
    rig.window->ClearClick();  // the chart, not the buffer
    const std::string path = ::testing::TempDir() + "/veska_export_window.txt";
    rig.view.saveDataFile = path;
    rig.window->SaveClick();
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "1.500\r\n2.500\r\n3.500\r\n");
    EXPECT_TRUE(rig.view.messages.empty());

    rig.view.saveDataFile = "/nonexistent-dir/data.txt";
    rig.window->SaveClick();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_NE(rig.view.messages[0].text.find("/nonexistent-dir/data.txt"), std::string::npos);

    rig.view.saveDataFile.reset();  // cancelled
    rig.window->SaveClick();
    EXPECT_EQ(rig.view.messages.size(), 1u);
    std::remove(path.c_str());
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Chart, PulseModeExportWritesTheCapturedProfileAndArmsTheNextCapture) {
    WindowRig rig;
    rig.state.samples.Reset();
    for (float v : {1.5f, 2.5f, 3.5f}) rig.state.samples.AppendOnePast(v);
    bench::RunState& run = rig.window->Measurement().run;
    rig.state.measureMode = bench::kModePulse;
    run.profileSamples[0] = 120;
    run.profileSamples[1] = -7;
    run.profileSamples[2] = 3120;
    run.profileSamples[3] = 0;
    run.profileSamples[4] = 999;  // beyond profileLast
    run.profileLast = 3;
    run.captureProfile = false;

    const std::string path = ::testing::TempDir() + "/veska_export_pulse.txt";
    rig.view.saveDataFile.reset();  // cancelled: nothing written, the capture stays as it is
    rig.window->SaveClick();
    EXPECT_FALSE(run.captureProfile);

    rig.view.saveDataFile = path;
    rig.window->SaveClick();
    EXPECT_EQ(ReadWhole(path), "120\r\n-7\r\n3120\r\n0\r\n");
    EXPECT_TRUE(run.captureProfile) << "the next profile is captured for the next export";
    EXPECT_EQ(rig.clock.sleeps.back(), 10u);
    EXPECT_TRUE(rig.view.messages.empty());

    rig.view.saveDataFile = "/nonexistent-dir/profile.txt";
    run.captureProfile = false;
    rig.window->SaveClick();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_NE(rig.view.messages[0].text.find("/nonexistent-dir/profile.txt"), std::string::npos);
    EXPECT_FALSE(run.captureProfile) << "the profile not written stays for another try";

    rig.state.measureMode = bench::kModeLine;  // every other mode writes the buffer
    rig.view.saveDataFile = path;
    rig.window->SaveClick();
    EXPECT_EQ(ReadWhole(path), "1.500\r\n2.500\r\n3.500\r\n");
    std::remove(path.c_str());
}

/// A board that records what the run frame and the window ask of it.
class RecordingBoard final : public bench::AnalogBoard {
  public:
    bool Open() override {
        calls.push_back("open");
        return true;
    }
    void StartSweep() override { calls.push_back("sweep"); }
    bool UpdateReading(bool show, bench::RunView& view) override {
        calls.push_back(show ? "update" : "update-hidden");
        view.ShowReadout(bench::Readout::BoardVoltage, "1.0000 V");
        return true;
    }
    void Stop() override { calls.push_back("stop"); }
    void Close() override { calls.push_back("close"); }
    std::vector<std::string> calls;
};

TEST(DebugBuildBoard, OpenedAtStartReadDuringARunClosedOnceAtTheEnd) {
    RecordingBoard board;
    const bench::BenchDevices absent = bench::AbsentDevices();
    auto rig = std::make_unique<WindowRig>(
        "", true, main::BenchWiring{bench::BenchDevices{absent.motor, absent.encoder, board}, {}});
    EXPECT_TRUE(rig->state.analogBoardPresent);
    EXPECT_EQ(board.calls, std::vector<std::string>{"open"});
    rig->Connect();
    EXPECT_TRUE(rig->view.Enabled(Control::LabelVOKT_U));
    EXPECT_TRUE(rig->view.Enabled(Control::LabelVOKT_I));

    rig->window->ButtonMeasureClick();
    rig->window->TimerMainTimer();
    rig->window->TimerMainTimer();
    rig->window->ButtonMeasureClick();
    EXPECT_EQ(board.calls, (std::vector<std::string>{"open", "sweep", "update", "update", "stop"}));
    EXPECT_EQ(rig->view.Text(Control::LabelVOKT_U), "1.0000 V");

    board.calls.clear();
    rig->window->FormClose();
    EXPECT_FALSE(rig->state.analogBoardPresent);
    EXPECT_EQ(std::count(board.calls.begin(), board.calls.end(), "close"), 1);
    rig.reset();  // the rig's own close sequence: a second close is harmless
}

TEST(DebugBuildBoard, TheDeliveredBuildNeverOpensTheBoard) {
    RecordingBoard board;
    const bench::BenchDevices absent = bench::AbsentDevices();
    WindowRig rig("", false,
                  main::BenchWiring{bench::BenchDevices{absent.motor, absent.encoder, board}, {}});
    EXPECT_FALSE(rig.state.analogBoardPresent);
    EXPECT_TRUE(board.calls.empty());
    rig.Connect();
    EXPECT_FALSE(rig.view.Enabled(Control::LabelVOKT_U));
}

TEST(SaveAsCsv, WritesTheSensorModeOffsetStartAndTimedRowsOrReportsTheFailure) {
    WindowRig rig;
    rig.Connect();
    rig.state.measureMode.store(bench::kModeLine);
    rig.state.zeroOffset.store(1.5f);
    rig.state.samplesStart = "2026-12-09 15:04:05";
    rig.state.samplesBaud = 44000;  // one sample a millisecond
    rig.state.samples.Reset();
    for (const float v : {3.0f, 4.0f, 5.0f}) rig.state.samples.AppendNewest(v);

    const std::string path = (rig.portDir / "samples.csv").string();
    rig.view.saveCsvFile = path;
    rig.window->SaveCsvClick();
    std::ifstream file(path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_EQ(text, "Serial number,1234,Mode," +
                        std::string(bench::FindMode(bench::kModeLine)->caption) +
                        ",Zero offset,1.500,Start,2026-12-09 15:04:05,Samples,2,First sample,0,"
                        "Last sample,1,First time [s],0.000000,Last time [s],0.001000\r\n"
                        "Index,Time [s],Value\r\n0,0.000000,3.000\r\n1,0.001000,4.000\r\n");
    EXPECT_TRUE(rig.view.messages.empty());

    rig.view.saveCsvFile = (rig.portDir / "missing" / "x.csv").string();
    rig.window->SaveCsvClick();
    ASSERT_EQ(rig.view.messages.size(), 1u);
    EXPECT_NE(rig.view.messages[0].text.find("x.csv"), std::string::npos);
}

// ---- The link line of the status bar and Reconnect -------------------------------------

/// "COM9 (/dev/pts/N), 115200 bit/s, address 1" with the pty the port directory points at.
std::string Com9(const WindowRig& rig, uint32_t baud = 115200, int address = 1) {
    return "COM9 (" + std::filesystem::canonical(rig.portDir / "COM9").string() + "), " +
           std::to_string(baud) + " bit/s, address " + std::to_string(address);
}

TEST(LinkLine, NamesThePortTheDeviceItResolvedToTheRateAndTheAddress) {
    WindowRig rig;
    EXPECT_EQ(rig.view.linkText, "Not connected");
    EXPECT_FALSE(rig.view.reconnectAvailable) << "nothing to repeat before the first connect";
    EXPECT_TRUE(rig.view.searchAvailable);
    rig.Connect();
    EXPECT_EQ(rig.view.linkState, main::LinkState::Connected);
    EXPECT_EQ(rig.view.linkText, "Connected: " + Com9(rig));
    EXPECT_FALSE(rig.view.reconnectAvailable);
    EXPECT_FALSE(rig.view.searchAvailable) << "the search needs the port free";
    rig.window->ButtonConnectClick();
    EXPECT_EQ(rig.view.linkText, "Not connected");
    EXPECT_TRUE(rig.view.reconnectAvailable);
}

TEST(LinkLine, SaysWhyAConnectFailed) {
    WindowRig rig;
    rig.device.SetSilent(true);
    rig.window->ButtonConnectClick();
    EXPECT_EQ(rig.view.linkState, main::LinkState::Failed);
    EXPECT_EQ(rig.view.linkText, "Not connected: no sensor answered at " + Com9(rig));

    rig.device.SetSilent(false);
    rig.device.MuteParamAddress(6);
    rig.window->ButtonConnectClick();
    EXPECT_EQ(rig.view.linkText, "Connected: " + Com9(rig) + " (parameters not read)");
    EXPECT_TRUE(rig.view.searchAvailable);
    rig.window->PrepareSearch();  // the search needs the port the identify left open
    EXPECT_FALSE(rig.window->Sensor().IsOpen());
    EXPECT_FALSE(rig.view.TimerEnabled(Timer::TimerAnswer));
    EXPECT_EQ(rig.view.linkText, "Not connected");

    platform::SetPortDirectory("/nonexistent");
    rig.window->ComboBoxCOMChange("COM31");
    rig.window->ButtonConnectClick();
    EXPECT_EQ(rig.view.linkText, "Not connected: COM31 (/dev/ttyS30) did not open");
    EXPECT_TRUE(rig.view.reconnectAvailable);
}

TEST(LinkLine, TheWatchdogSaysTheSensorStoppedAnsweringAndWhenAndReconnectRepeatsTheConnect) {
    WindowRig rig;
    rig.window->Status().timeOfDay = [] { return std::string("17:45:02"); };
    rig.Connect();
    rig.device.SetSilent(true);
    EXPECT_FALSE(rig.state.session.FetchParameter(0));
    rig.window->TimerAnswerTimer();
    rig.window->TimerAnswerTimer();
    ASSERT_FALSE(rig.state.session.conn.connected);
    EXPECT_EQ(rig.view.linkState, main::LinkState::Lost);
    EXPECT_EQ(rig.view.linkText, "Sensor lost: " + Com9(rig) +
                                     " stopped answering at 17:45:02; the connection was closed");
    EXPECT_TRUE(rig.view.messages.empty()) << "a line, never a box";
    EXPECT_TRUE(rig.view.reconnectAvailable);

    // The operator looks at other choices meanwhile; Reconnect repeats the last connect.
    rig.window->ComboBoxWorkBaundChange("9600");
    rig.window->ComboBoxWorkCodeDevChange("5");
    rig.device.SetSilent(false);
    rig.Animate();
    rig.window->ReconnectClick();
    rig.Animate();
    EXPECT_TRUE(rig.state.session.conn.connected);
    EXPECT_EQ(rig.state.session.conn.baudRate, 115200u);
    EXPECT_EQ(rig.state.session.conn.netAddress, 1);
    EXPECT_EQ(rig.view.selected[main::Selector::Baud], "115200") << "the selectors follow";
    EXPECT_EQ(rig.view.selected[main::Selector::Address], "1");
    EXPECT_EQ(rig.view.selected[main::Selector::Port], "COM9");
    EXPECT_EQ(rig.view.linkText, "Connected: " + Com9(rig));

    const size_t connects = rig.device.Counters().requests[1];
    rig.window->ReconnectClick();
    EXPECT_EQ(rig.device.Counters().requests[1], connects) << "nothing while connected";
}

TEST(LinkLine, ConnectToTakesTheFoundSensorsRateAndAddress) {
    WindowRig rig;
    rig.device.SetParam(sim::addr::kBaudCode, 57600 / 2400);
    rig.device.SetParam(sim::addr::kNetAddress, 9);
    rig.window->ConnectTo({"\\\\.\\COM9", 57600, 9});
    rig.Animate();
    EXPECT_TRUE(rig.state.session.conn.connected);
    EXPECT_EQ(rig.view.selected[main::Selector::Baud], "57600");
    EXPECT_EQ(rig.view.selected[main::Selector::Address], "9");
    EXPECT_EQ(rig.view.linkText, "Connected: " + Com9(rig, 57600, 9));
    ASSERT_TRUE(rig.window->LastConnect().has_value());
    EXPECT_EQ(rig.window->LastConnect()->address, 9);
}

TEST(LinkLine, ARunShowsItsResultRateAndFailedRequestsThenItsTotals) {
    WindowRig rig;
    rig.Connect();
    rig.window->ButtonMeasureClick();
    rig.window->LinkStatusTick();
    EXPECT_EQ(rig.view.linkState, main::LinkState::Busy);
    EXPECT_EQ(rig.view.linkText,
              "Connected: " + Com9(rig) + " | measuring: starting, failed requests 0");
    for (int i = 0; i < 40; ++i) rig.window->TimerMainTimer();
    rig.device.SetSilent(true);
    for (int i = 0; i < 2; ++i) rig.window->TimerMainTimer();
    rig.clock.now += 1000;  // the ticks themselves took some fake time as well
    rig.window->LinkStatusTick();
    const std::string& text = rig.view.linkText;
    EXPECT_NE(text.find(" | measuring: "), std::string::npos) << text;
    EXPECT_NE(text.find(" results/s, failed requests 2"), std::string::npos) << text;
    rig.device.SetSilent(false);
    rig.window->ButtonMeasureClick();
    rig.window->LinkStatusTick();
    EXPECT_EQ(rig.view.linkState, main::LinkState::Connected);
    EXPECT_EQ(rig.view.linkText,
              "Connected: " + Com9(rig) + " | last run: results 40, failed requests 2");
}

/// The shipped English texts.
lang::TextTable EnglishTexts() {
    lang::TextTable texts;
    lang::LoadLanguage(VESKA_SOURCE_LANGUAGE_DIR, texts, "EN.INI");
    return texts;
}

TEST(LinkStatusLine, AStreamShowsItsSampleRateAndLostSamples) {
    FakeMainView view;
    platform::FakeClock clock;
    const lang::TextTable texts = EnglishTexts();
    main::WindowState window(view, texts, false);
    main::LinkStatus status(window, clock, texts);
    status.ShowConnected({"\\\\.\\/dev/null", 921600, 3}, true);
    EXPECT_EQ(view.linkText, "Connected: /dev/null, 921600 bit/s, address 3");
    status.StartTraffic(true, {});
    clock.now += 100;
    status.TrafficTick({500, 1});
    EXPECT_EQ(view.linkText,
              "Connected: /dev/null, 921600 bit/s, address 3 | streaming: "
              "starting, lost samples 1")
        << "no rate over less than 200 ms";
    clock.now += 900;
    status.TrafficTick({20000, 3});
    EXPECT_EQ(view.linkText,
              "Connected: /dev/null, 921600 bit/s, address 3 | streaming: "
              "20000 samples/s, lost samples 3");
    status.StopTraffic({20950, 3});
    EXPECT_EQ(view.linkText,
              "Connected: /dev/null, 921600 bit/s, address 3 | last stream: "
              "samples 20950, lost samples 3");
    EXPECT_FALSE(status.TrafficRunning());
}

TEST(LinkStatusLine, UsbPortsNameTheirDevice) {
    const lang::TextTable texts = EnglishTexts();
    EXPECT_EQ(main::LinkStatus::DescribePort("\\\\.\\USB", texts), "USB (USB serial converter)");
    EXPECT_EQ(main::LinkStatus::DescribePort("\\\\.\\USB_PELRIN", texts),
              "USB_PELRIN (USB adapter)");
}

TEST(LinkStatusLine, TheConnectedLineFollowsTheAddressInUse) {
    FakeMainView view;
    platform::FakeClock clock;
    const lang::TextTable texts = EnglishTexts();
    main::WindowState window(view, texts, false);
    main::LinkStatus status(window, clock, texts);
    status.ShowConnected({"\\\\.\\/dev/null", 115200, 1}, true);
    status.FollowAddress(5);
    EXPECT_EQ(view.linkText, "Connected: /dev/null, 115200 bit/s, address 5");
    EXPECT_EQ(status.ShownAddress(), 5);
    status.ShowDisconnected();
    status.FollowAddress(7);  // no connection: nothing to name
    EXPECT_EQ(view.linkText, "Not connected");
}

}  // namespace
}  // namespace veska::testing
