// The store on a real PostgreSQL server: the URI of a throwaway cluster comes from
// VESKA_TEST_POSTGRES_URI (scripts/pg-test-cluster.sh run -- ...). Without it the tests are
// skipped, except under CI=true, where they fail.
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "results/OpenStore.h"
#include "results/PostgresConnection.h"
#include "results/SqlStore.h"
#include "results/SqliteConnection.h"
#include "tests/results/StoreBackend.h"

namespace veska::results::test {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? "" : value;
}

/// The URI with its database name replaced.
std::string WithDatabase(const std::string& uri, const std::string& database) {
    const size_t authority = uri.find("://") + 3;
    const size_t path = uri.find('/', authority);
    const size_t query = uri.find('?', authority);
    if (path == std::string::npos || (query != std::string::npos && path > query)) {
        return uri.substr(0, query) + "/" + database +
               (query == std::string::npos ? "" : uri.substr(query));
    }
    return uri.substr(0, path + 1) + database +
           (query == std::string::npos ? "" : uri.substr(query));
}

bool Admin(const std::string& sql, std::string& error) {
    PGconn* conn = PQconnectdb(Env("VESKA_TEST_POSTGRES_URI").c_str());
    bool ok = PQstatus(conn) == CONNECTION_OK;
    if (ok) {
        PGresult* r = PQexec(conn, sql.c_str());
        ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
    }
    if (!ok) error = PQerrorMessage(conn);
    PQfinish(conn);
    return ok;
}

class PostgresBackend final : public Backend {
  public:
    void Create() override {
        static std::atomic<int> next{0};
        database_ = "veska_test_" + std::to_string(::getpid()) + "_" + std::to_string(next++);
        std::string error;
        ASSERT_TRUE(Admin("CREATE DATABASE " + database_, error)) << error;
    }
    void Drop() override {
        std::string error;
        EXPECT_TRUE(Admin("DROP DATABASE IF EXISTS " + database_ + " WITH (FORCE)", error))
            << error;
    }
    std::unique_ptr<SqlConnection> Connect() override {
        return std::make_unique<PostgresConnection>(Url());
    }
    std::string Url() const override {
        return WithDatabase(Env("VESKA_TEST_POSTGRES_URI"), database_);
    }

  private:
    std::string database_;
};

}  // namespace

Backend& TestBackend() {
    static PostgresBackend backend;
    return backend;
}

namespace {

/// The cluster's script and folder, for the tests that stop and restart the server.
struct Cluster {
    static bool Control(const char* action) {
        const std::string command = "'" + Env("VESKA_TEST_PG_SCRIPT") + "' " + action + " '" +
                                    Env("VESKA_TEST_PG_DIR") + "' >/dev/null";
        return std::system(command.c_str()) == 0;
    }
};

TEST(PostgresFaults, ResultsOfAServerStoppedMidSequenceAreSpooledAndDeliveredOnce) {
    if (Env("VESKA_TEST_PG_SCRIPT").empty() || Env("VESKA_TEST_PG_DIR").empty()) {
        GTEST_SKIP() << "needs the cluster of scripts/pg-test-cluster.sh run";
    }
    TestBackend().Create();
    char folderName[] = "/tmp/veska-spool.XXXXXX";
    const fs::path folder = ::mkdtemp(folderName);
    std::string error;
    auto store = OpenStore(TestBackend().Url(), error, (folder / "spool.sqlite").string());
    ASSERT_NE(store, nullptr) << error;

    const RunResult first = SampleResult(700, "2026-03-01T08:00:00.000Z");
    ASSERT_EQ(store->Put(first).status, PutStatus::Stored);

    ASSERT_TRUE(Cluster::Control("stop"));
    const RunResult second = SampleResult(700, "2026-03-01T08:10:00.000Z");
    const RunResult third = SampleResult(700, "2026-03-01T08:20:00.000Z");
    const PutResult spooled = store->Put(second);
    EXPECT_EQ(spooled.status, PutStatus::Spooled);
    EXPECT_NE(spooled.message.find("results server"), std::string::npos) << spooled.message;
    EXPECT_EQ(store->Put(third).status, PutStatus::Spooled);
    EXPECT_EQ(store->Pending(), 2u);
    EXPECT_EQ(store->Deliver().waiting, 2u);

    ASSERT_TRUE(Cluster::Control("start"));
    const RunResult verdict = SampleResult(700, "2026-03-01T08:30:00.000Z");
    EXPECT_EQ(store->Put(verdict).status, PutStatus::Stored);  // takes the waiting ones along
    EXPECT_EQ(store->Pending(), 0u);
    EXPECT_EQ(store->Deliver().delivered, 0u);

    const auto runs = store->History({700, "", std::nullopt, 0}, error);
    ASSERT_TRUE(runs.has_value()) << error;
    std::vector<std::string> ids;
    for (const RunResult& r : *runs) ids.push_back(r.runId);
    EXPECT_EQ(ids, (std::vector{verdict.runId, third.runId, second.runId, first.runId}));
    std::string loadError;
    EXPECT_EQ(store->Load(second.runId, loadError), second);

    store.reset();
    fs::remove_all(folder);
    TestBackend().Drop();
}

TEST(PostgresFaults, AnUnreachableServerIsNamedWithoutItsPassword) {
    SqlStore store(std::make_unique<PostgresConnection>(
                       "postgresql://veska:secret@/none?host=/nonexistent-folder"),
                   "shared");
    const PutResult put = store.Put(SampleResult(1, "2026-03-01T08:00:00.000Z"));
    EXPECT_EQ(put.status, PutStatus::Failed);
    EXPECT_NE(put.message.find("/nonexistent-folder"), std::string::npos) << put.message;
    EXPECT_EQ(put.message.find("secret"), std::string::npos) << put.message;
}

}  // namespace

}  // namespace veska::results::test

/// Every test needs the server: without one the program skips them all (exit 77), and under
/// CI=true it fails.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (std::getenv("VESKA_TEST_POSTGRES_URI") == nullptr) {
        const char* ci = std::getenv("CI");
        if (ci != nullptr && std::string(ci) == "true") {
            std::fprintf(stderr,
                         "VESKA_TEST_POSTGRES_URI is not set: no PostgreSQL server to "
                         "test against (run through scripts/pg-test-cluster.sh run)\n");
            return 1;
        }
        std::fprintf(stderr, "VESKA_TEST_POSTGRES_URI is not set: PostgreSQL tests skipped\n");
        return 77;
    }
    return RUN_ALL_TESTS();
}
