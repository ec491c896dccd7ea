#pragma once
#include <array>
#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "main/NullMainView.h"
#include "report/ChartDrawing.h"
#include "tools/veskactl/ConsoleAnswers.h"

namespace veska::tools {

/// The main view of a headless bench run. It keeps the state of the window's timers (their
/// enabled state, interval and the moment each was last armed) for the loop that drives
/// them, prints message boxes and errors on the error stream, answers confirmations with OK
/// only with --yes (else refuses and notes it), a Retry/Cancel question with Retry up to
/// three times with --yes (else Cancel), prints the run's state line, answers the save dialogs with
/// files in the run's output folder (report files and images too) and keeps what the run shows
/// (value label, read-outs, progress bar) for the progress lines, and the chart's points for the
/// report image (report/ChartDrawing.h). Everything else is shown
/// nowhere.
class HeadlessView final : public main::NullMainView {
  public:
    using SteadyClock = std::chrono::steady_clock;

    HeadlessView(std::ostream& err, bool yes) : err_(err), answers_(yes) {}

    /// The save dialogs answer with directory/stem plus an extension (".txt" for the data
    /// export, ".prm" for a parameter file without a preset name).
    void SetFileStem(const std::string& directory, const std::string& stem);
    /// directory/stem + extension.
    std::string FileInDirectory(const std::string& extension) const;

    // Timers: a timer is due at the moment it was last armed (enabled, or its interval
    // changed while enabled) plus its interval, as a single-shot window timer restarted
    // by every enable.
    void SetTimerEnabled(main::Timer timer, bool enabled) override;
    bool TimerEnabled(main::Timer timer) const;
    void SetTimerInterval(main::Timer timer, int milliseconds) override;
    /// When the timer fires next; nullopt while it is disabled.
    std::optional<SteadyClock::time_point> DueAt(main::Timer timer) const;
    /// The loop fired the timer: it is armed again from now (a periodic timer).
    void Fired(main::Timer timer);
    /// Interval [ms].
    int Interval(main::Timer timer) const;

    /// Prints the window's note (a language file not found) once.
    void ShowWindow(const main::WindowModel& model) override;
    void ShowValue(const std::string& text) override { value_ = text; }
    void ShowRunState(const std::string& text) override;
    void ShowProgress(int position) override { progress_ = position; }

    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowError(const std::string& text) override;
    void SetIdentityLabel(params::IdentityLabel label, const std::string& text) override {
        labels_[label] = text;
    }
    std::string IdentityLabelText(params::IdentityLabel label) const override;
    /// The data export lands in the output folder; the other save dialogs are cancelled.
    std::optional<std::string> AskFile(main::FileQuestion question) override;
    std::optional<std::string> AskSaveParamFile(const std::string& presetName) override;
    /// A headless run has no file to open: the dialog is cancelled.
    std::optional<std::string> AskOpenParamFile() override { return std::nullopt; }
    /// The preset's file name in the output folder.
    std::optional<std::string> AskReportFile(const std::string& preset) override;
    std::string ReportImagePath(const std::string& name) override;
    /// Writes the chart's points as a BMP of width x height (RenderChartBmp).
    bool SaveChartImage(const std::string& path, int width, int height) override;

    void ChartClear() override { chart_ = report::ChartPicture{}; }
    void ChartAddPoint(double y, const std::string&, main::PointColour) override {
        chart_.values.push_back(y);
    }
    void ChartAddPoints(const float* values, int count, int, main::PointColour) override;
    void ChartSetTitle(const std::string& text, bool visible) override {
        chart_.title = visible ? text : std::string();
    }
    void ChartSetAxisTitles(const std::string& left, const std::string& bottom) override {
        chart_.leftTitle = left;
        chart_.bottomTitle = bottom;
    }
    void ChartSetFoot(const std::string& text) override { chart_.foot = text; }
    void ChartSetBottomScale(double unitsPerPoint) override { chart_.bottomScale = unitsPerPoint; }
    /// The chart as the report image will show it.
    const report::ChartPicture& Chart() const { return chart_; }

    // What the run showed.
    const std::string& ValueText() const { return value_; }
    int Progress() const { return progress_; }

    /// Error boxes, error displays and refused confirmations since the last ClearProblems,
    /// one text each.
    const std::vector<std::string>& Problems() const { return problems_; }
    /// A confirmation was refused for want of --yes since the last ClearProblems.
    bool Refused() const { return refused_; }
    void ClearProblems();

  private:
    struct TimerState {
        bool enabled = false;
        int interval = 1;  ///< [ms]
        SteadyClock::time_point armed{};
    };
    TimerState& StateOf(main::Timer timer) { return timers_[static_cast<size_t>(timer)]; }
    const TimerState& StateOf(main::Timer timer) const {
        return timers_[static_cast<size_t>(timer)];
    }
    void PrintLines(const std::string& prefix, const std::string& text);

    std::ostream& err_;
    ConsoleAnswers answers_;
    std::string status_;  ///< the run's state line last printed
    std::string note_;    ///< the window's note last printed
    std::string directory_ = ".";
    std::string stem_ = "veskactl";
    std::array<TimerState, 2> timers_{};  ///< by main::Timer
    std::string value_;
    int progress_ = 0;
    std::vector<std::string> problems_;
    bool refused_ = false;
    std::map<params::IdentityLabel, std::string> labels_;
    report::ChartPicture chart_;  ///< the chart's texts and points since the last ChartClear
};

}  // namespace veska::tools
