#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "params/ParamTable.h"

namespace veska::params {

class ParamGrid;

/// The sensor holds `value` in row i's bytes (an exchange told the host): row i and every
/// row at the same address with the same size learn it (the five control-byte rows read and
/// write one byte).
void LearnSensorValue(const ParamTable& table, SensorSet& set, int i, int32_t value);

/// Row i's bytes (and those of the rows sharing them) may have changed in the sensor.
void ForgetSensorValue(const ParamTable& table, SensorSet& set, int i);

/// The bits of a stored value that row i stands for: its field of the control byte for the
/// control-byte rows, its low `size` bytes otherwise.
uint32_t RowBits(const ParamTable& table, int i);

/// True when row i's working value is not what the sensor holds: the bits the row stands
/// for (what Load would write) differ from the sensor's, or the sensor's value is unknown
/// (after a failed write; before any contact with a sensor no row counts). A working value
/// of -5 in a 2-byte row agrees with a sensor value of 65531.
bool RowUnsent(const ParamTable& table, const ValueStores& values, int i);

/// The grid rows (0..36) whose working value is not on the sensor, in ascending order.
std::vector<int> UnsentRows(const ParamTable& table, const ValueStores& values);

/// The note of a marked row: the sensor's value in the row's own text ("On the sensor: 100"),
/// or that it is not known.
std::string UnsentNote(const ParamTable& table, const ValueStores& values, int i,
                       const lang::TextTable& texts);

/// Sets the unsent mark and note of every grid row from the working values and the sensor
/// set; the observer hears of the rows whose mark changed when notify is set.
void UpdateGridMarks(ParamGrid& grid, const ValueStores& values, bool notify = true);

/// The question before an action replaces unsent edits: the rows with their working and
/// sensor values, then `consequence` ("Read All replaces them with the sensor's values.").
/// Lines are separated by CR.
std::string DiscardEditsQuestion(const ParamTable& table, const ValueStores& values,
                                 const std::vector<int>& rows, std::string_view consequence,
                                 const lang::TextTable& texts);

}  // namespace veska::params
