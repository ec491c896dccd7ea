// Any text typed into any grid row: the take-over never crashes, a refused text changes no
// value, and a taken text leaves the cell showing what was stored.
#include <cstddef>
#include <cstdint>
#include <string>

#include "lang/Language.h"
#include "params/ParamCodings.h"
#include "params/ParamGrid.h"
#include "params/ParamTable.h"

namespace {

veska::lang::TextTable Words() {
    veska::lang::TextTable texts;
    static const char* const kWords[] = {"On",  "Off", "Request", "FreeRun", "AL0",   "AL4",
                                         "AL8", "ALC", "Full",    "Window",  "Moving"};
    for (int key = 0; key < 34; ++key) {
        texts.Set(veska::lang::Section::ParamValue, key,
                  key < 11 ? kWords[key] : "w" + std::to_string(key));
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace params = veska::params;
    static const params::ParamTable table = params::BuiltInParamTable();
    static const veska::lang::TextTable texts = Words();
    if (size < 5) return 0;
    const int param = data[0] % params::kGridParamCount;
    const int32_t start = static_cast<int32_t>(uint32_t{data[1]} | uint32_t{data[2]} << 8 |
                                               uint32_t{data[3]} << 16 | uint32_t{data[4]} << 24);
    const std::string text(reinterpret_cast<const char*>(data + 5), size - 5);

    params::ValueStores values;
    for (int row : {4, 5, 6, 8, 21}) values.workValues[row] = start & 0xFF;
    values.workValues[param] = start;
    params::ParamGrid grid(table, texts);
    uint16_t divisor = 0;
    params::BuildParamGrid(grid, values, divisor);
    const params::ValueStores before = values;
    grid.SetCurrentParam(param);
    grid.EditCell(param, text);
    const params::GridResult result = params::ApplyGridCell(grid, values);
    if (!result.ok && values.workValues != before.workValues) __builtin_trap();
    if (!result.ok && result.error.empty()) __builtin_trap();

    // The pure conversions on the same text.
    uint32_t address = 0;
    if (params::ParseDottedQuad(text, address)) {
        uint32_t back = 0;
        if (!params::ParseDottedQuad(params::FormatDottedQuad(address), back) || back != address)
            __builtin_trap();
    }
    (void)params::RestoredText(table, param, start, texts);
    return 0;
}
