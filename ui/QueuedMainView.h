#pragma once
#include <QObject>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "main/LogicThread.h"
#include "main/MainView.h"
#include "params/ParamGrid.h"

namespace veska::ui {

class ParamGridWidget;

/// main::MainView for the logic running on main::LogicThread, in front of the window (the
/// target, a MainView that must only be used on the interface thread).
///
/// - The window model is not queued: only the newest one waits, and the next delivery shows it
///   first (a burst of state changes draws once).
/// - A call that returns nothing is queued and delivered to the target on the interface
///   thread, in the order of the calls (one FIFO, drained by a queued invocation).
/// - A call that returns an answer, and every call that opens a modal window (message box,
///   error display, file dialogs, range dialog, about box), waits for the interface thread to
///   deliver everything queued before it and to answer. A modal window runs its own event
///   loop, so the window keeps repainting while the logic waits.
/// - A call made on the interface thread itself (a handler run through TryRunNow) first
///   delivers what is queued, then goes to the target directly, so the order holds.
/// - Timer calls go to the target at once: the window's timers are the logic thread's.
///
/// Also observes the parameter grid's model for the grid widget: the model changes on the
/// logic thread, so every change is copied there and shown in order with the other calls.
/// Built and destroyed on the interface thread; outlives the logic's use of it.
class QueuedMainView final : public main::MainView, private params::GridObserver {
  public:
    QueuedMainView(main::MainView& target, main::LogicThread& thread);
    ~QueuedMainView() override;
    QueuedMainView(const QueuedMainView&) = delete;
    QueuedMainView& operator=(const QueuedMainView&) = delete;

    /// Shows model in widget from now on (the widget stops observing the model itself).
    void FollowGrid(params::ParamGrid& model, ParamGridWidget& widget);
    /// Delivers every queued call; on the interface thread only.
    void Flush();
    /// True when nothing waits to be delivered.
    bool Drained() const;

    // main::MainView
    void ShowWindow(const main::WindowModel& model) override;
    void SetTimerEnabled(main::Timer timer, bool enabled) override;
    void SetTimerInterval(main::Timer timer, int milliseconds) override;
    void Select(main::Selector selector, const std::string& text) override;
    void SelectBenchModeItem(int index) override;

    // bench::RunView
    void ShowValue(const std::string& text) override;
    void ShowReadout(bench::Readout readout, const std::string& text) override;
    void ShowProgress(int position) override;
    void ShowRunState(const std::string& text) override;
    void ChartClear() override;
    void ChartAddPoint(double y, const std::string& label, main::PointColour colour) override;
    void ChartAddPoints(const float* values, int count, int firstLabel,
                        main::PointColour colour) override;
    void ChartRepaint() override;
    void ChartSetTitle(const std::string& text, bool visible) override;
    void ChartSetAxisTitles(const std::string& left, const std::string& bottom) override;
    void ChartSetFoot(const std::string& text) override;
    void ChartSetBottomScale(double unitsPerPoint) override;
    void SetBottomAxisAutomatic(bool automatic) override;
    void SetBottomAxisRange(double minimum, double maximum) override;
    void SetLeftAxisAutomatic(bool automatic) override;
    void SetLeftAxisRange(double minimum, double maximum) override;
    void ChartSetLiveTrace(const std::vector<double>& x, const std::vector<double>& y) override;
    void ChartSetStatistics(const acquire::ChartStatistics& statistics) override;
    std::optional<std::string> AskReportFile(const std::string& preset) override;
    bool SaveChartImage(const std::string& path, int width, int height) override;

    // main::WindowQuestions
    std::optional<std::string> AskFile(main::FileQuestion question) override;
    std::pair<int, int> ShowRangeDialog(int beginPercent, int endPercent) override;
    void ShowAboutBox() override;

    // params::ParamView
    int MessageBox(const std::string& text, const std::string& caption, int flags) override;
    void ShowError(const std::string& text) override;
    void Beep() override;
    void SetParamProgress(int maximum, int position) override;
    void RefreshGrid() override;
    void SelectBaudItem(int index) override;
    void SelectAddressItem(int index) override;
    void SetIdentityLabel(params::IdentityLabel label, const std::string& text) override;
    std::string IdentityLabelText(params::IdentityLabel label) const override;
    std::optional<std::string> AskSaveParamFile(const std::string& presetName) override;
    std::optional<std::string> AskOpenParamFile() override;

  private:
    using Call = std::function<void(main::MainView&)>;

    bool OnInterfaceThread() const { return std::this_thread::get_id() == interfaceThread_; }
    /// Delivers call in order: queued from another thread, at once on the interface thread.
    void Deliver(Call call) const;
    /// Runs ask on the interface thread after everything queued, and returns its answer.
    template <typename R>
    R Ask(std::function<R(main::MainView&)> ask) const;
    void Enqueue(Call call) const;
    /// Makes sure a Flush invocation is on its way; with mutex_ held.
    bool NeedsFlushPost() const;
    /// The newest window model not yet shown, taken out; with mutex_ held.
    std::optional<main::WindowModel> TakeModel() const;

    // params::GridObserver: called on the thread that changes the model.
    void GridRebuilt() override;
    void CellChanged(int param) override;
    void MarkChanged(int param) override;

    main::MainView& target_;
    main::LogicThread& thread_;
    std::thread::id interfaceThread_;
    params::ParamGrid* model_ = nullptr;
    ParamGridWidget* widget_ = nullptr;
    /// Receiver of the queued invocations; deleting it drops those still pending.
    mutable QObject context_;
    mutable std::mutex mutex_;        ///< guards calls_ and flushPosted_
    mutable std::deque<Call> calls_;  ///< not yet delivered, oldest first
    /// The newest window model not yet shown: a newer one replaces it (only the latest state
    /// matters), and it is shown before the calls still queued.
    mutable std::optional<main::WindowModel> pendingModel_;
    mutable bool flushPosted_ = false;  ///< a Flush invocation is on its way
};

template <typename R>
R QueuedMainView::Ask(std::function<R(main::MainView&)> ask) const {
    if (OnInterfaceThread()) {
        const_cast<QueuedMainView*>(this)->Flush();
        return ask(target_);
    }
    auto answer = std::make_shared<std::promise<R>>();
    std::future<R> future = answer->get_future();
    Enqueue([answer, ask = std::move(ask)](main::MainView& view) { answer->set_value(ask(view)); });
    main::LogicThread::InterfaceWait wait(thread_);
    return future.get();
}

}  // namespace veska::ui
