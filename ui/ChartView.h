#pragma once
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "acquire/ChartData.h"

class QCustomPlot;
class QCPGraph;
class QCPTextElement;
class QLabel;
class QTimer;
class QToolButton;

namespace veska::ui {

class InteractivePlot;

/// Chart1 with its line series SeriesOsc: red line, 2 x 2 px square markers, no legend.
/// Point n is drawn at x = n (the running count since the last clear) and keeps its label.
/// Drawing is coalesced: RequestReplot only marks the chart dirty, and a ~30 Hz timer
/// redraws when it is, so a measurement tick never pays for a full redraw.
///
/// The operator works with it: the wheel zooms and a left drag pans both axes inside the
/// plot, one axis over its scale; a double click goes back to the automatic (or the
/// program's manual) ranges, and so does Clear. While an axis is zoomed or panned, automatic
/// scaling and the program's manual ranges leave it alone. Below the plot a line shows the
/// statistics of the points (of the visible ones while the bottom axis is zoomed), the zero
/// offset with a button that clears it, and the point under the mouse.
class ChartView final : public QWidget {
  public:
    static constexpr int kReplotIntervalMs = 33;

    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    /// Removes every point and the live trace, and resets the axes (zoom and pan).
    void Clear();
    /// sample false: a reference mark, drawn and scaled to but not counted in the statistics.
    void AddPoint(double y, std::string label, bool sample = true);
    /// count values labelled firstLabel, firstLabel + 1, ...
    void AddPoints(const float* values, int count, int firstLabel);
    void RequestReplot() { dirty_ = true; }
    /// Redraws now when dirty (the timer's step).
    void ReplotIfDirty();

    /// The decimated trace of a running stream, drawn beside SeriesOsc; empty removes it.
    void SetLiveTrace(const std::vector<double>& x, const std::vector<double>& y);
    int LiveTraceCount() const;
    /// The unit, rate and (for a running stream) statistics the line below the plot uses.
    void SetStatistics(const acquire::ChartStatistics& statistics);
    /// The tooltip of the button that clears the zero offset (the menu item's text).
    void SetZeroClearTip(const QString& text);
    /// The zero offset text; empty hides it and its clear button.
    void ShowZeroOffset(const QString& text);

    void SetTitle(const QString& text, bool visible);
    void SetAxisTitles(const QString& left, const QString& bottom);
    /// The bottom axis labels point n as n x unitsPerPoint (1: the point number); a clear
    /// goes back to 1.
    void SetBottomScale(double unitsPerPoint);
    void SetFoot(const QString& text);
    void SetBottomAutomatic(bool automatic);
    void SetBottomRange(double minimum, double maximum);
    void SetLeftAutomatic(bool automatic);
    void SetLeftRange(double minimum, double maximum);
    bool BottomAutomatic() const { return xAuto_; }
    bool LeftAutomatic() const { return yAuto_; }
    /// Current axis ranges as drawn at the last redraw.
    std::pair<double, double> BottomRange() const;
    std::pair<double, double> LeftRange() const;
    /// The operator zoomed or panned the axis since the last reset.
    bool BottomZoomed() const { return xUser_; }
    bool LeftZoomed() const { return yUser_; }
    /// Back to the automatic or the program's manual ranges (a double click).
    void ResetView();
    QString LeftTitle() const;
    QString BottomTitle() const;

    int PointCount() const { return static_cast<int>(labels_.size()); }
    double PointY(int index) const;
    const std::string& PointLabel(int index) const { return labels_.at(index); }
    bool Dirty() const { return dirty_; }
    int ReplotCount() const { return replots_; }
    QString TitleText() const;
    QString FootText() const;
    /// The statistics line as shown.
    QString StatisticsText() const;
    /// The zero offset as shown (empty when hidden).
    QString ZeroOffsetText() const;
    /// The read-out of the point nearest to a position of the plot [px] (empty when there is
    /// none), as the mouse shows it.
    QString ReadoutAt(const QPoint& position) const;
    QString ReadoutText() const;

    /// Image export of the chart (format from the extension, "bmp" and "png" among them).
    bool SaveImage(const QString& path, int width = 0, int height = 0);

    /// Called with the global position when the operator asks for the context menu.
    std::function<void(const QPoint&)> onContextMenu;
    /// The clear button beside the zero offset was pressed.
    std::function<void()> onClearZero;

    QCustomPlot* Plot() const;
    /// The plot as a widget (mouse and wheel events go there).
    QWidget* PlotWidget() const;
    /// The area inside the axes, in the plot widget's coordinates [px].
    QRect PlotArea() const;
    /// Where the point (x, y) of the axes is drawn, in the plot widget's coordinates [px].
    QPoint PixelAt(double x, double y) const;

  protected:
    /// A chart squeezed below kMinimumPlotHeight (the collapsed window) is not drawn.
    void resizeEvent(QResizeEvent* event) override;

  private:
    friend class InteractivePlot;
    double bottomScale_ = 1.0;
    static constexpr int kMinimumPlotHeight = 100;  ///< [px]

    void ApplyAutoRanges();
    void Extend(double y);
    void UpdateStatistics();
    /// The operator changed the axes (zoom or pan).
    void NoteUserRanges(bool x, bool y);
    void MouseMoved(const QPoint& position);

    InteractivePlot* plot_ = nullptr;
    QCPGraph* series_ = nullptr;  ///< SeriesOsc
    QCPGraph* live_ = nullptr;    ///< the live trace of a running stream
    QCPTextElement* title_ = nullptr;
    QCPTextElement* foot_ = nullptr;
    QTimer* replotTimer_ = nullptr;
    QWidget* infoBar_ = nullptr;
    QLabel* statistics_ = nullptr;
    QLabel* zeroOffset_ = nullptr;
    QToolButton* zeroClear_ = nullptr;
    QLabel* readout_ = nullptr;
    std::vector<std::string> labels_;
    std::vector<double> marks_;  ///< x of the points that are no samples
    bool dirty_ = false;
    bool xAuto_ = true;
    bool yAuto_ = true;
    bool xUser_ = false;  ///< the operator zoomed or panned the bottom axis
    bool yUser_ = false;
    double xManualLo_ = 0, xManualHi_ = 10;  ///< the program's manual ranges
    double yManualLo_ = 0, yManualHi_ = 10;
    int replots_ = 0;
    bool haveExtremes_ = false;
    double yMin_ = 0, yMax_ = 0;  ///< extremes of the finite points since the last clear
    bool haveLive_ = false;
    double liveXMax_ = 0, liveYMin_ = 0, liveYMax_ = 0;
    acquire::RunningStatistics seriesStatistics_;  ///< of every point of SeriesOsc
    acquire::ChartStatistics info_;
};

}  // namespace veska::ui
