#include "main/StoredRuns.h"

#include <algorithm>
#include <cmath>
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

}  // namespace veska::main
