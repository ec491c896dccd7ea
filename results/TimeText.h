#pragma once
#include <optional>
#include <string>

namespace veska::results {

/// The lower bound of a history's --since as stored times compare with it: "YYYY-MM-DD",
/// optionally followed by "THH:MM", ":SS", ".fff" and a trailing "Z" (UTC; the Z is dropped
/// so that 12:00:00Z includes a run started at 12:00:00.000Z). nullopt for anything else,
/// including a month or day, hour or minute out of range.
std::optional<std::string> SinceBound(const std::string& text);

}  // namespace veska::results
