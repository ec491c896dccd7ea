// veskactl history and results: the results store without a sensor.
#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "params/ParamCodings.h"
#include "results/OpenStore.h"
#include "results/TimeText.h"
#include "tools/veskactl/Commands.h"
#include "tools/veskactl/Session.h"

namespace veska::tools {

namespace {

std::unique_ptr<results::ResultStore> OpenResults(Session& session) {
    std::string error;
    auto store = results::OpenStore(session.options.resultsUrl, error);
    if (!store) session.err << "veskactl: " << error << '\n';
    return store;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

nlohmann::ordered_json OptionalJson(const std::optional<double>& value) {
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json RunJson(const results::RunResult& r) {
    nlohmann::ordered_json j;
    j["run_id"] = r.runId;
    j["unit_id"] = r.unitId;
    j["serial"] = r.sensor.serial;
    j["sensor"] = {{"type", r.sensor.type},
                   {"serial", r.sensor.serial},
                   {"release", r.sensor.release},
                   {"base", r.sensor.base},
                   {"range", r.sensor.range}};
    j["sequence"] = r.sequence;
    j["step"] = r.step;
    j["mode"] = r.mode;
    j["started"] = r.started;
    j["ended"] = r.ended;
    j["outcome"] = results::OutcomeName(r.outcome);
    j["reason"] = r.reason;
    j["station"] = r.station;
    j["operator"] = r.operatorName;
    j["program_version"] = r.programVersion;
    nlohmann::ordered_json measurements = nlohmann::ordered_json::array();
    for (const results::Measurement& m : r.measurements) {
        measurements.push_back({{"name", m.name},
                                {"value", OptionalJson(m.value)},
                                {"unit", m.unit},
                                {"low", OptionalJson(m.low)},
                                {"high", OptionalJson(m.high)},
                                {"outcome", results::OutcomeName(m.outcome)}});
    }
    j["measurements"] = std::move(measurements);
    return j;
}

/// Keeps a stored text on its own line and column: tabs and line ends become spaces.
std::string Cell(const std::string& text) {
    std::string cell = text.empty() ? "-" : text;
    for (char& c : cell) {
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    return cell;
}

void PrintRun(std::ostream& out, const results::RunResult& r) {
    out << r.started << '\t' << r.sensor.serial << '\t' << Cell(r.sequence) << '\t' << Cell(r.step)
        << '\t' << Cell(r.mode) << '\t' << results::OutcomeName(r.outcome) << '\t' << Cell(r.reason)
        << '\n';
    for (const results::Measurement& m : r.measurements) {
        out << "    " << Cell(m.name) << ' ' << (m.value ? Number(*m.value) : "-");
        if (!m.unit.empty()) out << ' ' << Cell(m.unit);
        out << " [" << (m.low ? Number(*m.low) : "") << ".." << (m.high ? Number(*m.high) : "")
            << "] " << results::OutcomeName(m.outcome) << '\n';
    }
}

}  // namespace

int RunHistory(Session& session, const CommandArgs& args) {
    results::HistoryQuery query;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (word == "--json") {
            json = true;
            continue;
        }
        if (word != "--serial" && word != "--since" && word != "--outcome" && word != "--limit") {
            return session.Fail(kExitUsage, "history: unknown argument '" + word + "'");
        }
        if (i + 1 >= args.size())
            return session.Fail(kExitUsage, "history: " + word + " needs a value");
        const std::string& value = args[++i];
        int32_t number = 0;
        if (word == "--serial") {
            if (!params::ParseInteger(value, number) || number < 0 || number > 65535) {
                return session.Fail(kExitUsage, "history: bad --serial '" + value + "' (0..65535)");
            }
            query.serial = number;
        } else if (word == "--limit") {
            if (!params::ParseInteger(value, number) || number < 1) {
                return session.Fail(kExitUsage, "history: bad --limit '" + value + "'");
            }
            query.limit = static_cast<size_t>(number);
        } else if (word == "--since") {
            const auto bound = results::SinceBound(value);
            if (!bound) {
                return session.Fail(kExitUsage, "history: bad --since '" + value +
                                                    "' (YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS])");
            }
            query.since = *bound;
        } else {
            query.outcome = results::ParseOutcome(value);
            if (!query.outcome) {
                return session.Fail(kExitUsage, "history: bad --outcome '" + value +
                                                    "' (passed, failed, error, aborted)");
            }
        }
    }
    auto store = OpenResults(session);
    if (!store) return kExitStore;
    std::string error;
    const auto runs = store->History(query, error);
    if (!runs) return session.Fail(kExitStore, error);
    if (json) {
        nlohmann::ordered_json array = nlohmann::ordered_json::array();
        for (const results::RunResult& r : *runs) array.push_back(RunJson(r));
        session.out << array.dump(2) << '\n';
    } else {
        for (const results::RunResult& r : *runs) PrintRun(session.out, r);
    }
    return kExitOk;
}

int RunResults(Session& session, const CommandArgs& args) {
    const std::string& word = args.at(0);
    if (word != "sync" && word != "status") {
        return session.Fail(kExitUsage, "results: unknown action '" + word + "' (sync, status)");
    }
    auto store = OpenResults(session);
    if (!store) return kExitStore;
    if (word == "status") {
        session.out << "store=" << store->Describe() << " waiting=" << store->Pending() << '\n';
        return kExitOk;
    }
    const results::DeliveryReport report = store->Deliver();
    session.out << "delivered=" << report.delivered << " waiting=" << report.waiting << '\n';
    if (!report.message.empty()) session.err << "veskactl: " << report.message << '\n';
    return report.waiting > 0 || !report.message.empty() ? kExitStore : kExitOk;
}

}  // namespace veska::tools
