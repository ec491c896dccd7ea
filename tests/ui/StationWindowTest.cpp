// The factory program as an operator runs it: connect to the virtual bench, run the sensor
// through the shipped verification sequence in the station panel, and find the verdict on
// the screen, the unit in the results store and the runs' files in the station's folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "results/OpenStore.h"

namespace veska::ui {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(StationWindow, AUnitRunsThroughTheShippedVerificationAndIsStored) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const fs::path root = dir.path().toStdString();
    // A coarse stage: short sweeps.
    std::ofstream(root / "Motor.dat") << "0.05 70 170\r\n0.025 320 1060\r\n";
    const std::string command =
        "cd '" + root.string() + "' && QT_QPA_PLATFORM=offscreen XDG_DATA_HOME='" +
        (root / "data").string() + "' XDG_CONFIG_HOME='" + (root / "config").string() + "' '" +
        VESKACFG_FACTORY_PATH + "' --simulate --language '" + VESKA_SOURCE_DIR +
        "/Language' --sequences '" + VESKA_SOURCE_DIR + "/dist/sequences' --screenshot-station '" +
        root.string() + "' > out.txt 2> err.txt";
    const int status = std::system(command.c_str());
    const std::string err = ReadText(root / "err.txt");
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << err;
    // Before calibration the sensor is outside the verification's limit: the unit fails.
    EXPECT_NE(err.find("unit 1234: FAILED"), std::string::npos) << err;
    EXPECT_TRUE(fs::file_size(root / "station.png") > 0);

    std::string error;
    auto store = results::OpenStore(
        "sqlite:" + (root / "data" / "veskacfg" / "results.sqlite").string(), error);
    ASSERT_NE(store, nullptr) << error;
    const auto runs = store->History({}, error);
    ASSERT_TRUE(runs.has_value()) << error;
    ASSERT_EQ(runs->size(), 2u);  // the verification step and the unit
    for (const results::RunResult& run : *runs) {
        EXPECT_EQ(run.outcome, results::Outcome::Failed);
        EXPECT_EQ(run.operatorName, "Screenshot");
        EXPECT_EQ(run.sequence, "Verification");
    }
    bool report = false;
    for (const auto& entry : fs::directory_iterator(root / "runs")) {
        report = report || entry.path().string().ends_with("_Digital.pvk");
    }
    EXPECT_TRUE(report) << "the verification's report lies in the station's folder";
}

}  // namespace
}  // namespace veska::ui
