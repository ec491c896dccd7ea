#include "main/StoredRuns.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/FileIo.h"

namespace veska::main {

results::Outcome StoredOutcome(bench::RunOutcome outcome) {
    switch (outcome) {
        case bench::RunOutcome::Passed:
            return results::Outcome::Passed;
        case bench::RunOutcome::Stopped:
            return results::Outcome::Aborted;
        case bench::RunOutcome::Failed:
            return results::Outcome::Failed;
        case bench::RunOutcome::Error:
            return results::Outcome::Error;
    }
    return results::Outcome::Error;
}

results::SensorIdentity StoredSensor(const link::DeviceInfo& info) {
    return {info.deviceType, info.serialNumber, info.releaseNumber, info.baseDistance,
            info.measuringRange};
}

std::vector<results::StoredFile> ReadRunFiles(const std::vector<std::string>& paths,
                                              std::string& problems) {
    std::vector<results::StoredFile> files;
    std::vector<std::string> seen;
    for (const std::string& path : paths) {
        if (std::find(seen.begin(), seen.end(), path) != seen.end()) continue;
        seen.push_back(path);
        std::string data;
        std::string reason;
        if (!platform::ReadRegularFile(path, kLargestStoredFile, data, reason)) {
            if (!problems.empty()) problems += "; ";
            problems += path + ": " + reason;
            continue;
        }
        files.push_back({std::filesystem::path(path).filename().string(),
                         std::vector<uint8_t>(data.begin(), data.end())});
    }
    return files;
}

std::vector<results::Measurement> UnjudgedMeasurements(
    const std::map<std::string, double>& results) {
    std::vector<results::Measurement> measurements;
    for (const auto& [name, value] : results) {
        results::Measurement m;
        m.name = name;
        if (std::isfinite(value)) {
            m.value = value;
            m.outcome = results::Outcome::Passed;
        }
        measurements.push_back(std::move(m));
    }
    return measurements;
}

std::string HostStationName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "station";
    return name;
}

std::string LoginName() {
    const char* user = std::getenv("USER");
    return user != nullptr && *user != '\0' ? user : "unknown";
}

results::RunResult BenchRunResult(const bench::RunRecord& record, const bench::RunState& run,
                                  const link::DeviceInfo& sensor, const RunAuthor& author,
                                  const std::vector<std::string>& files,
                                  std::string& fileProblems) {
    results::RunResult r;
    r.runId = results::NewRunId();
    r.station = author.station;
    r.operatorName = author.operatorName;
    r.programVersion = VESKA_VERSION;
    r.sensor = StoredSensor(sensor);
    if (record.row != nullptr) r.mode = std::string(record.row->caption);
    r.started = record.started;
    r.ended = record.ended;
    r.outcome = StoredOutcome(run.verdict.outcome);
    r.reason = run.verdict.reason;
    r.measurements = UnjudgedMeasurements(run.results);
    r.files = ReadRunFiles(files, fileProblems);
    return r;
}

}  // namespace veska::main
