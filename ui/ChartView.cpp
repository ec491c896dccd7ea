#include "ui/ChartView.h"

#include <qcustomplot.h>

#include <QTimer>
#include <QVBoxLayout>
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

/// The range of [lo, hi], widened around a single value so that it stays drawable.
QCPRange Drawable(double lo, double hi) {
    if (!(hi > lo)) return QCPRange(lo - 1.0, lo + 1.0);
    return QCPRange(lo, hi);
}

}  // namespace

ChartView::ChartView(QWidget* parent) : QWidget(parent) {
    plot_ = new QCustomPlot(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(plot_);

    plot_->setNoAntialiasingOnDrag(true);
    plot_->setPlottingHint(QCP::phFastPolylines, true);
    plot_->legend->setVisible(false);

    series_ = plot_->addGraph();
    series_->setName(QStringLiteral("SeriesOsc"));
    series_->setPen(QPen(Qt::red, 1));
    series_->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssSquare, Qt::red, Qt::red, 2));
    series_->setAdaptiveSampling(true);

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

void ChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    plot_->setVisible(height() >= kMinimumPlotHeight);
}

void ChartView::Clear() {
    series_->data()->clear();
    labels_.clear();
    yMin_ = yMax_ = 0;
    haveExtremes_ = false;
    dirty_ = true;
}

void ChartView::AddPoint(double y, std::string label) {
    const double x = static_cast<double>(labels_.size());
    Extend(y);
    series_->addData(x, y);
    labels_.push_back(std::move(label));
}

void ChartView::AddPoints(const float* values, int count, int firstLabel) {
    if (values == nullptr || count <= 0) return;
    QVector<QCPGraphData> points;
    points.reserve(count);
    labels_.reserve(labels_.size() + static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double y = values[i];
        Extend(y);
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
    if (labels_.empty()) return;
    if (xAuto_) plot_->xAxis->setRange(Drawable(0.0, static_cast<double>(labels_.size() - 1)));
    if (yAuto_ && haveExtremes_) {
        plot_->yAxis->setRange(Drawable(yMin_, yMax_));
    }
}

void ChartView::ReplotIfDirty() {
    if (!dirty_) return;
    dirty_ = false;
    ApplyAutoRanges();
    plot_->replot(QCustomPlot::rpQueuedRefresh);
    ++replots_;
}

void ChartView::SetTitle(const QString& text, bool visible) {
    title_->setText(text);
    title_->setVisible(visible);
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
    plot_->xAxis->setRange(Drawable(minimum, maximum));
    dirty_ = true;
}

void ChartView::SetLeftAutomatic(bool automatic) {
    yAuto_ = automatic;
    dirty_ = true;
}

void ChartView::SetLeftRange(double minimum, double maximum) {
    plot_->yAxis->setRange(Drawable(minimum, maximum));
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
