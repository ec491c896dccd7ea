#pragma once
#include <memory>
#include <string>

#include "results/ResultStore.h"

namespace veska::results {

/// The data folder of the program: $XDG_DATA_HOME/veskacfg, or ~/.local/share/veskacfg when
/// XDG_DATA_HOME is unset, empty or relative. Empty when neither is known.
std::string DataFolder();

/// Opens the store a URL names:
///   ""                       the default SQLite file DataFolder()/results.sqlite (the folder
///                            is created on first use)
///   sqlite:PATH              the SQLite file PATH (created when absent)
///   postgresql://... or postgres://...   a PostgreSQL server by its libpq URI, with the
///                            spool DataFolder()/spool.sqlite (or spoolPath when given)
/// Nothing is connected yet: the first Put, History or Load does that, so that an unreachable
/// server still spools. nullptr with error set for a URL of no known kind or a default folder
/// that cannot be made.
std::unique_ptr<ResultStore> OpenStore(const std::string& url, std::string& error,
                                       const std::string& spoolPath = "");

}  // namespace veska::results
