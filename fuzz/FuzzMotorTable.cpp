// Any bytes as "Motor.dat": at most five records, never a read past the text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "bench/MotorTable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto table =
        veska::bench::ParseMotorTable(std::string(reinterpret_cast<const char*>(data), size));
    if (table.recordCount < 0 || table.recordCount > veska::bench::MotorTable::kMaxRecords) {
        __builtin_trap();
    }
    return 0;
}
