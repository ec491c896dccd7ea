// Any bytes as a parameter file: the reader takes what converts, stops at the first bad
// token, and never writes outside the value stores.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "params/ParamFile.h"
#include "params/ParamTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const veska::params::ParamTable table = veska::params::BuiltInParamTable();
    veska::params::ValueStores values;
    const auto result = veska::params::ReadParamFileText(
        std::string_view(reinterpret_cast<const char*>(data), size), table, values);
    if (result.records < 0 || result.records > veska::params::kGridParamCount) __builtin_trap();
    return 0;
}
