#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "params/ParamTable.h"

namespace veska::lang {
class TextTable;
}

namespace veska::params {

/// The stored values a row may send: within its limits and within what its size holds
/// (a 1-byte row never above 255, the signed row 35 within 16 bits). Rows whose pick list
/// is the whole coding (the baud rates) take only the values the list shows. The IP rows
/// hold any bit pattern.
struct WritableRange {
    int64_t lowest = 0;
    int64_t highest = 0;
};

/// The limits of row i as its size narrows them.
WritableRange RangeOf(const ParamTable& table, int i);

/// Whether workValues[i] = v may reach the sensor.
bool Writable(const ParamTable& table, int i, int32_t v, const lang::TextTable& texts);

/// What the operator may enter in row i, in the row's own text: "1 … 127", "00 … 7F", or
/// the list of a pick-list row ("2400, 4800, …").
std::string AllowedText(const ParamTable& table, int i, const lang::TextTable& texts);

/// A row's tooltip: "Allowed: 1 … 127".
std::string AllowedNote(const ParamTable& table, int i, const lang::TextTable& texts);

/// The refusal of a typed text: names the row, the text and what is allowed.
std::string RefusedEntryText(const ParamTable& table, int i, const std::string& typed,
                             const lang::TextTable& texts);

/// The rows among `rows` whose working value may not be sent.
std::vector<int> UnwritableRows(const ParamTable& table, const ValueStores& values,
                                const std::vector<int>& rows, const lang::TextTable& texts);

/// The refusal of a send: one line per row with its value and its allowed values.
std::string RefusedWriteText(const ParamTable& table, const ValueStores& values,
                             const std::vector<int>& rows, const lang::TextTable& texts);

}  // namespace veska::params
