#pragma once
#include <optional>
#include <string>
#include <vector>

#include "acquire/ChartData.h"

namespace veska::bench {

/// Chart point colour: the series' own default, or red.
enum class PointColour { SeriesDefault, Red };

/// The four large read-outs of the bench form.
enum class Readout {
    BoardVoltage,        ///< LabelVOKT_U
    BoardCurrent,        ///< LabelVOKT_I
    Encoder,             ///< LabelEncoder
    SensorMinusEncoder,  ///< LabeldMORLA_Encoder
};

/// What a run shows: the value label, the bench read-outs and the chart (Chart1 with its
/// series SeriesOsc). Texts are plain text.
class RunView {
  public:
    virtual ~RunView() = default;
    /// LabelRast, the large value label.
    virtual void ShowValue(const std::string& text) = 0;
    virtual void ShowReadout(Readout readout, const std::string& text) = 0;
    /// The bench form's progress bar (0..100).
    virtual void ShowProgress(int position) = 0;
    /// What the run does now, or how it ended (one line; empty clears it).
    virtual void ShowRunState(const std::string& /*text*/) {}

    virtual void ChartClear() = 0;
    virtual void ChartAddPoint(double y, const std::string& label, PointColour colour) = 0;
    /// Adds many points at once, labelled firstLabel, firstLabel + 1, ...
    virtual void ChartAddPoints(const float* values, int count, int firstLabel,
                                PointColour colour) = 0;
    /// Repaint request; the window may coalesce several into one drawing.
    virtual void ChartRepaint() = 0;
    virtual void ChartSetTitle(const std::string& text, bool visible) = 0;
    virtual void ChartSetAxisTitles(const std::string& left, const std::string& bottom) = 0;
    virtual void ChartSetFoot(const std::string& text) = 0;
    /// The bottom axis labels point n as n x unitsPerPoint (a position in mm for points taken
    /// a sample step apart); ChartClear goes back to the point number.
    virtual void ChartSetBottomScale(double /*unitsPerPoint*/) {}
    virtual void SetBottomAxisAutomatic(bool automatic) = 0;
    virtual void SetBottomAxisRange(double minimum, double maximum) = 0;
    virtual void SetLeftAxisAutomatic(bool automatic) = 0;
    virtual void SetLeftAxisRange(double minimum, double maximum) = 0;
    /// The decimated trace of a running stream (x: sample number since the start), drawn
    /// beside the chart's points; empty vectors remove it.
    virtual void ChartSetLiveTrace(const std::vector<double>& /*x*/,
                                   const std::vector<double>& /*y*/) {}
    /// What the chart's statistics line needs besides the points: the unit, the measured
    /// sample rate and, while a stream runs, its samples' statistics.
    virtual void ChartSetStatistics(const acquire::ChartStatistics& /*statistics*/) {}

    /// The data save dialog (SaveDialogData) with a proposed file name; the chosen path, or
    /// nullopt when the operator cancels.
    virtual std::optional<std::string> AskReportFile(const std::string& preset) = 0;
    /// Writes the chart as an image of width x height [px] on a white background (format from
    /// the extension, a BMP for ".bmp"); the chart keeps its size on screen. True when written.
    virtual bool SaveChartImage(const std::string& path, int width, int height) = 0;
    /// Where a report image of this bare name goes: the name itself (the current directory)
    /// unless the view keeps its files elsewhere (a headless run's output folder).
    virtual std::string ReportImagePath(const std::string& name) { return name; }
};

}  // namespace veska::bench
