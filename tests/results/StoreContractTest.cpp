// What every engine of the results store must do alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "results/SqlStore.h"
#include "tests/results/StoreBackend.h"

namespace veska::results::test {

RunResult SampleResult(int serial, const std::string& started, Outcome outcome) {
    RunResult r;
    r.runId = NewRunId();
    r.unitId = NewRunId();
    r.station = "Line 2 / bench 1";
    r.operatorName = "Operator Ä";
    r.programVersion = "2.0";
    r.sensor = {20, serial, 3, 80, 50};
    r.sequence = "Full loop";
    r.step = "Verification after calibration";
    r.mode = "Poverka";
    r.started = started;
    r.ended = started.substr(0, 17) + "59.999Z";
    r.outcome = outcome;
    r.reason = outcome == Outcome::Passed ? "" : "figure_percent 0.15 % above its limit 0.1 %";
    r.measurements = {{"figure_percent", 0.1 + 0.2, "%", std::nullopt, 0.1, Outcome::Failed},
                      {"analog_figure_percent", std::nullopt, "%", -0.2, 0.2, Outcome::Error}};
    std::vector<uint8_t> image(70000);
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 7);
    r.files = {{std::to_string(serial) + "_Poverka.pvk", {'1', '\t', '2', '\r', '\n'}},
               {std::to_string(serial) + "_pvk.bmp", image}};
    return r;
}

namespace {

class StoreContract : public ::testing::Test {
  protected:
    void SetUp() override { TestBackend().Create(); }
    void TearDown() override {
        store_.reset();
        TestBackend().Drop();
    }

    SqlStore& Store() {
        if (!store_) store_ = std::make_unique<SqlStore>(TestBackend().Connect(), "test");
        return *store_;
    }

    std::vector<RunResult> History(const HistoryQuery& query) {
        std::string error;
        auto runs = Store().History(query, error);
        EXPECT_TRUE(runs.has_value()) << error;
        return runs.value_or(std::vector<RunResult>{});
    }

    std::unique_ptr<SqlStore> store_;
};

TEST_F(StoreContract, AResultComesBackWhole) {
    const RunResult stored = SampleResult(1234, "2026-03-01T08:00:00.000Z", Outcome::Failed);
    ASSERT_EQ(Store().Put(stored).status, PutStatus::Stored);

    std::string error;
    const auto loaded = Store().Load(stored.runId, error);
    ASSERT_TRUE(loaded.has_value()) << error;
    EXPECT_EQ(*loaded, stored);  // doubles exactly, a missing value and limit, every byte

    const auto unknown = Store().Load("no-such-run", error);
    EXPECT_FALSE(unknown.has_value());
    EXPECT_TRUE(error.empty());
}

TEST_F(StoreContract, ASecondPutOfTheSameRunChangesNothing) {
    RunResult r = SampleResult(7, "2026-03-01T08:00:00.000Z");
    ASSERT_EQ(Store().Put(r).status, PutStatus::Stored);
    r.reason = "changed";
    r.measurements.clear();
    EXPECT_EQ(Store().Put(r).status, PutStatus::Duplicate);

    std::string error;
    EXPECT_EQ(Store().Count(error), 1u);
    const auto loaded = Store().Load(r.runId, error);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->reason, "");
    EXPECT_EQ(loaded->measurements.size(), 2u);
}

TEST_F(StoreContract, AResultWithoutRunIdIsRefused) {
    RunResult r = SampleResult(7, "2026-03-01T08:00:00.000Z");
    r.runId.clear();
    const PutResult put = Store().Put(r);
    EXPECT_EQ(put.status, PutStatus::Failed);
    EXPECT_NE(put.message.find("run id"), std::string::npos);
}

TEST_F(StoreContract, HistoryFiltersBySerialDateAndOutcomeNewestFirst) {
    const RunResult a = SampleResult(100, "2026-01-10T10:00:00.000Z", Outcome::Passed);
    const RunResult b = SampleResult(100, "2026-02-10T10:00:00.000Z", Outcome::Failed);
    const RunResult c = SampleResult(200, "2026-02-11T10:00:00.000Z", Outcome::Failed);
    const RunResult d = SampleResult(100, "2026-02-12T00:00:00.000Z", Outcome::Aborted);
    for (const RunResult* r : {&a, &b, &c, &d}) ASSERT_TRUE(Store().Put(*r).Kept());

    const auto ids = [](const std::vector<RunResult>& runs) {
        std::vector<std::string> out;
        for (const RunResult& r : runs) out.push_back(r.runId);
        return out;
    };
    EXPECT_EQ(ids(History({})), (std::vector{d.runId, c.runId, b.runId, a.runId}));
    EXPECT_EQ(ids(History({100, "", std::nullopt, 0})), (std::vector{d.runId, b.runId, a.runId}));
    // A date bound includes the runs of that day.
    EXPECT_EQ(ids(History({100, "2026-02-10", std::nullopt, 0})), (std::vector{d.runId, b.runId}));
    EXPECT_EQ(ids(History({std::nullopt, "2026-02-12T00:00:00", std::nullopt, 0})),
              (std::vector{d.runId}));
    EXPECT_EQ(ids(History({std::nullopt, "", Outcome::Failed, 0})),
              (std::vector{c.runId, b.runId}));
    EXPECT_EQ(ids(History({100, "", Outcome::Failed, 0})), (std::vector{b.runId}));
    EXPECT_EQ(ids(History({std::nullopt, "", std::nullopt, 2})), (std::vector{d.runId, c.runId}));
    EXPECT_TRUE(History({999, "", std::nullopt, 0}).empty());

    // The history carries the measurements, not the files' contents.
    const auto limited = History({200, "", std::nullopt, 0});
    ASSERT_EQ(limited.size(), 1u);
    EXPECT_EQ(limited[0].measurements, c.measurements);
    EXPECT_TRUE(limited[0].files.empty());
}

TEST_F(StoreContract, AnOlderSchemaIsUpgradedOnOpenWithItsResults) {
    const RunResult r = SampleResult(55, "2026-03-01T08:00:00.000Z");
    {
        SqlStore first(TestBackend().Connect(), "v1", 1);
        std::string error;
        ASSERT_TRUE(first.Ready(error)) << error;
        EXPECT_EQ(first.SchemaVersion(error), 1);
        ASSERT_EQ(first.Put(r).status, PutStatus::Stored);
    }
    std::string error;
    ASSERT_TRUE(Store().Ready(error)) << error;
    EXPECT_EQ(Store().SchemaVersion(error), CurrentSchemaVersion());
    const auto runs = History({55, "", std::nullopt, 0});
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].runId, r.runId);
}

TEST_F(StoreContract, ANewerSchemaIsRefusedAndLeftAlone) {
    const RunResult r = SampleResult(56, "2026-03-01T08:00:00.000Z");
    ASSERT_EQ(Store().Put(r).status, PutStatus::Stored);
    auto admin = TestBackend().Connect();
    std::string error;
    ASSERT_TRUE(admin->Exec("UPDATE veska_schema SET version = 99", error)) << error;

    SqlStore newer(TestBackend().Connect(), "test");
    const PutResult put = newer.Put(SampleResult(57, "2026-03-02T08:00:00.000Z"));
    EXPECT_EQ(put.status, PutStatus::Failed);
    EXPECT_NE(put.message.find("schema version 99"), std::string::npos) << put.message;

    std::vector<SqlRow> rows;
    ASSERT_TRUE(admin->Exec("SELECT count(*) FROM runs", {}, &rows, error)) << error;
    EXPECT_EQ(rows.at(0).at(0), "1");
}

TEST_F(StoreContract, TwoWritersAtOnceLoseNothingAndDuplicateNothing) {
    std::string error;
    ASSERT_TRUE(Store().Ready(error)) << error;  // the schema exists before the race
    const RunResult shared = SampleResult(1, "2026-03-01T08:00:00.000Z");
    constexpr int kEach = 25;
    std::vector<std::string> failures[2];
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w) {
        writers.emplace_back([w, &shared, &failures] {
            SqlStore store(TestBackend().Connect(), "writer");
            for (int i = 0; i < kEach; ++i) {
                RunResult r = SampleResult(1000 * (w + 1) + i, "2026-03-01T09:00:00.000Z");
                r.files.resize(1);
                const PutResult put = store.Put(i == kEach / 2 ? shared : r);
                if (!put.Kept()) failures[w].push_back(put.message);
            }
        });
    }
    for (std::thread& t : writers) t.join();
    EXPECT_TRUE(failures[0].empty() && failures[1].empty())
        << (failures[0].empty() ? "" : failures[0][0])
        << (failures[1].empty() ? "" : failures[1][0]);
    EXPECT_EQ(Store().Count(error), static_cast<size_t>(2 * kEach - 1));
}

}  // namespace

}  // namespace veska::results::test
