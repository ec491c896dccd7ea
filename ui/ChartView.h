#pragma once
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCustomPlot;
class QCPGraph;
class QCPTextElement;
class QTimer;

namespace veska::ui {

/// Chart1 with its line series SeriesOsc: red line, 2 x 2 px square markers, no legend.
/// Point n is drawn at x = n (the running count since the last clear) and keeps its label.
/// Drawing is coalesced: RequestReplot only marks the chart dirty, and a ~30 Hz timer
/// redraws when it is, so a measurement tick never pays for a full redraw.
class ChartView final : public QWidget {
  public:
    static constexpr int kReplotIntervalMs = 33;

    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    void Clear();
    void AddPoint(double y, std::string label);
    /// count values labelled firstLabel, firstLabel + 1, ...
    void AddPoints(const float* values, int count, int firstLabel);
    void RequestReplot() { dirty_ = true; }
    /// Redraws now when dirty (the timer's step).
    void ReplotIfDirty();

    void SetTitle(const QString& text, bool visible);
    void SetAxisTitles(const QString& left, const QString& bottom);
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

    int PointCount() const { return static_cast<int>(labels_.size()); }
    double PointY(int index) const;
    const std::string& PointLabel(int index) const { return labels_.at(index); }
    bool Dirty() const { return dirty_; }
    int ReplotCount() const { return replots_; }
    QString TitleText() const;
    QString FootText() const;

    /// Image export of the chart (format from the extension, "bmp" and "png" among them).
    bool SaveImage(const QString& path, int width = 0, int height = 0);

    /// Called with the global position when the operator asks for the context menu.
    std::function<void(const QPoint&)> onContextMenu;

    QCustomPlot* Plot() const { return plot_; }

  protected:
    /// A chart squeezed below kMinimumPlotHeight (the collapsed window) is not drawn.
    void resizeEvent(QResizeEvent* event) override;

  private:
    static constexpr int kMinimumPlotHeight = 100;  ///< [px]

    void ApplyAutoRanges();
    void Extend(double y);

    QCustomPlot* plot_ = nullptr;
    QCPGraph* series_ = nullptr;  ///< SeriesOsc
    QCPTextElement* title_ = nullptr;
    QCPTextElement* foot_ = nullptr;
    QTimer* replotTimer_ = nullptr;
    std::vector<std::string> labels_;
    bool dirty_ = false;
    bool xAuto_ = true;
    bool yAuto_ = true;
    int replots_ = 0;
    bool haveExtremes_ = false;
    double yMin_ = 0, yMax_ = 0;  ///< extremes of the finite points since the last clear
};

}  // namespace veska::ui
