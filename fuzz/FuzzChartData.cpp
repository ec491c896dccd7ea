// Any bytes as a stored chart's data file and as a verification's data: parsed or refused
// with a message; a chart that parses writes the same chart back.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "report/ChartPicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (const auto chart = veska::report::ParseChartData(text, error)) {
        if (!(chart->bottomScale > 0.0)) __builtin_trap();
        const auto again =
            veska::report::ParseChartData(veska::report::ChartDataText(*chart), error);
        if (!again || again->values.size() != chart->values.size()) __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    error.clear();
    if (const auto chart = veska::report::ChartFromPvk(text, 50, error)) {
        for (const double v : chart->values) {
            if (!std::isfinite(v)) __builtin_trap();
        }
    } else if (error.empty()) {
        __builtin_trap();
    }
    return 0;
}
