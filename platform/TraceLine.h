#pragma once
#include <string>

namespace veska::platform {

/// True when a VESKA_TRACE value (a comma-separated list of names, or "all") selects name.
bool TraceSelects(const char* names, const std::string& name);

/// Writes one trace line "HH:MM:SS.mmm name body" (local time of day) to standard error
/// in a single write, so that lines of concurrent links stay whole.
void EmitTraceLine(const std::string& name, const std::string& body);

/// " 0A 1B ..." for up to limit bytes, then " ... (+N)" for the rest.
std::string HexBytes(const void* bytes, size_t count, size_t limit = 512);

}  // namespace veska::platform
