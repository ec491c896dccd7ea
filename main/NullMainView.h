#pragma once
#include <optional>
#include <string>
#include <utility>

#include "main/MainView.h"

namespace veska::main {

/// A main view that shows nothing and answers every question with OK or "cancelled":
/// for the logic where there is no window (the command-line tool, benchmarks). Derived
/// views override what they want to keep.
class NullMainView : public MainView {
  public:
    void SetText(Control, const std::string&) override {}
    void SetEnabled(Control, bool) override {}
    void SetVisible(Control, bool) override {}
    void SetTimerEnabled(Timer, bool) override {}
    bool TimerEnabled(Timer) const override { return false; }
    void SetTimerInterval(Timer, int) override {}
    int WindowHeight() const override { return 0; }
    void SetWindowHeight(int) override {}
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
    void SetAutoScaleChecks(bool, bool) override {}
    void ChartSetLiveTrace(const std::vector<double>&, const std::vector<double>&) override {}
    void ChartSetStatistics(const acquire::ChartStatistics&) override {}
    void ChartShowZeroOffset(const std::string&) override {}
    std::optional<std::string> AskSaveDataFile() override { return std::nullopt; }
    std::optional<std::string> AskSaveCsvFile() override { return std::nullopt; }
    std::optional<std::string> AskSaveImageFile() override { return std::nullopt; }
    std::optional<std::string> AskReportFile(const std::string&) override { return std::nullopt; }
    bool SaveChartImage(const std::string&, int, int) override { return false; }
    std::pair<int, int> ShowRangeDialog(int begin, int end) override { return {begin, end}; }
    void ShowAboutBox() override {}
    void SelectBenchModeItem(int) override {}
    void SetBenchProgress(int) override {}
    void SelectPortItem(int) override {}
    void ShowLinkStatus(LinkState, const std::string&) override {}
    void SetLinkActions(bool, bool) override {}

    int MessageBox(const std::string&, const std::string&, int) override { return params::kIdOk; }
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
};

}  // namespace veska::main
