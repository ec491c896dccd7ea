#pragma once
#include <optional>
#include <string>
#include <vector>

#include "report/ChartPicture.h"
#include "results/ResultStore.h"

namespace veska::report {

/// Everything a unit's certificate shows, as the store holds it.
struct CertificateData {
    results::RunResult unit;                ///< the unit's verdict over its sequence
    std::vector<results::RunResult> steps;  ///< its steps' runs, files included, in order
};

/// The unit a run belongs to (the run id of the unit's verdict or of any of its steps) with
/// its steps, from the store alone. nullopt with error set when the store cannot be read,
/// there is no such run, or the run belongs to no sequence.
std::optional<CertificateData> LoadCertificate(results::ResultStore& store,
                                               const std::string& runId, std::string& error);

/// A step's charts rebuilt from its stored files: each chart data file, else each
/// verification data file (".pvk") against the sensor's range. Files that are neither, or
/// broken, give none.
std::vector<ChartPicture> StepCharts(const results::RunResult& step);

/// The certificate as a PDF document (A4, real text): the sensor's identity, the sequence,
/// date, station, operator and program version, every step with its measured values, limits
/// and outcome, the charts of the steps, and the unit's outcome. "" with error set when
/// cairo could not make it.
std::string CertificatePdf(const CertificateData& data, std::string& error);

}  // namespace veska::report
