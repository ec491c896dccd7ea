#pragma once
#include <atomic>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "main/MainView.h"

namespace veska::testing {

/// A MainView that records what the logic showed (the window model's parts in the maps of
/// the controls, as the window would show them) and answers as a scripted operator would.
/// Meant for the interface thread only: every call made from another thread is counted in
/// foreignThreadCalls (a test asserts it stays 0) and otherwise handled as usual.
class FakeMainView : public main::MainView {
  public:
    using Control = main::Control;
    using Timer = main::Timer;
    using PointColour = main::PointColour;

    struct Point {
        double y;
        std::string label;
        PointColour colour;
    };
    struct Message {
        std::string text;
        std::string caption;
        int flags;
    };

    // What was shown.
    std::map<Control, std::string> texts;
    std::vector<std::pair<Control, std::string>> textLog;  ///< every SetText, in order
    std::map<Control, bool> enabled;
    std::map<Control, bool> visible;
    std::map<Timer, bool> timers;
    std::map<Timer, int> intervals;
    int height = 160;
    std::vector<Point> points;
    int chartClears = 0;
    int repaints = 0;
    int addPointsCalls = 0;  ///< ChartAddPoints calls (one per stream stop with samples)
    std::string chartTitle;
    bool chartTitleVisible = true;
    std::string leftAxisTitle, bottomAxisTitle, chartFoot;
    bool bottomAutomatic = true, leftAutomatic = true;
    std::pair<double, double> bottomRange{0, 0}, leftRange{0, 0};
    std::vector<std::pair<double, double>> bottomRanges;  ///< every SetBottomAxisRange
    bool xChecked = true, yChecked = true;
    std::vector<Message> messages;
    std::vector<std::string> errors;
    int beeps = 0;
    std::pair<int, int> paramProgress{0, 0};
    int gridRefreshes = 0;
    int baudItem = -1, addressItem = -1, benchModeItem = -1;
    std::vector<int> benchProgress;  ///< every ShowProgress position
    std::map<params::IdentityLabel, std::string> identity;
    int aboutBoxes = 0;
    std::vector<std::pair<int, int>> rangeDialogs;
    main::LinkState linkState = main::LinkState::Disconnected;
    std::string linkText;
    std::vector<std::string> linkLog;  ///< every link line shown, in order
    bool reconnectAvailable = false, searchAvailable = false;
    main::WindowModel model;  ///< the last model shown
    int models = 0;           ///< ShowWindow calls
    uint32_t benchFormRequest = 0;
    std::map<main::Selector, std::string> selected;  ///< the last Select of each selector

    // Scripted answers.
    std::deque<int> messageAnswers;  ///< next answers; kIdOk when empty
    std::optional<std::string> saveDataFile;
    std::optional<std::string> saveCsvFile;
    std::optional<std::string> saveImageFile;
    int liveTraces = 0;  ///< ChartSetLiveTrace calls
    std::vector<double> liveX, liveY;
    acquire::ChartStatistics statistics;
    std::string zeroOffsetText;
    std::deque<std::optional<std::string>> reportFiles;  ///< AskReportFile's next answers
    std::vector<std::string> reportPresets;              ///< every AskReportFile preset
    std::string reportFolder;  ///< where ReportImagePath puts a report's files; empty: here
    struct ChartImage {
        std::string path;
        int width = 0;
        int height = 0;
    };
    std::vector<ChartImage> chartImages;  ///< every SaveChartImage request
    bool chartImagesWritten = true;       ///< SaveChartImage's answer
    std::optional<std::string> saveParamFile;
    std::optional<std::string> openParamFile;
    std::string lastPresetName;
    std::pair<int, int> rangeAnswer{0, 100};

    mutable std::atomic<int> foreignThreadCalls{0};

    std::string Text(Control c) const {
        auto it = texts.find(c);
        return it == texts.end() ? std::string() : it->second;
    }
    bool Enabled(Control c) const {
        auto it = enabled.find(c);
        return it != enabled.end() && it->second;
    }

    // MainView.
    /// Takes the model's captions, enables and visibility into the maps above (a caption that
    /// changed goes to textLog), and its link line and window size.
    void ShowWindow(const main::WindowModel& m) override {
        Touch();
        ++models;
        model = m;
        for (const auto& [c, text] : m.captions) {
            const auto it = texts.find(c);
            if (it != texts.end() && it->second == text) continue;
            texts[c] = text;
            textLog.emplace_back(c, text);
        }
        if (m.note != Text(Control::StatusLine) && !m.note.empty()) ShowNote(m.note);
        for (const auto& [c, on] : m.enabled) enabled[c] = on;
        for (const auto& [c, on] : m.visible) visible[c] = on;
        if (m.benchFormRequest != benchFormRequest) {
            benchFormRequest = m.benchFormRequest;
            visible[Control::FormDebug] = m.benchFormShown;
        }
        if (m.linkText != linkText || m.linkState != linkState || linkLog.empty()) {
            linkState = m.linkState;
            linkText = m.linkText;
            linkLog.push_back(m.linkText);
        }
        reconnectAvailable = enabled[Control::MenuReconnect];
        searchAvailable = enabled[Control::MenuFindSensor];
        xChecked = m.xAutoScale;
        yChecked = m.yAutoScale;
        zeroOffsetText = m.zeroOffset;
        height = m.expanded ? 795 : 160;
    }
    void SetTimerEnabled(Timer t, bool on) override {
        Touch();
        timers[t] = on;
    }
    bool TimerEnabled(Timer t) const {
        Touch();
        auto it = timers.find(t);
        return it != timers.end() && it->second;
    }
    void SetTimerInterval(Timer t, int ms) override {
        Touch();
        intervals[t] = ms;
    }
    void Select(main::Selector selector, const std::string& text) override {
        Touch();
        selected[selector] = text;
    }

    // bench::RunView beyond the chart.
    void ShowValue(const std::string& text) override {
        Touch();
        texts[Control::LabelRast] = text;
        textLog.emplace_back(Control::LabelRast, text);
    }
    void ShowReadout(bench::Readout readout, const std::string& text) override {
        Touch();
        static constexpr Control kControls[] = {Control::LabelVOKT_U, Control::LabelVOKT_I,
                                                Control::LabelEncoder,
                                                Control::LabeldMORLA_Encoder};
        texts[kControls[static_cast<int>(readout)]] = text;
        textLog.emplace_back(kControls[static_cast<int>(readout)], text);
    }
    void ShowProgress(int position) override {
        Touch();
        benchProgress.push_back(position);
    }
    void ShowRunState(const std::string& text) override {
        Touch();
        ShowNote(text);
    }
    void ChartClear() override {
        Touch();
        points.clear();
        ++chartClears;
    }
    void ChartAddPoint(double y, const std::string& label, PointColour colour) override {
        Touch();
        points.push_back({y, label, colour});
    }
    void ChartAddPoints(const float* values, int count, int firstLabel,
                        PointColour colour) override {
        Touch();
        ++addPointsCalls;
        for (int i = 0; i < count; ++i) {
            points.push_back({values[i], std::to_string(firstLabel + i), colour});
        }
    }
    void ChartRepaint() override {
        Touch();
        ++repaints;
    }
    void ChartSetTitle(const std::string& text, bool isVisible) override {
        Touch();
        chartTitle = text;
        chartTitleVisible = isVisible;
    }
    void ChartSetAxisTitles(const std::string& left, const std::string& bottom) override {
        Touch();
        leftAxisTitle = left;
        bottomAxisTitle = bottom;
    }
    void ChartSetFoot(const std::string& text) override {
        Touch();
        chartFoot = text;
    }
    void SetBottomAxisAutomatic(bool automatic) override {
        Touch();
        bottomAutomatic = automatic;
    }
    void SetBottomAxisRange(double minimum, double maximum) override {
        Touch();
        bottomRange = {minimum, maximum};
        bottomRanges.emplace_back(minimum, maximum);
    }
    void SetLeftAxisAutomatic(bool automatic) override {
        Touch();
        leftAutomatic = automatic;
    }
    void SetLeftAxisRange(double minimum, double maximum) override {
        Touch();
        leftRange = {minimum, maximum};
    }
    void ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) override {
        Touch();
        ++liveTraces;
        liveX = x;
        liveY = y;
    }
    void ChartSetStatistics(const acquire::ChartStatistics& s) override {
        Touch();
        statistics = s;
    }
    std::optional<std::string> AskFile(main::FileQuestion question) override {
        Touch();
        switch (question) {
            case main::FileQuestion::DataFile:
                return saveDataFile;
            case main::FileQuestion::CsvFile:
                return saveCsvFile;
            case main::FileQuestion::ChartImage:
                return saveImageFile;
        }
        return std::nullopt;
    }
    /// Records the preset; answers reportFiles in order, then saveDataFile.
    std::optional<std::string> AskReportFile(const std::string& preset) override {
        Touch();
        reportPresets.push_back(preset);
        if (reportFiles.empty()) return saveDataFile;
        std::optional<std::string> answer = reportFiles.front();
        reportFiles.pop_front();
        return answer;
    }
    /// Report images and run records go into reportFolder, when one is set.
    std::string ReportImagePath(const std::string& name) override {
        return reportFolder.empty() ? name : (std::filesystem::path(reportFolder) / name).string();
    }
    /// Records the request; answers chartImagesWritten.
    bool SaveChartImage(const std::string& path, int imageWidth, int imageHeight) override {
        Touch();
        chartImages.push_back({path, imageWidth, imageHeight});
        return chartImagesWritten;
    }
    std::pair<int, int> ShowRangeDialog(int beginPercent, int endPercent) override {
        Touch();
        rangeDialogs.emplace_back(beginPercent, endPercent);
        return rangeAnswer;
    }
    void ShowAboutBox() override {
        Touch();
        ++aboutBoxes;
    }
    void SelectBenchModeItem(int index) override {
        Touch();
        benchModeItem = index;
    }
    // ParamView.
    int MessageBox(const std::string& text, const std::string& caption, int flags) override {
        Touch();
        messages.push_back({text, caption, flags});
        if (messageAnswers.empty()) return params::kIdOk;
        const int answer = messageAnswers.front();
        messageAnswers.pop_front();
        return answer;
    }
    void ShowError(const std::string& text) override {
        Touch();
        errors.push_back(text);
    }
    void Beep() override {
        Touch();
        ++beeps;
    }
    void SetParamProgress(int maximum, int position) override {
        Touch();
        paramProgress = {maximum, position};
    }
    void RefreshGrid() override {
        Touch();
        ++gridRefreshes;
    }
    void SelectBaudItem(int index) override {
        Touch();
        baudItem = index;
    }
    void SelectAddressItem(int index) override {
        Touch();
        addressItem = index;
    }
    void SetIdentityLabel(params::IdentityLabel label, const std::string& text) override {
        Touch();
        identity[label] = text;
    }
    std::string IdentityLabelText(params::IdentityLabel label) const override {
        Touch();
        auto it = identity.find(label);
        return it == identity.end() ? std::string() : it->second;
    }
    std::optional<std::string> AskSaveParamFile(const std::string& presetName) override {
        Touch();
        lastPresetName = presetName;
        return saveParamFile;
    }
    std::optional<std::string> AskOpenParamFile() override {
        Touch();
        return openParamFile;
    }

  private:
    void ShowNote(const std::string& text) {
        texts[Control::StatusLine] = text;
        textLog.emplace_back(Control::StatusLine, text);
    }
    void Touch() const {
        if (std::this_thread::get_id() != owner_) ++foreignThreadCalls;
    }
    std::thread::id owner_ = std::this_thread::get_id();
};

}  // namespace veska::testing
