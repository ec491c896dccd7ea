// A fresh folder for one test, with an SQLite results store in it; removed with the object.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "results/OpenStore.h"

namespace veska::testing {

struct ScratchStore {
    /// The folder is named after prefix, the process and the running test.
    explicit ScratchStore(const std::string& prefix)
        : folder(std::filesystem::temp_directory_path() /
                 (prefix + std::to_string(::getpid()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        store = results::OpenStore("sqlite:" + (folder / "results.sqlite").string(), error);
    }
    ~ScratchStore() { std::filesystem::remove_all(folder); }
    ScratchStore(const ScratchStore&) = delete;
    ScratchStore& operator=(const ScratchStore&) = delete;

    std::filesystem::path folder;
    std::unique_ptr<results::ResultStore> store;  ///< null when it could not open: see error
    std::string error;
};

}  // namespace veska::testing
