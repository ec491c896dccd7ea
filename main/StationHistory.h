#pragma once
#include <optional>
#include <string>
#include <vector>

#include "report/ChartPicture.h"
#include "results/ResultStore.h"

namespace veska::main {

/// One line of the History view: a stored run as the operator reads it.
struct HistoryRow {
    std::string runId;
    std::string date;      ///< "2026-12-10 02:00:00 UTC"
    std::string sequence;  ///< empty for a bench run outside a sequence
    std::string step;      ///< "" for a unit's verdict
    std::string figure;    ///< the measurements: "figure_percent 0.052 %", "; "-joined
    std::string limits;    ///< their limits: "≤ 0.1", "-0.02 … 0.02", "; "-joined
    std::string outcome;   ///< "passed", "failed", "error", "aborted"
    std::string operatorName;
};

/// A measurement as the operator reads it: "figure_percent 0.052 %" ("-" for no value).
std::string FigureText(const results::Measurement& m);
/// Its limits: "≤ 0.1", "≥ -0.1", "-0.02 … 0.02"; empty without limits.
std::string LimitsText(const results::Measurement& m);

/// The stored runs of one sensor, newest first, at most limit (0: all). nullopt with error
/// set when the store cannot be read.
std::optional<std::vector<HistoryRow>> SensorHistory(results::ResultStore& store, int serial,
                                                     size_t limit, std::string& error);

/// The report charts of one stored run, drawn again from its stored files (chart data, else
/// a verification's data). An empty list when it has none; nullopt with error set when the
/// run cannot be loaded.
std::optional<std::vector<report::ChartPicture>> StoredRunCharts(results::ResultStore& store,
                                                                 const std::string& runId,
                                                                 std::string& error);

/// Writes the certificate of the unit that runId belongs to as a PDF at path, from the store
/// alone. False with error set when there is no such unit or the file cannot be written.
bool WriteCertificate(results::ResultStore& store, const std::string& runId,
                      const std::string& path, std::string& error);

}  // namespace veska::main
