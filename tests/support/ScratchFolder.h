// A fresh folder for one test, removed with the object.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace veska::testing {

struct ScratchFolder {
    /// The folder is named after prefix, the process and the running test.
    explicit ScratchFolder(const std::string& prefix)
        : folder(std::filesystem::temp_directory_path() /
                 (prefix + std::to_string(::getpid()) + "_" + TestName())) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::filesystem::path folder;

  private:
    static std::string TestName() {
        const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
        if (test == nullptr) return "outside";
        std::string name = test->name();
        for (char& c : name) {
            if (c == '/') c = '_';  // parameterised tests
        }
        return name;
    }
};

}  // namespace veska::testing
