// A fresh folder for one test, with an SQLite results store in it; removed with the object.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "results/OpenStore.h"
#include "tests/support/ScratchFolder.h"

namespace veska::testing {

struct ScratchStore {
    /// The folder is named after prefix, the process and the running test.
    explicit ScratchStore(const std::string& prefix) : scratch_(prefix), folder(scratch_.folder) {
        store = results::OpenStore("sqlite:" + (folder / "results.sqlite").string(), error);
    }

  private:
    ScratchFolder scratch_;  ///< first: removed after the store closed

  public:
    const std::filesystem::path folder;
    std::unique_ptr<results::ResultStore> store;  ///< null when it could not open: see error
    std::string error;
};

}  // namespace veska::testing
