#include "ui/ChartView.h"

#include <qcustomplot.h>

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "ui/ChartFormat.h"

namespace veska::ui {

namespace {

/// Left axis ticks labelled with FormatAxisNumber.
class GroupedTicker final : public QCPAxisTicker {
  protected:
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        return QString::fromStdString(FormatAxisNumber(tick));
    }
};

/// Bottom axis ticks of points taken a fixed distance apart: point x is labelled x x scale,
/// and the ticks fall on round values of the scaled unit.
class ScaledTicker final : public QCPAxisTicker {
  public:
    explicit ScaledTicker(double scale) : scale_(scale) {}

  protected:
    double getTickStep(const QCPRange& range) override {
        return QCPAxisTicker::getTickStep(QCPRange(range.lower * scale_, range.upper * scale_)) /
               scale_;
    }
    QString getTickLabel(double tick, const QLocale& locale, QChar format, int precision) override {
        return QCPAxisTicker::getTickLabel(tick * scale_, locale, format, precision);
    }

  private:
    double scale_;
};

/// The range of [lo, hi], widened around a single value so that it stays drawable.
QCPRange Drawable(double lo, double hi) {
    if (!(hi > lo)) return QCPRange(lo - 1.0, lo + 1.0);
    return QCPRange(lo, hi);
}

/// The unit in brackets at the end of an axis title ("Distance [mm]" gives "mm").
QString UnitOfTitle(const QString& title) {
    const qsizetype open = title.lastIndexOf(QLatin1Char('['));
    if (open < 0 || !title.endsWith(QLatin1Char(']'))) return {};
    return title.mid(open + 1, title.size() - open - 2);
}

}  // namespace

/// QCustomPlot that tells its chart which changes of the axes the operator made: the ranges
/// that change while a mouse or wheel event is handled are the operator's.
class InteractivePlot final : public QCustomPlot {
  public:
    InteractivePlot(ChartView& chart, QWidget* parent) : QCustomPlot(parent), chart_(chart) {
        setMouseTracking(true);
    }

  protected:
    void mousePressEvent(QMouseEvent* event) override {
        Handle([&] { QCustomPlot::mousePressEvent(event); });
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        Handle([&] { QCustomPlot::mouseMoveEvent(event); });
        chart_.MouseMoved(event->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        Handle([&] { QCustomPlot::mouseReleaseEvent(event); });
    }
    void wheelEvent(QWheelEvent* event) override {
        Handle([&] { QCustomPlot::wheelEvent(event); });
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        QCustomPlot::mouseDoubleClickEvent(event);
        if (event->button() == Qt::LeftButton) chart_.ResetView();
    }
    void leaveEvent(QEvent* event) override {
        QCustomPlot::leaveEvent(event);
        chart_.readout_->clear();
    }

  private:
    template <typename F>
    void Handle(F base) {
        const QCPRange x = xAxis->range();
        const QCPRange y = yAxis->range();
        base();
        const bool xChanged = xAxis->range() != x;
        const bool yChanged = yAxis->range() != y;
        if (xChanged || yChanged) chart_.NoteUserRanges(xChanged, yChanged);
    }

    ChartView& chart_;
};

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    plot_ = new InteractivePlot(*this, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(plot_, 1);

    // Two lines below the plot: the statistics; the zero offset and the read-out.
    infoBar_ = new QWidget(this);
    auto* lines = new QVBoxLayout(infoBar_);
    lines->setContentsMargins(6, 1, 6, 1);
    lines->setSpacing(0);
    auto* info = new QHBoxLayout;
    statistics_ = new QLabel(infoBar_);
    zeroOffset_ = new QLabel(infoBar_);
    zeroClear_ = new QToolButton(infoBar_);
    zeroClear_->setText(QStringLiteral("\u00D7"));
    zeroClear_->setAutoRaise(true);
    readout_ = new QLabel(infoBar_);
    for (QLabel* label : {statistics_, zeroOffset_, readout_}) {
        label->setTextFormat(Qt::PlainText);
    }
    lines->addWidget(statistics_);
    lines->addLayout(info);
    statistics_->setMinimumHeight(zeroClear_->sizeHint().height());
    info->addWidget(zeroOffset_);
    info->addWidget(zeroClear_);
    info->addStretch(1);
    info->addWidget(readout_);
    zeroOffset_->hide();
    zeroClear_->hide();
    layout->addWidget(infoBar_);
    connect(zeroClear_, &QToolButton::clicked, this, [this] {
        if (onClearZero) onClearZero();
    });

    // Wheel zoom and drag pan: both axes inside the plot, one axis over its scale.
    plot_->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot_->axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
    plot_->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);

    plot_->setNoAntialiasingOnDrag(true);
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    plot_->legend->setVisible(false);

    series_ = plot_->addGraph();
    series_->setName(QStringLiteral("SeriesOsc"));
    series_->setPen(QPen(Qt::red, 1));
    series_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, Qt::red, 2));
    series_->setAdaptiveSampling(true);
    live_ = plot_->addGraph();
    live_->setName(QStringLiteral("LiveTrace"));
    live_->setPen(QPen(QColor(200, 0, 0), 1));
    live_->setAdaptiveSampling(false);

    plot_->yAxis->setTicker(QSharedPointer<QCPAxisTicker>(new GroupedTicker));
    plot_->xAxis->setRange(0, 10);
    plot_->yAxis->setRange(0, 10);

    title_ = new QCPTextElement(plot_, QString(), QFont(font().family(), 10, QFont::Bold));
    plot_->plotLayout()->insertRow(0);
    plot_->plotLayout()->addElement(0, 0, title_);
    title_->setVisible(false);
    foot_ = new QCPTextElement(plot_, QString());
    plot_->plotLayout()->addElement(plot_->plotLayout()->rowCount(), 0, foot_);
    foot_->setVisible(false);
    plot_->plotLayout()->simplify();

    plot_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(plot_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        if (onContextMenu) onContextMenu(plot_->mapToGlobal(pos));
    });

    replotTimer_ = new QTimer(this);
    replotTimer_->setInterval(kReplotIntervalMs);
    connect(replotTimer_, &QTimer::timeout, this, &ChartView::ReplotIfDirty);
    replotTimer_->start();
}

ChartView::~ChartView() = default;

QCustomPlot* ChartView::Plot() const { return plot_; }

QWidget* ChartView::PlotWidget() const { return plot_; }

QRect ChartView::PlotArea() const { return plot_->axisRect()->rect(); }

QPoint ChartView::PixelAt(double x, double y) const {
    return QPoint(static_cast<int>(std::lround(plot_->xAxis->coordToPixel(x))),
                  static_cast<int>(std::lround(plot_->yAxis->coordToPixel(y))));
}

void ChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const bool drawn = height() >= kMinimumPlotHeight;
    plot_->setVisible(drawn);
    infoBar_->setVisible(drawn);
}

void ChartView::Clear() {
    series_->data()->clear();
    live_->data()->clear();
    labels_.clear();
    marks_.clear();
    yMin_ = yMax_ = 0;
    haveExtremes_ = false;
    haveLive_ = false;
    seriesStatistics_.Reset();
    info_.haveSamples = false;
    if (xAuto_) plot_->xAxis->setRange(0, 10);
    if (yAuto_) plot_->yAxis->setRange(0, 10);
    SetBottomScale(1.0);
    ResetView();
    readout_->clear();
}

void ChartView::ResetView() {
    xUser_ = yUser_ = false;
    if (!xAuto_) plot_->xAxis->setRange(Drawable(xManualLo_, xManualHi_));
    if (!yAuto_) plot_->yAxis->setRange(Drawable(yManualLo_, yManualHi_));
    dirty_ = true;
}

void ChartView::NoteUserRanges(bool x, bool y) {
    xUser_ = xUser_ || x;
    yUser_ = yUser_ || y;
    dirty_ = true;
}

void ChartView::AddPoint(double y, std::string label, bool sample) {
    const double x = static_cast<double>(labels_.size());
    Extend(y);
    if (sample) {
        seriesStatistics_.Add(y);
    } else {
        marks_.push_back(x);
    }
    series_->addData(x, y);
    labels_.push_back(std::move(label));
}

void ChartView::SetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) {
    const size_t n = std::min(x.size(), y.size());
    QVector<QCPGraphData> points;
    points.reserve(static_cast<qsizetype>(n));
    haveLive_ = false;
    for (size_t i = 0; i < n; ++i) {
        points.append(QCPGraphData(x[i], y[i]));
        if (!std::isfinite(y[i])) continue;
        if (!haveLive_) {
            liveYMin_ = liveYMax_ = y[i];
            haveLive_ = true;
        }
        liveYMin_ = std::min(liveYMin_, y[i]);
        liveYMax_ = std::max(liveYMax_, y[i]);
    }
    liveXMax_ = n > 0 ? x[n - 1] : 0.0;
    live_->data()->set(points, true);
    dirty_ = true;
}

int ChartView::LiveTraceCount() const { return live_->data()->size(); }

void ChartView::SetStatistics(const acquire::ChartStatistics& statistics) {
    info_ = statistics;
    dirty_ = true;
}

void ChartView::ShowZeroOffset(const QString& text) {
    zeroOffset_->setText(text);
    zeroOffset_->setVisible(!text.isEmpty());
    zeroClear_->setVisible(!text.isEmpty());
}

void ChartView::SetZeroClearTip(const QString& text) { zeroClear_->setToolTip(text); }

void ChartView::AddPoints(const float* values, int count, int firstLabel) {
    if (values == nullptr || count <= 0) return;
    QVector<QCPGraphData> points;
    points.reserve(count);
    labels_.reserve(labels_.size() + static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double y = values[i];
        Extend(y);
        seriesStatistics_.Add(y);
        points.append(QCPGraphData(static_cast<double>(labels_.size()), y));
        labels_.push_back(std::to_string(static_cast<int64_t>(firstLabel) + i));
    }
    series_->data()->add(points, true);
}

void ChartView::Extend(double y) {
    if (!std::isfinite(y)) return;
    if (!haveExtremes_) {
        yMin_ = yMax_ = y;
        haveExtremes_ = true;
        return;
    }
    yMin_ = std::min(yMin_, y);
    yMax_ = std::max(yMax_, y);
}

double ChartView::PointY(int index) const {
    if (index < 0 || index >= series_->data()->size()) return 0.0;
    return (series_->data()->constBegin() + index)->value;
}

void ChartView::ApplyAutoRanges() {
    if (labels_.empty() && !haveLive_) return;
    if (xAuto_ && !xUser_) {
        const double last =
            std::max(static_cast<double>(labels_.size()) - 1.0, haveLive_ ? liveXMax_ : 0.0);
        plot_->xAxis->setRange(Drawable(0.0, last));
    }
    if (yAuto_ && !yUser_ && (haveExtremes_ || haveLive_)) {
        double lo = haveExtremes_ ? yMin_ : liveYMin_;
        double hi = haveExtremes_ ? yMax_ : liveYMax_;
        if (haveLive_) {
            lo = std::min(lo, liveYMin_);
            hi = std::max(hi, liveYMax_);
        }
        plot_->yAxis->setRange(Drawable(lo, hi));
    }
}

void ChartView::UpdateStatistics() {
    std::string text;
    if (!labels_.empty()) {
        if (xUser_) {
            // The points of the visible part of the bottom axis.
            const QCPRange range = plot_->xAxis->range();
            std::vector<double> visible;
            for (auto it = series_->data()->findBegin(range.lower, false);
                 it != series_->data()->constEnd() && it->key <= range.upper; ++it) {
                if (it->key >= range.lower &&
                    std::find(marks_.begin(), marks_.end(), it->key) == marks_.end()) {
                    visible.push_back(it->value);
                }
            }
            text = acquire::StatisticsText(acquire::Summarise(visible), info_.unit, info_.rate,
                                           info_.words);
            if (!text.empty()) text = "[" + text + "]";
        } else {
            text = acquire::StatisticsText(seriesStatistics_.Result(), info_.unit, info_.rate,
                                           info_.words);
        }
    } else if (info_.haveSamples) {
        text = acquire::StatisticsText(info_.samples, info_.unit, info_.rate, info_.words);
    }
    const QString shown = QString::fromStdString(text);
    if (statistics_->text() != shown) statistics_->setText(shown);
}

void ChartView::ReplotIfDirty() {
    if (!dirty_) return;
    dirty_ = false;
    ApplyAutoRanges();
    UpdateStatistics();
    plot_->replot(QCustomPlot::rpQueuedRefresh);
    ++replots_;
}

QString ChartView::StatisticsText() const { return statistics_->text(); }

QString ChartView::ZeroOffsetText() const {
    return zeroOffset_->isVisibleTo(const_cast<ChartView*>(this)) ? zeroOffset_->text() : QString();
}

QString ChartView::ReadoutText() const { return readout_->text(); }

QString ChartView::LeftTitle() const { return plot_->yAxis->label(); }

QString ChartView::BottomTitle() const { return plot_->xAxis->label(); }

QString ChartView::ReadoutAt(const QPoint& position) const {
    const bool onSeries = !series_->data()->isEmpty();
    const QCPGraph* graph = onSeries ? series_ : live_;
    const auto points = graph->data();
    if (points->isEmpty() || !plot_->axisRect()->rect().contains(position)) return {};
    const double x = plot_->xAxis->pixelToCoord(position.x());
    auto it = points->findBegin(x, false);
    if (it == points->constEnd()) --it;
    if (it != points->constBegin()) {
        auto before = it - 1;
        if (std::fabs(before->key - x) < std::fabs(it->key - x)) it = before;
    }
    const QString unit = UnitOfTitle(plot_->yAxis->label());
    QString label;
    if (onSeries) {
        const auto index = static_cast<size_t>(it - points->constBegin());
        label = index < labels_.size() ? QString::fromStdString(labels_[index])
                                       : QString::number(it->key, 'f', 0);
    } else {
        label = QString::number(it->key, 'f', 0);
    }
    QString text =
        QStringLiteral("#") + label + QStringLiteral(": ") + QString::number(it->value, 'f', 3);
    if (!unit.isEmpty()) text += QLatin1Char(' ') + unit;
    return text;
}

void ChartView::MouseMoved(const QPoint& position) {
    const QString text = ReadoutAt(position);
    if (readout_->text() != text) readout_->setText(text);
}

void ChartView::SetTitle(const QString& text, bool visible) {
    title_->setText(text);
    title_->setVisible(visible);
    dirty_ = true;
}

void ChartView::SetBottomScale(double unitsPerPoint) {
    if (!(unitsPerPoint > 0.0) || !std::isfinite(unitsPerPoint)) unitsPerPoint = 1.0;
    if (unitsPerPoint == bottomScale_) return;
    bottomScale_ = unitsPerPoint;
    plot_->xAxis->setTicker(unitsPerPoint == 1.0
                                ? QSharedPointer<QCPAxisTicker>(new QCPAxisTicker)
                                : QSharedPointer<QCPAxisTicker>(new ScaledTicker(unitsPerPoint)));
    dirty_ = true;
}

void ChartView::SetAxisTitles(const QString& left, const QString& bottom) {
    plot_->yAxis->setLabel(left);
    plot_->xAxis->setLabel(bottom);
    dirty_ = true;
}

void ChartView::SetFoot(const QString& text) {
    foot_->setText(text);
    foot_->setVisible(!text.isEmpty());
    dirty_ = true;
}

void ChartView::SetBottomAutomatic(bool automatic) {
    xAuto_ = automatic;
    dirty_ = true;
}

void ChartView::SetBottomRange(double minimum, double maximum) {
    xManualLo_ = minimum;
    xManualHi_ = maximum;
    if (!xUser_) plot_->xAxis->setRange(Drawable(minimum, maximum));
    dirty_ = true;
}

void ChartView::SetLeftAutomatic(bool automatic) {
    yAuto_ = automatic;
    dirty_ = true;
}

void ChartView::SetLeftRange(double minimum, double maximum) {
    yManualLo_ = minimum;
    yManualHi_ = maximum;
    if (!yUser_) plot_->yAxis->setRange(Drawable(minimum, maximum));
    dirty_ = true;
}

std::pair<double, double> ChartView::BottomRange() const {
    return {plot_->xAxis->range().lower, plot_->xAxis->range().upper};
}

std::pair<double, double> ChartView::LeftRange() const {
    return {plot_->yAxis->range().lower, plot_->yAxis->range().upper};
}

QString ChartView::TitleText() const { return title_->visible() ? title_->text() : QString(); }

QString ChartView::FootText() const { return foot_->text(); }

bool ChartView::SaveImage(const QString& path, int width, int height) {
    ApplyAutoRanges();
    dirty_ = false;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("bmp")) return plot_->saveBmp(path, width, height);
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        return plot_->saveJpg(path, width, height);
    }
    return plot_->savePng(path, width, height);
}

}  // namespace veska::ui
