#include "ui/QueuedMainView.h"

#include <QMetaObject>
#include <vector>

#include "ui/ParamGridWidget.h"

namespace veska::ui {

using main::MainView;
using main::PointColour;

QueuedMainView::QueuedMainView(MainView& target, main::LogicThread& thread)
    : target_(target), thread_(thread), interfaceThread_(std::this_thread::get_id()) {}

QueuedMainView::~QueuedMainView() {
    if (model_ != nullptr) model_->SetObserver(nullptr);
}

void QueuedMainView::FollowGrid(params::ParamGrid& model, ParamGridWidget& widget) {
    model_ = &model;
    widget_ = &widget;
    model.SetObserver(this);
}

bool QueuedMainView::NeedsFlushPost() const {
    const bool post = !flushPosted_;
    flushPosted_ = true;
    return post;
}

std::optional<main::WindowModel> QueuedMainView::TakeModel() const {
    std::optional<main::WindowModel> model;
    model.swap(pendingModel_);
    return model;
}

void QueuedMainView::Enqueue(Call call) const {
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(std::move(call));
        post = NeedsFlushPost();
    }
    if (post) {
        auto* self = const_cast<QueuedMainView*>(this);
        QMetaObject::invokeMethod(
            &context_, [self] { self->Flush(); }, Qt::QueuedConnection);
    }
}

void QueuedMainView::Deliver(Call call) const {
    if (OnInterfaceThread()) {
        const_cast<QueuedMainView*>(this)->Flush();
        call(target_);
        return;
    }
    Enqueue(std::move(call));
}

void QueuedMainView::Flush() {
    // One call at a time, outside the lock: a call may open a modal window whose event loop
    // delivers the calls behind it (a nested Flush), and the logic may queue more meanwhile.
    for (;;) {
        Call call;
        std::optional<main::WindowModel> model;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            model = TakeModel();
            if (!model && calls_.empty()) {
                flushPosted_ = false;
                return;
            }
            if (!model) {
                call = std::move(calls_.front());
                calls_.pop_front();
            }
        }
        if (model) {
            target_.ShowWindow(*model);
        } else {
            call(target_);
        }
    }
}

bool QueuedMainView::Drained() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_.empty() && !pendingModel_;
}

// ---- Queued calls ----------------------------------------------------------------------

void QueuedMainView::ShowWindow(const main::WindowModel& model) {
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pendingModel_ = model;
        post = !OnInterfaceThread() && NeedsFlushPost();
    }
    if (OnInterfaceThread()) {
        Flush();
    } else if (post) {
        auto* self = this;
        QMetaObject::invokeMethod(
            &context_, [self] { self->Flush(); }, Qt::QueuedConnection);
    }
}

void QueuedMainView::Select(main::Selector selector, const std::string& text) {
    Deliver([selector, text](MainView& v) { v.Select(selector, text); });
}

void QueuedMainView::ShowValue(const std::string& text) {
    Deliver([text](MainView& v) { v.ShowValue(text); });
}

void QueuedMainView::ShowReadout(bench::Readout readout, const std::string& text) {
    Deliver([readout, text](MainView& v) { v.ShowReadout(readout, text); });
}

void QueuedMainView::ShowProgress(int position) {
    Deliver([position](MainView& v) { v.ShowProgress(position); });
}

void QueuedMainView::ShowRunState(const std::string& text) {
    Deliver([text](MainView& v) { v.ShowRunState(text); });
}

void QueuedMainView::ChartClear() {
    Deliver([](MainView& v) { v.ChartClear(); });
}

void QueuedMainView::ChartAddPoint(double y, const std::string& label, PointColour colour) {
    Deliver([y, label, colour](MainView& v) { v.ChartAddPoint(y, label, colour); });
}

void QueuedMainView::ChartAddPoints(const float* values, int count, int firstLabel,
                                    PointColour colour) {
    // The caller's buffer changes after the call: the points travel as a copy.
    std::vector<float> copy(values, values + (count > 0 ? count : 0));
    Deliver([copy = std::move(copy), firstLabel, colour](MainView& v) {
        v.ChartAddPoints(copy.data(), static_cast<int>(copy.size()), firstLabel, colour);
    });
}

void QueuedMainView::ChartRepaint() {
    Deliver([](MainView& v) { v.ChartRepaint(); });
}

void QueuedMainView::ChartSetTitle(const std::string& text, bool visible) {
    Deliver([text, visible](MainView& v) { v.ChartSetTitle(text, visible); });
}

void QueuedMainView::ChartSetAxisTitles(const std::string& left, const std::string& bottom) {
    Deliver([left, bottom](MainView& v) { v.ChartSetAxisTitles(left, bottom); });
}

void QueuedMainView::ChartSetBottomScale(double unitsPerPoint) {
    Deliver([unitsPerPoint](MainView& v) { v.ChartSetBottomScale(unitsPerPoint); });
}

void QueuedMainView::ChartSetFoot(const std::string& text) {
    Deliver([text](MainView& v) { v.ChartSetFoot(text); });
}

void QueuedMainView::SetBottomAxisAutomatic(bool automatic) {
    Deliver([automatic](MainView& v) { v.SetBottomAxisAutomatic(automatic); });
}

void QueuedMainView::SetBottomAxisRange(double minimum, double maximum) {
    Deliver([minimum, maximum](MainView& v) { v.SetBottomAxisRange(minimum, maximum); });
}

void QueuedMainView::SetLeftAxisAutomatic(bool automatic) {
    Deliver([automatic](MainView& v) { v.SetLeftAxisAutomatic(automatic); });
}

void QueuedMainView::SetLeftAxisRange(double minimum, double maximum) {
    Deliver([minimum, maximum](MainView& v) { v.SetLeftAxisRange(minimum, maximum); });
}

void QueuedMainView::ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) {
    Deliver([x, y](MainView& v) { v.ChartSetLiveTrace(x, y); });
}

void QueuedMainView::ChartSetStatistics(const acquire::ChartStatistics& statistics) {
    Deliver([statistics](MainView& v) { v.ChartSetStatistics(statistics); });
}

void QueuedMainView::SelectBenchModeItem(int index) {
    Deliver([index](MainView& v) { v.SelectBenchModeItem(index); });
}

void QueuedMainView::Beep() {
    Deliver([](MainView& v) { v.Beep(); });
}

void QueuedMainView::SetParamProgress(int maximum, int position) {
    Deliver([maximum, position](MainView& v) { v.SetParamProgress(maximum, position); });
}

void QueuedMainView::RefreshGrid() {
    if (model_ == nullptr) {
        Deliver([](MainView& v) { v.RefreshGrid(); });
        return;
    }
    GridRebuilt();
}

void QueuedMainView::SelectBaudItem(int index) {
    Deliver([index](MainView& v) { v.SelectBaudItem(index); });
}

void QueuedMainView::SelectAddressItem(int index) {
    Deliver([index](MainView& v) { v.SelectAddressItem(index); });
}

void QueuedMainView::SetIdentityLabel(params::IdentityLabel label, const std::string& text) {
    Deliver([label, text](MainView& v) { v.SetIdentityLabel(label, text); });
}

// ---- Timers: the logic thread's own ----------------------------------------------------

void QueuedMainView::SetTimerEnabled(main::Timer timer, bool enabled) {
    target_.SetTimerEnabled(timer, enabled);
}

void QueuedMainView::SetTimerInterval(main::Timer timer, int milliseconds) {
    target_.SetTimerInterval(timer, milliseconds);
}

// ---- Calls that answer or open a modal window ------------------------------------------

std::optional<std::string> QueuedMainView::AskFile(main::FileQuestion question) {
    return Ask<std::optional<std::string>>([question](MainView& v) { return v.AskFile(question); });
}

std::optional<std::string> QueuedMainView::AskReportFile(const std::string& preset) {
    return Ask<std::optional<std::string>>(
        [preset](MainView& v) { return v.AskReportFile(preset); });
}

bool QueuedMainView::SaveChartImage(const std::string& path, int width, int height) {
    // The image must hold the chart as the logic left it: asked, so that the repaints and
    // texts queued before it are drawn first and the caller learns whether it was written.
    return Ask<bool>(
        [path, width, height](MainView& v) { return v.SaveChartImage(path, width, height); });
}

std::pair<int, int> QueuedMainView::ShowRangeDialog(int beginPercent, int endPercent) {
    return Ask<std::pair<int, int>>([beginPercent, endPercent](MainView& v) {
        return v.ShowRangeDialog(beginPercent, endPercent);
    });
}

void QueuedMainView::ShowAboutBox() {
    Ask<bool>([](MainView& v) {
        v.ShowAboutBox();
        return true;
    });
}

int QueuedMainView::MessageBox(const std::string& text, const std::string& caption, int flags) {
    return Ask<int>(
        [text, caption, flags](MainView& v) { return v.MessageBox(text, caption, flags); });
}

void QueuedMainView::ShowError(const std::string& text) {
    Ask<bool>([text](MainView& v) {
        v.ShowError(text);
        return true;
    });
}

std::string QueuedMainView::IdentityLabelText(params::IdentityLabel label) const {
    return Ask<std::string>([label](MainView& v) { return v.IdentityLabelText(label); });
}

std::optional<std::string> QueuedMainView::AskSaveParamFile(const std::string& presetName) {
    return Ask<std::optional<std::string>>(
        [presetName](MainView& v) { return v.AskSaveParamFile(presetName); });
}

std::optional<std::string> QueuedMainView::AskOpenParamFile() {
    return Ask<std::optional<std::string>>([](MainView& v) { return v.AskOpenParamFile(); });
}

// ---- The grid model --------------------------------------------------------------------

void QueuedMainView::GridRebuilt() {
    // Copied on the thread that changed the model, shown in order on the interface thread.
    ParamGridWidget* widget = widget_;
    Deliver([widget, rows = ParamGridWidget::CopyRows(*model_), current = model_->CurrentParam()](
                MainView&) mutable { widget->ShowRows(std::move(rows), current); });
}

void QueuedMainView::CellChanged(int param) {
    ParamGridWidget* widget = widget_;
    Deliver([widget, param, text = model_->CellText(param)](MainView&) {
        widget->ShowCell(param, text);
    });
}

void QueuedMainView::MarkChanged(int param) {
    ParamGridWidget* widget = widget_;
    const params::GridRow& row = model_->Row(param);
    Deliver([widget, param, unsent = row.unsent, note = row.markNote](MainView&) {
        widget->ShowMark(param, unsent, note);
    });
}

}  // namespace veska::ui
