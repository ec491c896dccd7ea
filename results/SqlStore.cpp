#include "results/SqlStore.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <map>

namespace veska::results {

namespace {

// The run columns in the order of RunColumns(); RowToRun reads them by these positions.
constexpr const char* kRunColumns =
    "run_id, unit_id, station, operator_name, program_version, sensor_type, sensor_serial, "
    "sensor_release, sensor_base_mm, sensor_range_mm, sequence, step, mode, started, ended, "
    "outcome, reason";
constexpr const char* kMeasurementColumns =
    "run_id, name, value, unit, low_limit, high_limit, outcome";

const std::array<SchemaStep, 2> kSchemaSteps = {{
    {1,
     {"CREATE TABLE runs (run_id TEXT PRIMARY KEY, unit_id TEXT NOT NULL, station TEXT NOT "
      "NULL, operator_name TEXT NOT NULL, program_version TEXT NOT NULL, sensor_type INTEGER "
      "NOT NULL, sensor_serial INTEGER NOT NULL, sensor_release INTEGER NOT NULL, "
      "sensor_base_mm INTEGER NOT NULL, sensor_range_mm INTEGER NOT NULL, sequence TEXT NOT "
      "NULL, step TEXT NOT NULL, mode TEXT NOT NULL, started TEXT NOT NULL, ended TEXT NOT "
      "NULL, outcome TEXT NOT NULL, reason TEXT NOT NULL)",
      "CREATE TABLE measurements (run_id TEXT NOT NULL, item INTEGER NOT NULL, name TEXT NOT "
      "NULL, value DOUBLE PRECISION, unit TEXT NOT NULL, low_limit DOUBLE PRECISION, "
      "high_limit DOUBLE PRECISION, outcome TEXT NOT NULL, PRIMARY KEY (run_id, item))",
      "CREATE TABLE files (run_id TEXT NOT NULL, item INTEGER NOT NULL, name TEXT NOT NULL, "
      "content {blob} NOT NULL, PRIMARY KEY (run_id, item))"}},
    // The history's look-ups: by serial, by date, by outcome, and a unit's steps.
    {2,
     {"CREATE INDEX runs_by_serial ON runs (sensor_serial, started)",
      "CREATE INDEX runs_by_started ON runs (started)",
      "CREATE INDEX runs_by_outcome ON runs (outcome, started)",
      "CREATE INDEX runs_by_unit ON runs (unit_id)"}},
}};

std::string WithBlobType(std::string sql, const char* blobType) {
    const std::string mark = "{blob}";
    if (const size_t at = sql.find(mark); at != std::string::npos)
        sql.replace(at, mark.size(), blobType);
    return sql;
}

std::string Text(const std::optional<std::string>& cell) { return cell.value_or(""); }

int Int(const std::optional<std::string>& cell) {
    int value = 0;
    if (cell) std::from_chars(cell->data(), cell->data() + cell->size(), value);
    return value;
}

std::optional<double> Real(const std::optional<std::string>& cell) {
    if (!cell || cell->empty()) return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(cell->c_str(), &end);
    if (end != cell->c_str() + cell->size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

Outcome OutcomeOf(const std::optional<std::string>& cell) {
    return ParseOutcome(Text(cell)).value_or(Outcome::Error);
}

SqlValue RealOrNull(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

RunResult RowToRun(const SqlRow& row) {
    RunResult r;
    r.runId = Text(row[0]);
    r.unitId = Text(row[1]);
    r.station = Text(row[2]);
    r.operatorName = Text(row[3]);
    r.programVersion = Text(row[4]);
    r.sensor = {Int(row[5]), Int(row[6]), Int(row[7]), Int(row[8]), Int(row[9])};
    r.sequence = Text(row[10]);
    r.step = Text(row[11]);
    r.mode = Text(row[12]);
    r.started = Text(row[13]);
    r.ended = Text(row[14]);
    r.outcome = OutcomeOf(row[15]);
    r.reason = Text(row[16]);
    return r;
}

Measurement RowToMeasurement(const SqlRow& row) {
    return {Text(row[1]), Real(row[2]), Text(row[3]),
            Real(row[4]), Real(row[5]), OutcomeOf(row[6])};
}

/// The WHERE clause of a history query and its parameters.
struct Filter {
    std::string where;
    std::vector<SqlValue> params;

    void Add(const std::string& condition, SqlValue value) {
        where += where.empty() ? " WHERE " : " AND ";
        where += condition + "$" + std::to_string(params.size() + 1);
        params.push_back(std::move(value));
    }
};

Filter FilterOf(const HistoryQuery& query) {
    Filter f;
    if (query.serial) f.Add("sensor_serial = ", int64_t{*query.serial});
    if (!query.since.empty()) f.Add("started >= ", query.since);
    if (query.outcome) f.Add("outcome = ", std::string(OutcomeName(*query.outcome)));
    f.where += " ORDER BY started DESC, run_id DESC";
    if (query.limit > 0) f.where += " LIMIT " + std::to_string(query.limit);
    return f;
}

}  // namespace

std::span<const SchemaStep> SchemaSteps() { return kSchemaSteps; }
int CurrentSchemaVersion() { return kSchemaSteps.back().version; }

SqlStore::SqlStore(std::unique_ptr<SqlConnection> connection, std::string description,
                   int upgradeTo)
    : db_(std::move(connection)),
      description_(std::move(description)),
      target_(upgradeTo > 0 ? upgradeTo : CurrentSchemaVersion()) {}

std::optional<int> SqlStore::SchemaVersion(std::string& error) {
    std::vector<SqlRow> rows;
    if (!db_->Exec(db_->Dialect().tableExists, {std::string("veska_schema")}, &rows, error)) {
        return std::nullopt;
    }
    if (rows.empty() || Int(rows[0][0]) == 0) return 0;
    rows.clear();
    if (!db_->Exec("SELECT version FROM veska_schema", {}, &rows, error)) return std::nullopt;
    return rows.empty() ? 0 : Int(rows[0][0]);
}

bool SqlStore::NewerThanProgram(int version, std::string& error) const {
    if (version <= CurrentSchemaVersion()) return false;
    error = description_ + ": the results database has schema version " + std::to_string(version) +
            ", newer than this program's " + std::to_string(CurrentSchemaVersion()) +
            "; use a newer program";
    return true;
}

bool SqlStore::Ready(std::string& error) {
    if (ready_) return true;
    const std::optional<int> version = SchemaVersion(error);
    if (!version || NewerThanProgram(*version, error)) return false;
    if (*version < target_ && !Upgrade(error)) return false;
    ready_ = true;
    return true;
}

bool SqlStore::Rollback() {
    // The statement's own error is what the caller reports; a failed rollback adds nothing.
    std::string ignored;
    db_->Exec("ROLLBACK", ignored);
    return false;
}

bool SqlStore::Upgrade(std::string& error) {
    const SqlDialect& dialect = db_->Dialect();
    if (!db_->Exec(dialect.beginWrite, error)) return false;
    if (*dialect.lockForUpgrade != '\0' && !db_->Exec(dialect.lockForUpgrade, error)) {
        return Rollback();
    }
    if (!db_->Exec("CREATE TABLE IF NOT EXISTS veska_schema (version INTEGER NOT NULL)", error)) {
        return Rollback();
    }
    // Another station may have upgraded since the first look.
    std::vector<SqlRow> rows;
    if (!db_->Exec("SELECT version FROM veska_schema", {}, &rows, error)) return Rollback();
    int version = rows.empty() ? 0 : Int(rows[0][0]);
    if (NewerThanProgram(version, error)) return Rollback();
    if (rows.empty() && !db_->Exec("INSERT INTO veska_schema (version) VALUES (0)", error)) {
        return Rollback();
    }
    for (const SchemaStep& step : kSchemaSteps) {
        if (step.version <= version || step.version > target_) continue;
        for (const char* statement : step.statements) {
            if (!db_->Exec(WithBlobType(statement, dialect.blobType), error)) {
                return Rollback();
            }
        }
        version = step.version;
    }
    if (!db_->Exec("UPDATE veska_schema SET version = $1", {int64_t{version}}, nullptr, error) ||
        !db_->Exec("COMMIT", error)) {
        return Rollback();
    }
    return true;
}

PutResult SqlStore::Put(const RunResult& r) {
    PutResult result;
    if (r.runId.empty()) {
        result.message = description_ + ": a result without a run id is not stored";
        return result;
    }
    if (!Ready(result.message)) return result;
    if (!db_->Exec(db_->Dialect().beginWrite, result.message)) return result;
    std::vector<SqlRow> inserted;
    const std::string insertRun = std::string("INSERT INTO runs (") + kRunColumns +
                                  ") VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, "
                                  "$13, $14, $15, $16, $17) ON CONFLICT (run_id) DO NOTHING "
                                  "RETURNING run_id";
    const std::vector<SqlValue> runValues = {r.runId,
                                             r.unitId,
                                             r.station,
                                             r.operatorName,
                                             r.programVersion,
                                             int64_t{r.sensor.type},
                                             int64_t{r.sensor.serial},
                                             int64_t{r.sensor.release},
                                             int64_t{r.sensor.base},
                                             int64_t{r.sensor.range},
                                             r.sequence,
                                             r.step,
                                             r.mode,
                                             r.started,
                                             r.ended,
                                             std::string(OutcomeName(r.outcome)),
                                             r.reason};
    if (!db_->Exec(insertRun, runValues, &inserted, result.message)) {
        Rollback();
        return result;
    }
    if (inserted.empty()) {
        Rollback();
        result.status = PutStatus::Duplicate;
        return result;
    }
    for (size_t i = 0; i < r.measurements.size(); ++i) {
        const Measurement& m = r.measurements[i];
        if (!db_->Exec("INSERT INTO measurements (run_id, item, name, value, unit, low_limit, "
                       "high_limit, outcome) VALUES ($1, $2, $3, $4, $5, $6, $7, $8)",
                       {r.runId, static_cast<int64_t>(i), m.name, RealOrNull(m.value), m.unit,
                        RealOrNull(m.low), RealOrNull(m.high), std::string(OutcomeName(m.outcome))},
                       nullptr, result.message)) {
            Rollback();
            return result;
        }
    }
    for (size_t i = 0; i < r.files.size(); ++i) {
        if (!db_->Exec("INSERT INTO files (run_id, item, name, content) VALUES ($1, $2, $3, $4)",
                       {r.runId, static_cast<int64_t>(i), r.files[i].name, r.files[i].content},
                       nullptr, result.message)) {
            Rollback();
            return result;
        }
    }
    if (!db_->Exec("COMMIT", result.message)) {
        Rollback();
        return result;
    }
    result.status = PutStatus::Stored;
    return result;
}

std::optional<std::vector<RunResult>> SqlStore::History(const HistoryQuery& query,
                                                        std::string& error) {
    if (!Ready(error)) return std::nullopt;
    const Filter filter = FilterOf(query);
    std::vector<SqlRow> rows;
    if (!db_->Exec(std::string("SELECT ") + kRunColumns + " FROM runs" + filter.where,
                   filter.params, &rows, error)) {
        return std::nullopt;
    }
    std::vector<RunResult> runs;
    runs.reserve(rows.size());
    std::map<std::string, size_t> byId;
    for (const SqlRow& row : rows) {
        runs.push_back(RowToRun(row));
        byId[runs.back().runId] = runs.size() - 1;
    }
    if (runs.empty()) return runs;
    rows.clear();
    if (!db_->Exec(std::string("SELECT ") + kMeasurementColumns +
                       " FROM measurements WHERE run_id IN (SELECT run_id FROM runs" +
                       filter.where + ") ORDER BY run_id, item",
                   filter.params, &rows, error)) {
        return std::nullopt;
    }
    for (const SqlRow& row : rows) {
        const auto it = byId.find(Text(row[0]));
        if (it != byId.end()) runs[it->second].measurements.push_back(RowToMeasurement(row));
    }
    return runs;
}

std::optional<RunResult> SqlStore::Load(const std::string& runId, std::string& error) {
    error.clear();
    if (!Ready(error)) return std::nullopt;
    std::vector<SqlRow> rows;
    if (!db_->Exec(std::string("SELECT ") + kRunColumns + " FROM runs WHERE run_id = $1", {runId},
                   &rows, error)) {
        return std::nullopt;
    }
    if (rows.empty()) return std::nullopt;
    RunResult run = RowToRun(rows[0]);
    rows.clear();
    if (!db_->Exec(std::string("SELECT ") + kMeasurementColumns +
                       " FROM measurements WHERE run_id = $1 ORDER BY item",
                   {runId}, &rows, error)) {
        return std::nullopt;
    }
    for (const SqlRow& row : rows) run.measurements.push_back(RowToMeasurement(row));
    rows.clear();
    if (!db_->Exec("SELECT name, content FROM files WHERE run_id = $1 ORDER BY item", {runId},
                   &rows, error)) {
        return std::nullopt;
    }
    for (const SqlRow& row : rows) {
        const std::string content = Text(row[1]);
        run.files.push_back({Text(row[0]), std::vector<uint8_t>(content.begin(), content.end())});
    }
    return run;
}

std::optional<std::vector<std::string>> SqlStore::RunIds(std::string& error) {
    if (!Ready(error)) return std::nullopt;
    std::vector<SqlRow> rows;
    if (!db_->Exec("SELECT run_id FROM runs ORDER BY started, run_id", {}, &rows, error)) {
        return std::nullopt;
    }
    std::vector<std::string> ids;
    ids.reserve(rows.size());
    for (const SqlRow& row : rows) ids.push_back(Text(row[0]));
    return ids;
}

bool SqlStore::Remove(const std::vector<std::string>& runIds, std::string& error) {
    if (runIds.empty()) return true;
    if (!Ready(error)) return false;
    if (!db_->Exec(db_->Dialect().beginWrite, error)) return false;
    for (const std::string& runId : runIds) {
        for (const char* table : {"files", "measurements", "runs"}) {
            if (!db_->Exec(std::string("DELETE FROM ") + table + " WHERE run_id = $1", {runId},
                           nullptr, error)) {
                return Rollback();
            }
        }
    }
    if (!db_->Exec("COMMIT", error)) return Rollback();
    return true;
}

std::optional<size_t> SqlStore::Count(std::string& error) {
    if (!Ready(error)) return std::nullopt;
    std::vector<SqlRow> rows;
    if (!db_->Exec("SELECT count(*) FROM runs", {}, &rows, error)) return std::nullopt;
    return rows.empty() ? 0 : static_cast<size_t>(Int(rows[0][0]));
}

}  // namespace veska::results
