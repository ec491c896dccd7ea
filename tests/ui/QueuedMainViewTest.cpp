// The view adapter between the logic thread and the window: the logic's calls reach a
// recording view on the interface thread only, in the order they were made.
#include <gtest/gtest.h>

#include "tests/ui/QtPrint.h"

#include <QTest>
#include <future>
#include <thread>

#include "lang/Language.h"
#include "main/LogicThread.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"
#include "tests/main/FakeMainView.h"
#include "ui/ParamGridWidget.h"
#include "ui/QueuedMainView.h"

namespace veska::ui {
namespace {

class QueuedMainViewTest : public ::testing::Test {
  protected:
    void SetUp() override { thread.Start(); }
    void TearDown() override {
        thread.Stop({}, [this] { view.Flush(); });
    }

    /// Runs fn on the logic thread and waits, serving the interface meanwhile.
    void OnLogic(std::function<void()> fn) {
        thread.Post("test", std::move(fn));
        ASSERT_TRUE(QTest::qWaitFor([this] { return thread.Idle() && view.Drained(); }, 10000));
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& [control, text] : fake.textLog) texts.push_back(text);
        return texts;
    }

    testing::FakeMainView fake;  // built here, on the interface thread
    main::LogicThread thread;
    QueuedMainView view{fake, thread};
};

TEST_F(QueuedMainViewTest, CallsOfTheLogicArriveInOrderOnTheInterfaceThread) {
    fake.messageAnswers = {params::kIdCancel};
    int answer = 0;
    size_t textsAtAnswer = 0;
    std::string labelRead;
    OnLogic([&] {
        view.ShowValue("a");
        float points[3] = {1.0f, 2.0f, 3.0f};
        view.ChartAddPoints(points, 3, 40, main::PointColour::SeriesDefault);
        points[0] = 99.0f;  // the caller's buffer changes after the call
        view.ShowValue("b");
        answer = view.MessageBox("Store?", "VESKA", params::kMbOkCancelExclamation);
        textsAtAnswer = fake.textLog.size();  // the interface waits for the logic's next call
        view.ShowValue("c");
        view.SetIdentityLabel(params::IdentityLabel::Model, "20");
        labelRead = view.IdentityLabelText(params::IdentityLabel::Model);
    });
    EXPECT_EQ(Texts(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(answer, params::kIdCancel);
    ASSERT_EQ(fake.messages.size(), 1u);
    EXPECT_EQ(fake.messages[0].flags, params::kMbOkCancelExclamation);
    // Everything before the box was shown before it; the label was set before it was read.
    EXPECT_EQ(textsAtAnswer, 2u);
    EXPECT_EQ(labelRead, "20");
    ASSERT_EQ(fake.points.size(), 3u);
    EXPECT_EQ(fake.points[0].y, 1.0);
    EXPECT_EQ(fake.points[2].label, "42");
    EXPECT_EQ(fake.foreignThreadCalls.load(), 0);
}

TEST_F(QueuedMainViewTest, ACallOnTheInterfaceThreadComesAfterTheQueuedOnes) {
    std::promise<void> queued;
    thread.Post("test", [&] {
        view.ShowValue("from the logic");
        queued.set_value();
    });
    queued.get_future().wait();  // queued, not yet delivered: no event has been processed
    EXPECT_TRUE(fake.textLog.empty());
    while (!thread.Idle()) std::this_thread::yield();
    EXPECT_TRUE(thread.TryRunNow([this] { view.ShowValue("here"); }));
    EXPECT_EQ(Texts(), (std::vector<std::string>{"from the logic", "here"}));
    EXPECT_EQ(fake.foreignThreadCalls.load(), 0);
}

main::WindowModel ModelWithLink(const std::string& text) {
    main::WindowModel model;
    model.linkText = text;
    return model;
}

TEST_F(QueuedMainViewTest, OnlyTheNewestWindowModelIsShownAndItPrecedesAQuestion) {
    std::promise<void> published;
    thread.Post("test", [&] {
        for (int i = 0; i < 50; ++i) view.ShowWindow(ModelWithLink("line " + std::to_string(i)));
        published.set_value();
    });
    published.get_future().wait();  // no event processed yet: nothing shown
    EXPECT_EQ(fake.models, 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return thread.Idle() && view.Drained(); }, 10000));
    EXPECT_EQ(fake.models, 1) << "the burst is drawn once";
    EXPECT_EQ(fake.linkText, "line 49");

    int textsWhenAsked = -1;
    fake.messageAnswers = {params::kIdOk};
    OnLogic([&] {
        view.ShowValue("before");
        view.ShowWindow(ModelWithLink("connected"));
        (void)view.MessageBox("Store?", "VESKA", params::kMbOkCancelExclamation);
        textsWhenAsked = static_cast<int>(fake.textLog.size());
    });
    EXPECT_EQ(fake.models, 2);
    EXPECT_EQ(fake.linkText, "connected") << "shown before the box";
    EXPECT_EQ(textsWhenAsked, 1);
    EXPECT_EQ(fake.foreignThreadCalls.load(), 0);
}

TEST_F(QueuedMainViewTest, TheGridShowsCopiesOfTheModelThatTheLogicChanges) {
    lang::TextTable texts;
    params::ParamTable table = params::BuiltInParamTable();
    params::ValueStores values;
    values.workValues[9] = 1000;
    params::ParamGrid grid(table, texts);
    ParamGridWidget widget(grid);
    view.FollowGrid(grid, widget);
    OnLogic([&] {
        uint16_t divisor = 1;
        params::BuildParamGrid(grid, values, divisor);
        grid.SetCellText(10, "777");
    });
    ASSERT_EQ(widget.rowCount(), 37);
    EXPECT_EQ(widget.item(9, 1)->text(), QStringLiteral("1000"));
    EXPECT_EQ(widget.item(10, 1)->text(), QStringLiteral("777"));
    ASSERT_NE(widget.ShownRow(10), nullptr);
    EXPECT_EQ(widget.ShownRow(10)->value, "777");
    OnLogic([&] { view.RefreshGrid(); });
    EXPECT_EQ(widget.item(10, 1)->text(), QStringLiteral("777"));
}

}  // namespace
}  // namespace veska::ui
