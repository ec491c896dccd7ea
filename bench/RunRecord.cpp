#include "bench/RunRecord.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "lang/NumberFormat.h"

namespace veska::bench {

std::string IsoUtc(std::chrono::system_clock::time_point time) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms % 1000));
    return text;
}

std::string RunFileStem(uint32_t serial, const std::string& caption,
                        std::chrono::system_clock::time_point start) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(start);
    std::tm local{};
    ::localtime_r(&seconds, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return std::to_string(serial) + "_" + caption + "_" + stamp;
}

nlohmann::ordered_json SensorJson(const link::DeviceInfo& info) {
    return {{"type", info.deviceType},
            {"serial", info.serialNumber},
            {"release", info.releaseNumber},
            {"base", info.baseDistance},
            {"range", info.measuringRange}};
}

nlohmann::ordered_json MotionJson(const RunState& run, const params::ConnectionState& conn) {
    nlohmann::ordered_json motion;
    motion["record"] = conn.motorRecord;
    motion["step_period_us"] = run.timing.stepPeriodMicros;
    // The single-precision step, to the 8 decimals a motor record carries.
    motion["sample_step_mm"] = std::round(static_cast<double>(run.sampleStep) * 1e8) / 1e8;
    motion["encoder_averaging"] = run.timing.encoderAveraging;
    return motion;
}

nlohmann::ordered_json ResultsJson(const std::map<std::string, double>& results) {
    constexpr double kLargestExact = 9007199254740992.0;  // 2^53
    nlohmann::ordered_json j = nlohmann::ordered_json::object();
    for (const auto& [name, value] : results) {
        if (std::isfinite(value) && std::floor(value) == value &&
            std::fabs(value) < kLargestExact) {
            j[name] = static_cast<int64_t>(value);
        } else if (std::isfinite(value)) {
            j[name] = value;
        } else {
            j[name] = nullptr;
        }
    }
    return j;
}

nlohmann::ordered_json RecordJson(const RunRecord& record, const params::ConnectionState& conn,
                                  const RunState& run, int32_t samples) {
    nlohmann::ordered_json j;
    j["mode"] = record.row != nullptr ? std::string(record.row->caption) : std::string();
    j["code"] = record.row != nullptr ? record.row->code : -1;
    j["outcome"] = OutcomeName(run.verdict.outcome);
    j["reason"] = run.verdict.reason;
    j["completed"] = run.verdict.Passed();
    j["end"] = record.end;
    j["started"] = record.started;
    j["ended"] = record.ended;
    j["seconds_limit"] =
        record.secondsLimit ? nlohmann::ordered_json(*record.secondsLimit) : nullptr;
    j["sensor"] = SensorJson(conn.deviceInfo);
    j["motion"] = MotionJson(run, conn);
    j["method"] = run.method;
    j["samples"] = samples;
    j["expected_samples"] = run.expectedSamples;
    j["results"] = ResultsJson(run.results);
    j["files"] = run.files;
    j["notes"] = run.notes;
    j["messages"] = record.messages;
    return j;
}

std::string RecordText(const nlohmann::ordered_json& record) {
    return record.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string RunEndLine(const ModeRow& row, const RunState& run) {
    std::string line = std::string(row.caption) + ": " + OutcomeName(run.verdict.outcome);
    if (const auto it = run.results.find("figure_percent"); it != run.results.end()) {
        line += ", figure " + lang::FormatFixed(it->second, 3) + " % of the range";
    }
    if (const auto it = run.results.find("table_uploaded"); it != run.results.end()) {
        line += it->second != 0.0 ? ", table uploaded" : ", no table uploaded";
    }
    if (!run.verdict.reason.empty()) line += " (" + run.verdict.reason + ")";
    return line;
}

void ConcludeTimeLimit(RunState& run, bool endsByItself) {
    if (endsByItself) {
        run.Conclude(RunOutcome::Stopped, "the time limit ran out before the mode ended its run");
    }
}

}  // namespace veska::bench
