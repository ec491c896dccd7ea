#include "results/OpenStore.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "results/PostgresConnection.h"
#include "results/SpooledStore.h"
#include "results/SqlStore.h"
#include "results/SqliteConnection.h"

namespace veska::results {

namespace {

namespace fs = std::filesystem;

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

/// An SQLite file's connection; the file is opened lazily by the first statement's caller.
std::unique_ptr<SqlStore> SqliteStore(const std::string& path, std::string& error) {
    auto connection = SqliteConnection::Open(path, error);
    if (!connection) return nullptr;
    return std::make_unique<SqlStore>(std::move(connection), path);
}

std::string FileInDataFolder(const char* name, std::string& error) {
    const std::string folder = DataFolder();
    if (folder.empty()) {
        error = "no data folder for the results (neither XDG_DATA_HOME nor HOME is set)";
        return {};
    }
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot create the data folder " + folder + ": " + ec.message();
        return {};
    }
    return folder + "/" + name;
}

}  // namespace

std::string DataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg == '/') return std::string(xdg) + "/veskacfg";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.local/share/veskacfg";
    return {};
}

std::unique_ptr<ResultStore> OpenStore(const std::string& url, std::string& error,
                                       const std::string& spoolPath) {
    if (url.empty()) {
        const std::string path = FileInDataFolder("results.sqlite", error);
        if (path.empty()) return nullptr;
        return SqliteStore(path, error);
    }
    if (StartsWith(url, "sqlite:")) {
        const std::string path = url.substr(7);
        if (path.empty()) {
            error = "sqlite: needs a file name (sqlite:PATH)";
            return nullptr;
        }
        return SqliteStore(path, error);
    }
    if (StartsWith(url, "postgresql://") || StartsWith(url, "postgres://")) {
        const std::string spool =
            spoolPath.empty() ? FileInDataFolder("spool.sqlite", error) : spoolPath;
        if (spool.empty()) return nullptr;
        auto spoolStore = SqliteStore(spool, error);
        if (!spoolStore) return nullptr;
        auto shared = std::make_unique<SqlStore>(std::make_unique<PostgresConnection>(url),
                                                 MaskPassword(url));
        return std::make_unique<SpooledStore>(std::move(shared), std::move(spoolStore));
    }
    error = "unknown results store '" + MaskPassword(url) +
            "' (sqlite:PATH, postgresql://... or postgres://...)";
    return nullptr;
}

}  // namespace veska::results
