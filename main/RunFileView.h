#pragma once
#include <optional>
#include <string>
#include <vector>

#include "bench/RunView.h"
#include "report/ChartPicture.h"

namespace veska::main {

/// The view a run's steps see: everything goes on to the window's view, and besides it keeps
/// the chart as drawn so that each report image gets its chart's data file beside it
/// ("<image stem>.chart.json"), from which the store draws it again. In a station run the
/// report files go into the station's folder without a question.
class RunFileView final : public bench::RunView {
  public:
    explicit RunFileView(bench::RunView& inner) : inner_(inner) {}

    /// The folder a station run's report files go to without asking; nullopt: the window asks.
    void SetFolder(const std::optional<std::string>& folder) { folder_ = folder; }
    const std::optional<std::string>& Folder() const { return folder_; }

    /// The chart data files written since the last call, and the ones that could not be
    /// written (with the reason); both emptied.
    std::vector<std::string> TakeWritten();
    std::vector<std::string> TakeProblems();

    /// The chart as the next report image would show it.
    const report::ChartPicture& Chart() const { return chart_; }

    void ShowValue(const std::string& text) override { inner_.ShowValue(text); }
    void ShowReadout(bench::Readout readout, const std::string& text) override {
        inner_.ShowReadout(readout, text);
    }
    void ShowProgress(int position) override { inner_.ShowProgress(position); }
    void ShowRunState(const std::string& text) override { inner_.ShowRunState(text); }
    void ChartClear() override;
    void ChartAddPoint(double y, const std::string& label, bench::PointColour colour) override;
    void ChartAddPoints(const float* values, int count, int firstLabel,
                        bench::PointColour colour) override;
    void ChartRepaint() override { inner_.ChartRepaint(); }
    void ChartSetTitle(const std::string& text, bool visible) override;
    void ChartSetAxisTitles(const std::string& left, const std::string& bottom) override;
    void ChartSetFoot(const std::string& text) override;
    void ChartSetBottomScale(double unitsPerPoint) override;
    void SetBottomAxisAutomatic(bool automatic) override {
        inner_.SetBottomAxisAutomatic(automatic);
    }
    void SetBottomAxisRange(double minimum, double maximum) override {
        inner_.SetBottomAxisRange(minimum, maximum);
    }
    void SetLeftAxisAutomatic(bool automatic) override { inner_.SetLeftAxisAutomatic(automatic); }
    void SetLeftAxisRange(double minimum, double maximum) override {
        inner_.SetLeftAxisRange(minimum, maximum);
    }
    void ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) override {
        inner_.ChartSetLiveTrace(x, y);
    }
    void ChartSetStatistics(const acquire::ChartStatistics& statistics) override {
        inner_.ChartSetStatistics(statistics);
    }
    /// In a station run: the preset's file name in the station's folder, unasked.
    std::optional<std::string> AskReportFile(const std::string& preset) override;
    /// The image through the window's view; once written, its chart's data beside it.
    bool SaveChartImage(const std::string& path, int width, int height) override;
    std::string ReportImagePath(const std::string& name) override;

  private:
    std::string InFolder(const std::string& name) const;

    bench::RunView& inner_;
    std::optional<std::string> folder_;
    report::ChartPicture chart_;
    std::vector<std::string> written_;
    std::vector<std::string> problems_;
};

}  // namespace veska::main
