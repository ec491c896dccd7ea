#pragma once
// The program's unattended runs that drive the window as an operator would and save it as
// pictures: --screenshot and --screenshot-bench. Every step is a click on the window or a
// timer step of the event loop; the logic runs on its own thread meanwhile.
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

namespace veska::main {
class LogicThread;
class MainWindow;
struct ProgramState;
}  // namespace veska::main

namespace veska::ui {
class TFormMain;
class TFormDebug;
class StationPanel;
}  // namespace veska::ui

namespace veska::app {

/// --screenshot: connect, wait for the grid and the window's growth, measure for a second,
/// save the window, quit.
class ScreenshotRun {
  public:
    ScreenshotRun(ui::TFormMain& form, main::LogicThread& thread, main::MainWindow& logic,
                  std::string path);

    void Start();
    /// 0 when the picture was saved after a connect, 1 otherwise.
    int Result() const { return result_; }

  private:
    using Clock = std::chrono::steady_clock;
    void Poll(Clock::time_point since);
    /// Grabs once the last measurement has been shown and the chart has drawn it.
    void WaitThenGrab(Clock::time_point since);
    void Grab();

    ui::TFormMain& form_;
    main::LogicThread& thread_;
    main::MainWindow& logic_;
    std::string path_;
    int result_ = 0;
};

/// --screenshot-bench (factory build): connect, choose Poverka in the bench form, start it,
/// save the bench form and the window once the run has recorded a while (bench-run.png,
/// bench-run-window.png), and the window with the report's chart once the run has ended
/// (report-chart.png). The run's own files land in the current directory.
class BenchScreenshotRun {
  public:
    BenchScreenshotRun(ui::TFormMain& form, ui::TFormDebug& benchForm, main::LogicThread& thread,
                       main::MainWindow& logic, const main::ProgramState& state, std::string dir);

    void Start();
    int Result() const { return result_; }

  private:
    using Clock = std::chrono::steady_clock;
    enum class Stage { Connecting, Recording, Reporting };
    static constexpr int32_t kSamplesBeforeShot = 300;

    /// The logic's run state as the logic thread last saw it.
    void Sample();
    void Step();
    void Save(QWidget& widget, const char* name);
    void Finish();

    ui::TFormMain& form_;
    ui::TFormDebug& benchForm_;
    main::LogicThread& thread_;
    main::MainWindow& logic_;
    const main::ProgramState& state_;
    std::string dir_;
    Stage stage_ = Stage::Connecting;
    Clock::time_point started_{};
    std::atomic<bool> running_{true};  ///< written on the logic thread
    std::atomic<int32_t> samples_{0};  ///< written on the logic thread
    int result_ = 0;
};

/// --screenshot-station (factory build): connect, run the sensor through the sequence offered
/// as "verification" (else the first offered) in the station panel as operator "Screenshot",
/// its files into DIR/runs, and save the panel with the unit's verdict (station.png) and the
/// window (station-window.png). The results go to the store the settings name (the default
/// file in the data folder: set XDG_DATA_HOME for a throwaway one).
class StationScreenshotRun {
  public:
    StationScreenshotRun(ui::TFormMain& form, ui::StationPanel& panel, std::string dir);

    void Start();
    /// 0 when the unit ended with a verdict and the pictures were saved.
    int Result() const { return result_; }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kLongest = std::chrono::minutes(10);
    void Step();
    void Save(QWidget& widget, const char* name);
    /// Says why on the terminal, saves the panel as it is and quits; the run failed.
    void Fail(const std::string& why);

    ui::TFormMain& form_;
    ui::StationPanel& panel_;
    std::string dir_;
    bool started_ = false;
    Clock::time_point since_{};
    int result_ = 0;
};

}  // namespace veska::app
