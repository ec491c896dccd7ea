// veskactl history and results on a prepared results store.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "results/OpenStore.h"
#include "results/ResultStore.h"

namespace {

namespace fs = std::filesystem;
using veska::results::Outcome;
using veska::results::RunResult;

struct Ran {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ResultsCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "veska-history.XXXXXX").string();
        folder_ = ::mkdtemp(pattern.data());
        url_ = "sqlite:" + (folder_ / "results.sqlite").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    /// veskactl with args; XDG_DATA_HOME points into the test's folder.
    Ran Veskactl(const std::string& args) {
        const fs::path out = folder_ / "out.txt";
        const fs::path err = folder_ / "err.txt";
        const std::string command = "XDG_DATA_HOME='" + (folder_ / "data").string() + "' '" +
                                    VESKACTL_PATH + "' " + args + " >'" + out.string() + "' 2>'" +
                                    err.string() + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    }

    RunResult Put(const std::string& url, int serial, const std::string& started, Outcome outcome,
                  const std::string& spool = "") {
        RunResult r;
        r.runId = veska::results::NewRunId();
        r.unitId = r.runId;
        r.sensor = {20, serial, 1, 80, 50};
        r.sequence = "Full loop";
        r.step = "Verification\tafter";  // a tab must not break the columns
        r.mode = "Poverka";
        r.started = started;
        r.ended = started;
        r.outcome = outcome;
        r.measurements = {{"figure_percent", 0.125, "%", std::nullopt, 0.1, outcome}};
        std::string error;
        auto store = veska::results::OpenStore(url, error, spool);
        EXPECT_NE(store, nullptr) << error;
        EXPECT_TRUE(store->Put(r).Kept());
        return r;
    }

    fs::path folder_;
    std::string url_;
};

TEST_F(ResultsCommand, HistoryListsTheRunsOfASerialNewestFirstAsTextAndJson) {
    const RunResult older = Put(url_, 1234, "2026-01-05T10:00:00.000Z", Outcome::Failed);
    const RunResult newer = Put(url_, 1234, "2026-02-05T10:00:00.000Z", Outcome::Passed);
    Put(url_, 999, "2026-02-06T10:00:00.000Z", Outcome::Failed);

    const Ran json = Veskactl("--results " + url_ + " history --serial 1234 --json");
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto array = nlohmann::json::parse(json.out);
    ASSERT_EQ(array.size(), 2u);
    EXPECT_EQ(array[0]["run_id"], newer.runId);
    EXPECT_EQ(array[1]["run_id"], older.runId);
    EXPECT_EQ(array[1]["serial"], 1234);
    EXPECT_EQ(array[1]["sequence"], "Full loop");
    EXPECT_EQ(array[1]["step"], "Verification\tafter");
    EXPECT_EQ(array[1]["outcome"], "failed");
    EXPECT_EQ(array[1]["started"], "2026-01-05T10:00:00.000Z");
    EXPECT_EQ(array[1]["measurements"][0]["value"], 0.125);
    EXPECT_TRUE(array[1]["measurements"][0]["low"].is_null());
    EXPECT_EQ(array[1]["measurements"][0]["high"], 0.1);

    const Ran text = Veskactl("--results=" + url_ + " history --outcome failed --since 2026-02-01");
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out,
              "2026-02-06T10:00:00.000Z\t999\tFull loop\tVerification after\tPoverka\tfailed\t-\n"
              "    figure_percent 0.125 % [..0.1] failed\n");

    EXPECT_EQ(Veskactl("--results " + url_ + " history --serial 5 --json").out, "[]\n");
}

TEST_F(ResultsCommand, BadArgumentsAndAnUnreadableStoreHaveTheirOwnExitCodes) {
    EXPECT_EQ(Veskactl("--results " + url_ + " history --since 2026-02-30x").exitCode, 2);
    EXPECT_EQ(Veskactl("--results " + url_ + " history --outcome maybe").exitCode, 2);
    EXPECT_EQ(Veskactl("--results " + url_ + " history --serial").exitCode, 2);
    EXPECT_EQ(Veskactl("--results " + url_ + " results frobnicate").exitCode, 2);
    EXPECT_EQ(Veskactl("--results mysql://x history").exitCode, 9);

    std::ofstream(folder_ / "broken.sqlite") << "not a database at all";
    const Ran broken =
        Veskactl("--results sqlite:" + (folder_ / "broken.sqlite").string() + " history");
    EXPECT_EQ(broken.exitCode, 9);
    EXPECT_NE(broken.err.find("not a database"), std::string::npos) << broken.err;
}

TEST_F(ResultsCommand, SyncSaysHowManyResultsStillWaitForTheServer) {
    const std::string away = "postgresql:///results?host=" + (folder_ / "no-server").string();
    const std::string spool = (folder_ / "data/veskacfg/spool.sqlite").string();
    fs::create_directories(folder_ / "data/veskacfg");
    Put(away, 1, "2026-02-05T10:00:00.000Z", Outcome::Passed, spool);

    const Ran sync = Veskactl("--results '" + away + "' results sync");
    EXPECT_EQ(sync.exitCode, 9);
    EXPECT_EQ(sync.out, "delivered=0 waiting=1\n");
    EXPECT_NE(sync.err.find("no-server"), std::string::npos) << sync.err;
    const Ran status = Veskactl("--results '" + away + "' results status");
    EXPECT_NE(status.out.find("waiting=1"), std::string::npos) << status.out;

    const Ran local = Veskactl("--results " + url_ + " results sync");
    EXPECT_EQ(local.exitCode, 0);
    EXPECT_EQ(local.out, "delivered=0 waiting=0\n");
}

}  // namespace
