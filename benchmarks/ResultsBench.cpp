// The results store: (1) one complete sequence result stored against writing its files
// alone, (2) a history by serial on 1,000,000 runs against a scan of the same table, (3) the
// delivery of 1,000 spooled results against storing them directly. SQLite in a temporary
// folder; with VESKA_TEST_POSTGRES_URI set, (3) delivers to that server.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "results/OpenStore.h"
#include "results/PostgresConnection.h"
#include "results/SpooledStore.h"
#include "results/SqlStore.h"
#include "results/SqliteConnection.h"

namespace {

namespace fs = std::filesystem;
using namespace veska::results;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::unique_ptr<SqlStore> SqliteAt(const fs::path& path) {
    std::string error;
    auto connection = SqliteConnection::Open(path.string(), error);
    if (!connection) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    return std::make_unique<SqlStore>(std::move(connection), path.string());
}

std::vector<uint8_t> Bytes(size_t n, uint8_t seed) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + seed);
    return bytes;
}

/// The records of one unit through the full loop, with files of a real run's sizes: the
/// verification texts and their 800 x 400 images, the calibration table.
std::vector<RunResult> SequenceResult(int serial) {
    const std::string unit = NewRunId();
    const auto record = [&](const char* step, const char* mode, std::vector<StoredFile> files) {
        RunResult r;
        r.runId = NewRunId();
        r.unitId = unit;
        r.station = "bench 1";
        r.operatorName = "operator";
        r.programVersion = "2.0";
        r.sensor = {20, serial, 1, 80, 50};
        r.sequence = "Full loop";
        r.step = step;
        r.mode = mode;
        r.started = "2026-03-01T08:00:00.000Z";
        r.ended = "2026-03-01T08:05:00.000Z";
        r.outcome = Outcome::Passed;
        r.measurements = {{"figure_percent", 0.05, "%", std::nullopt, 0.1, Outcome::Passed}};
        r.files = std::move(files);
        return r;
    };
    const auto verification = [&](const char* step) {
        return record(step, "Poverka",
                      {{"pvk", Bytes(60000, 1)},
                       {"pvk.bmp", Bytes(960054, 2)},
                       {"Analog.pvk", Bytes(60000, 3)},
                       {"Analog_pvk.bmp", Bytes(960054, 4)}});
    };
    std::vector<RunResult> runs = {
        verification("before"), record("calibration", "Calibration", {{"klb", Bytes(400000, 5)}}),
        verification("after"), record("adjustment", "0_10V_Adjustment", {}),
        record("check", "0_10V_Check", {})};
    RunResult verdict = record("", "", {});
    verdict.runId = unit;
    runs.push_back(verdict);
    return runs;
}

void StoreAgainstFiles(const fs::path& folder) {
    auto store = SqliteAt(folder / "store.sqlite");
    std::string error;
    store->Ready(error);
    constexpr int kUnits = 10;
    double storeMs = 0.0;
    double filesMs = 0.0;
    double syncedMs = 0.0;
    for (int u = 0; u < kUnits; ++u) {
        const std::vector<RunResult> runs = SequenceResult(u);
        auto start = Clock::now();
        for (const RunResult& r : runs) {
            if (store->Put(r).status != PutStatus::Stored) std::exit(1);
        }
        storeMs += MsSince(start);
        start = Clock::now();
        for (const RunResult& r : runs) {
            for (const StoredFile& f : r.files) {
                std::ofstream out(folder / (r.runId + f.name), std::ios::binary);
                out.write(reinterpret_cast<const char*>(f.content.data()),
                          static_cast<std::streamsize>(f.content.size()));
            }
        }
        filesMs += MsSince(start);
        // The same files made durable, as the store's commit makes its records.
        start = Clock::now();
        for (const RunResult& r : runs) {
            for (const StoredFile& f : r.files) {
                const fs::path path = folder / (r.runId + f.name + ".synced");
                const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd < 0 || ::write(fd, f.content.data(), f.content.size()) < 0 ||
                    ::fsync(fd) != 0) {
                    std::exit(1);
                }
                ::close(fd);
            }
        }
        syncedMs += MsSince(start);
    }
    std::printf(
        "one sequence result (6 records, 4.5 MB of files): stored %.1f ms; its files "
        "alone %.1f ms (ratio %.1f), synced to disk %.1f ms (ratio %.2f)\n",
        storeMs / kUnits, filesMs / kUnits, storeMs / filesMs, syncedMs / kUnits,
        storeMs / syncedMs);
}

void HistoryOnAMillionRuns(const fs::path& folder) {
    const fs::path path = folder / "million.sqlite";
    auto store = SqliteAt(path);
    std::string error;
    store->Ready(error);
    std::unique_ptr<SqliteConnection> db = SqliteConnection::Open(path.string(), error);
    auto start = Clock::now();
    // 1,000,000 runs over 65,536 serials, one measurement each, a minute apart.
    const char* fill[] = {
        "BEGIN",
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 999999) "
        "INSERT INTO runs SELECT printf('run-%07d', i), printf('unit-%07d', i / 6), 'bench 1', "
        "'operator', '2.0', 20, (i * 7919) % 65536, 1, 80, 50, 'Full loop', 'after', 'Poverka', "
        "strftime('%Y-%m-%dT%H:%M:%S.000Z', 1700000000 + i * 60, 'unixepoch'), "
        "strftime('%Y-%m-%dT%H:%M:%S.000Z', 1700000030 + i * 60, 'unixepoch'), "
        "CASE WHEN i % 10 = 0 THEN 'failed' ELSE 'passed' END, '' FROM n",
        "INSERT INTO measurements SELECT run_id, 0, 'figure_percent', 0.05, '%', NULL, 0.1, "
        "outcome FROM runs",
        "COMMIT", "ANALYZE"};
    for (const char* sql : fill) {
        if (!db->Exec(sql, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            std::exit(1);
        }
    }
    std::printf("1,000,000 runs made in %.0f ms\n", MsSince(start));
    constexpr int kQueries = 200;
    size_t found = 0;
    start = Clock::now();
    for (int q = 0; q < kQueries; ++q) {
        found += store->History({(q * 331) % 65536, "", std::nullopt, 0}, error)->size();
    }
    const double historyMs = MsSince(start) / kQueries;
    // The same selection without the index: a scan of the whole table.
    start = Clock::now();
    std::vector<SqlRow> rows;
    db->Exec("SELECT run_id FROM runs WHERE +sensor_serial = $1", {int64_t{331}}, &rows, error);
    const double scanMs = MsSince(start);
    std::printf(
        "history --serial on 1,000,000 runs: %.3f ms per query (%.1f runs each), a scan "
        "%.1f ms, ratio %.4f\n",
        historyMs, static_cast<double>(found) / kQueries, scanMs, historyMs / scanMs);
}

void DeliverSpooled(const fs::path& folder) {
    const char* pg = std::getenv("VESKA_TEST_POSTGRES_URI");
    const auto shared = [&](const char* name) -> std::unique_ptr<SqlStore> {
        if (pg != nullptr)
            return std::make_unique<SqlStore>(std::make_unique<PostgresConnection>(pg), "server");
        return SqliteAt(folder / name);
    };
    constexpr int kResults = 1000;
    std::vector<RunResult> results;
    for (int i = 0; i < kResults; ++i) {
        RunResult r = SequenceResult(i)[2];
        r.files = {{"pvk", Bytes(60000, 1)}};  // a verification text; the images stay on disk
        results.push_back(std::move(r));
    }
    auto direct = shared("direct.sqlite");
    auto start = Clock::now();
    for (const RunResult& r : results) direct->Put(r);
    const double directMs = MsSince(start);

    auto spool = SqliteAt(folder / "spool.sqlite");
    for (RunResult& r : results) {
        r.runId = NewRunId();
        spool->Put(r);
    }
    SpooledStore spooled(shared("delivered.sqlite"), std::move(spool));
    start = Clock::now();
    const DeliveryReport report = spooled.Deliver();
    const double deliverMs = MsSince(start);
    std::printf(
        "delivery of %zu spooled results to %s: %.0f ms, storing them directly %.0f ms, "
        "ratio %.2f\n",
        report.delivered, pg != nullptr ? "PostgreSQL" : "SQLite", deliverMs, directMs,
        deliverMs / directMs);
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "veska-results-bench.XXXXXX").string();
    const fs::path folder = ::mkdtemp(pattern.data());
    StoreAgainstFiles(folder);
    HistoryOnAMillionRuns(folder);
    DeliverSpooled(folder);
    fs::remove_all(folder);
    return 0;
}
