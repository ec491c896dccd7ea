#pragma once
#include <optional>
#include <string>
#include <utility>

#include "main/MainView.h"
#include "params/SensorSession.h"

namespace veska::main {

/// A main view that shows nothing: for the logic where there is no window (the command-line
/// tool, benchmarks). Every question is cancelled, confirmations included, so nothing is
/// approved that nobody saw; the parameter part is the session's silent view, so the two
/// answer alike. Derived views override what they want to keep.
class NullMainView : public MainView {
  public:
    void ShowWindow(const WindowModel&) override {}
    void SetTimerEnabled(Timer, bool) override {}
    void SetTimerInterval(Timer, int) override {}
    void Select(Selector, const std::string&) override {}
    void SelectBenchModeItem(int) override {}

    // bench::RunView
    void ShowValue(const std::string&) override {}
    void ShowReadout(bench::Readout, const std::string&) override {}
    void ShowProgress(int) override {}
    void ChartClear() override {}
    void ChartAddPoint(double, const std::string&, PointColour) override {}
    void ChartAddPoints(const float*, int, int, PointColour) override {}
    void ChartRepaint() override {}
    void ChartSetTitle(const std::string&, bool) override {}
    void ChartSetAxisTitles(const std::string&, const std::string&) override {}
    void ChartSetFoot(const std::string&) override {}
    void SetBottomAxisAutomatic(bool) override {}
    void SetBottomAxisRange(double, double) override {}
    void SetLeftAxisAutomatic(bool) override {}
    void SetLeftAxisRange(double, double) override {}
    std::optional<std::string> AskReportFile(const std::string&) override { return std::nullopt; }
    bool SaveChartImage(const std::string&, int, int) override { return false; }

    // WindowQuestions
    std::optional<std::string> AskFile(FileQuestion) override { return std::nullopt; }
    std::pair<int, int> ShowRangeDialog(int begin, int end) override { return {begin, end}; }
    void ShowAboutBox() override {}

    // params::ParamView
    int MessageBox(const std::string& text, const std::string& caption, int flags) override {
        return Silent().MessageBox(text, caption, flags);
    }
    void ShowError(const std::string&) override {}
    void Beep() override {}
    void SetParamProgress(int, int) override {}
    void RefreshGrid() override {}
    void SelectBaudItem(int) override {}
    void SelectAddressItem(int) override {}
    void SetIdentityLabel(params::IdentityLabel, const std::string&) override {}
    std::string IdentityLabelText(params::IdentityLabel) const override { return {}; }
    std::optional<std::string> AskSaveParamFile(const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskOpenParamFile() override { return std::nullopt; }

  private:
    static params::ParamView& Silent() { return params::SilentParamView(); }
};

}  // namespace veska::main
