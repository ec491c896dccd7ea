#include "main/StationHistory.h"

#include <cstdio>

#include "platform/FileIo.h"
#include "report/Certificate.h"

namespace veska::main {

namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

void Join(std::string& into, const std::string& part) {
    if (part.empty()) return;
    if (!into.empty()) into += "; ";
    into += part;
}

}  // namespace

std::string FigureText(const results::Measurement& m) {
    std::string figure = m.name + " " + (m.value ? Number(*m.value) : "-");
    if (!m.unit.empty()) figure += " " + m.unit;
    return figure;
}

std::string LimitsText(const results::Measurement& m) {
    if (m.low && m.high) return Number(*m.low) + " … " + Number(*m.high);
    if (m.low) return "≥ " + Number(*m.low);
    if (m.high) return "≤ " + Number(*m.high);
    return "";
}

std::optional<std::vector<HistoryRow>> SensorHistory(results::ResultStore& store, int serial,
                                                     size_t limit, std::string& error) {
    results::HistoryQuery query;
    query.serial = serial;
    query.limit = limit;
    const auto runs = store.History(query, error);
    if (!runs) return std::nullopt;
    std::vector<HistoryRow> rows;
    rows.reserve(runs->size());
    for (const results::RunResult& r : *runs) {
        HistoryRow row;
        row.runId = r.runId;
        row.date = r.started.size() >= 19
                       ? r.started.substr(0, 10) + " " + r.started.substr(11, 8) + " UTC"
                       : r.started;
        row.sequence = r.sequence;
        row.step = r.step.empty() && !r.mode.empty() ? r.mode : r.step;
        for (const results::Measurement& m : r.measurements) {
            Join(row.figure, FigureText(m));
            Join(row.limits, LimitsText(m));
        }
        row.outcome = results::OutcomeName(r.outcome);
        row.operatorName = r.operatorName;
        rows.push_back(std::move(row));
    }
    return rows;
}

std::optional<std::vector<report::ChartPicture>> StoredRunCharts(results::ResultStore& store,
                                                                 const std::string& runId,
                                                                 std::string& error) {
    error.clear();
    const auto run = store.Load(runId, error);
    if (!run) {
        if (error.empty()) error = "no result with the id " + runId;
        return std::nullopt;
    }
    std::vector<report::ChartPicture> charts = report::StepCharts(*run);
    for (report::ChartPicture& chart : charts) {
        if (chart.title.empty()) chart.title = "s/n " + std::to_string(run->sensor.serial);
    }
    return charts;
}

bool WriteCertificate(results::ResultStore& store, const std::string& runId,
                      const std::string& path, std::string& error) {
    const auto data = report::LoadCertificate(store, runId, error);
    if (!data) return false;
    const std::string pdf = report::CertificatePdf(*data, error);
    if (pdf.empty()) return false;
    std::string reason;
    if (!platform::ReplaceFile(path, pdf, reason)) {
        error = "cannot write " + path + ": " + reason;
        return false;
    }
    return true;
}

}  // namespace veska::main
