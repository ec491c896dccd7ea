// veskactl bench: the mode words, and the machine-readable record of a run.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "params/ParamCodings.h"
#include "tools/veskactl/BenchCommand.h"

namespace veska::tools {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

const char* RunEndName(RunEnd end) {
    switch (end) {
        case RunEnd::Self:
            return "self";
        case RunEnd::TimeLimit:
            return "time limit";
        case RunEnd::Interrupted:
            return "interrupted";
        case RunEnd::Failure:
            return "failure";
        case RunEnd::Lost:
            return "sensor lost";
    }
    return "failure";
}

bool RunsUntilStopped(int32_t code) {
    switch (code) {
        case bench::kModeLine:
        case bench::kModeNonline:
        case bench::kModeTemperature:
        case bench::kModePulse:
        case bench::kModeAlCheck:
        case bench::kModeLaserAdjustment:
            return true;
        default:
            return false;
    }
}

const bench::ModeRow* ResolveMode(const std::string& word) {
    for (const bench::ModeRow& row : bench::ModeList()) {
        if (SameWord(row.caption, word)) return &row;
    }
    int32_t code = 0;
    if (!params::ParseInteger(word, code)) return nullptr;
    return bench::FindMode(code);
}

std::string AllowedCaptions() {
    std::string text;
    for (const bench::ModeRow& row : bench::ModeList()) {
        if (!text.empty()) text += ", ";
        text += row.caption;
    }
    return text;
}

int32_t RingCount(const acquire::SampleBuffer& samples) {
    if (samples.Wrapped()) return acquire::SampleBuffer::kSize;
    return std::max<int32_t>(samples.Index(), 0);
}

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

nlohmann::ordered_json SensorJson(const link::DeviceInfo& info) {
    return {{"type", info.deviceType},
            {"serial", info.serialNumber},
            {"release", info.releaseNumber},
            {"base", info.baseDistance},
            {"range", info.measuringRange}};
}

nlohmann::ordered_json MotionJson(const bench::RunState& run, const params::ConnectionState& conn) {
    nlohmann::ordered_json motion;
    motion["record"] = conn.motorRecord;
    motion["step_period_us"] = run.timing.stepPeriodMicros;
    // The single-precision step, to the 8 decimals a motor record carries.
    motion["sample_step_mm"] = std::round(static_cast<double>(run.sampleStep) * 1e8) / 1e8;
    motion["encoder_averaging"] = run.timing.encoderAveraging;
    return motion;
}

nlohmann::ordered_json RecordJson(const RunRecord& record, const main::ProgramState& state,
                                  const bench::RunState& run) {
    nlohmann::ordered_json j;
    j["mode"] = std::string(record.row->caption);
    j["code"] = record.row->code;
    j["completed"] = record.completed;
    j["end"] = RunEndName(record.end);
    j["started"] = record.started;
    j["ended"] = record.ended;
    j["seconds_limit"] =
        record.secondsLimit ? nlohmann::ordered_json(*record.secondsLimit) : nullptr;
    j["sensor"] = SensorJson(state.session.conn.deviceInfo);
    j["motion"] = MotionJson(run, state.session.conn);
    j["samples"] = RingCount(state.samples);
    j["results"] = run.results;
    j["files"] = run.files;
    j["notes"] = run.notes;
    j["messages"] = record.messages;
    return j;
}

}  // namespace veska::tools
