// veskactl bench: headless runs of the bench modes against the virtual bench, in the child's
// own process (--simulate) or in the test's (a port directory the child finds through
// VESKA_PORTS), with the record of each run read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/VirtualBench.h"
#include "tests/tools/VeskactlChild.h"

namespace {

namespace fs = std::filesystem;
namespace sim = veska::sim;
using namespace std::chrono_literals;

constexpr uint8_t kModeOfRunAddress = 0x07;

using veska::testing::CtlResult;
using veska::testing::ReadText;

nlohmann::json ReadRecord(const std::string& path) {
    return nlohmann::json::parse(ReadText(path), nullptr, /*allow_exceptions=*/false);
}

/// A veskactl child with VESKA_USB=sim, its outputs in files of dir; it runs in cwd when
/// one is given, and finds its COM ports in the port folder ports when one is given.
class Child : public veska::testing::VeskactlChild {
  public:
    Child(const std::string& dir, const std::vector<std::string>& args, const std::string& cwd = {},
          const std::string& ports = {})
        : VeskactlChild(dir, args, {"VESKA_USB=sim", "VESKA_TRACE=", "VESKA_PORTS=" + ports}, cwd) {
    }
};

class BenchRunTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/veskactl-bench-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directory(dir + "/lang");
        fs::create_directory(dir + "/runs");
    }
    void TearDown() override { fs::remove_all(dir); }

    /// veskactl on the virtual bench of its own process, to the end.
    CtlResult Simulated(const std::vector<std::string>& benchArgs, const std::string& cwd = {}) {
        std::vector<std::string> args{"--simulate", "--time-scale", "20",
                                      "--language", dir + "/lang",  "bench"};
        args.insert(args.end(), benchArgs.begin(), benchArgs.end());
        args.insert(args.end(), {"--out", dir + "/runs"});
        return Child(dir, args, cwd).Wait();
    }

    std::string dir;
};

const std::regex kIsoUtc(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}Z)");

TEST_F(BenchRunTest, ALineRunWithATimeLimitCompletesAndWritesItsRecord) {
    const CtlResult run = Simulated({"Line", "--seconds", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    // Standard output names the record: <serial>_Line_<start>.json in the output folder.
    std::smatch m;
    const std::string expected = dir + "/runs/([0-9]+)_Line_[0-9]{8}-[0-9]{6}\\.json\n";
    ASSERT_TRUE(std::regex_match(run.out, m, std::regex(expected))) << run.out;
    const nlohmann::json record = ReadRecord(run.out.substr(0, run.out.size() - 1));
    ASSERT_TRUE(record.is_object());

    EXPECT_EQ(record["mode"], "Line");
    EXPECT_EQ(record["code"], 0);
    EXPECT_EQ(record["outcome"], "passed");
    EXPECT_EQ(record["reason"], "");
    EXPECT_EQ(record["completed"], true);
    EXPECT_TRUE(record["method"].is_object());
    const std::string started = record["started"];
    const std::string ended = record["ended"];
    EXPECT_TRUE(std::regex_match(started, kIsoUtc)) << started;
    EXPECT_TRUE(std::regex_match(ended, kIsoUtc)) << ended;
    EXPECT_LT(started, ended);

    const nlohmann::json& sensor = record["sensor"];
    EXPECT_EQ(sensor["serial"], std::stoi(m[1].str()));
    for (const char* key : {"type", "release", "base", "range"}) {
        EXPECT_TRUE(sensor[key].is_number_integer()) << key;
    }
    EXPECT_GT(sensor["range"].get<int>(), 0);
    const nlohmann::json& motion = record["motion"];
    for (const char* key : {"record", "step_period_us", "sample_step_mm", "encoder_averaging"}) {
        EXPECT_TRUE(motion.contains(key)) << key;
    }
    // A second of 1 ms ticks polls many results into the ring.
    EXPECT_GT(record["samples"].get<int>(), 10);
    EXPECT_TRUE(record["samples"].is_number_integer());
    EXPECT_TRUE(record["results"].is_object());
    EXPECT_TRUE(record["files"].is_array());
    EXPECT_TRUE(record["notes"].is_array());
    EXPECT_NE(run.err.find("bench: Line tick "), std::string::npos) << run.err;
}

TEST_F(BenchRunTest, AVerificationWritesItsReportItsImageAndItsRecord) {
    // A coarse stage in the child's folder (its Motor.dat): about a thousand increments.
    std::ofstream(dir + "/Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
    const CtlResult run = Simulated({"poverka"}, dir);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(run.out, m, std::regex(".*/(([0-9]+)_Poverka_[0-9-]+)\\.json\n")))
        << run.out;
    const std::string stem = m[1].str();
    const nlohmann::json record = ReadRecord(dir + "/runs/" + stem + ".json");
    ASSERT_TRUE(record.is_object());
    EXPECT_EQ(record["outcome"], "passed") << record["reason"];
    EXPECT_EQ(record["completed"], true);
    EXPECT_GE(record["results"]["figure_percent"].get<double>(), 0.5) << "uncalibrated";
    // The sensor saw the target along the whole sweep; the record says how it was judged.
    EXPECT_EQ(record["results"]["valid_samples"], record["results"]["kept_samples"]);
    EXPECT_TRUE(record["results"]["kept_samples"].is_number_integer());
    EXPECT_EQ(record["method"]["reference"], "encoder");
    EXPECT_EQ(record["samples"], record["expected_samples"]);
    // The last line on the terminal names the outcome and the figure.
    EXPECT_NE(run.err.find("bench: Poverka: passed, figure "), std::string::npos) << run.err;

    const nlohmann::json& motion = record["motion"];
    EXPECT_EQ(motion["record"], 0);
    EXPECT_GT(motion["step_period_us"].get<int>(), 0);
    EXPECT_DOUBLE_EQ(motion["sample_step_mm"].get<double>(), 0.05);
    EXPECT_TRUE(motion["encoder_averaging"].is_number_integer());

    const std::string pvk = dir + "/runs/" + stem + "_Digital.pvk";
    const std::string bmp = dir + "/runs/" + stem + "_Digital_pvk.bmp";
    // The report chart's data lies beside its image, for the store to draw it again.
    const std::string chart = dir + "/runs/" + stem + "_Digital_pvk.chart.json";
    EXPECT_EQ(record["files"], nlohmann::json::array({pvk, bmp, chart}));
    const nlohmann::json picture = nlohmann::json::parse(ReadText(chart), nullptr, false);
    ASSERT_TRUE(picture.is_object()) << chart;
    EXPECT_EQ(picture["title"], "s/n 1234");
    EXPECT_FALSE(picture["values"].empty());
    EXPECT_EQ(ReadText(pvk).rfind("0.050000\n", 0), 0u);
    const std::string image = ReadText(bmp);
    ASSERT_EQ(image.size(), 54u + 800u * 3u * 400u);
    EXPECT_EQ(image.substr(0, 2), "BM");
    const auto u32 = [&image](size_t at) {
        return static_cast<uint32_t>(
            static_cast<uint8_t>(image[at]) | static_cast<uint8_t>(image[at + 1]) << 8 |
            static_cast<uint8_t>(image[at + 2]) << 16 | static_cast<uint8_t>(image[at + 3]) << 24);
    };
    EXPECT_EQ(u32(18), 800u);
    EXPECT_EQ(u32(22), 400u);
    size_t red = 0;  // the deviation curve, one point at least per column it crosses
    for (size_t at = 54; at + 2 < image.size(); at += 3) {
        if (image.compare(at, 3, std::string("\0\0\xff", 3)) == 0) ++red;
    }
    EXPECT_GT(red, 700u);
    // The texts: black pixels in the title band above the plot and in the foot below it.
    const auto blackIn = [&](uint32_t fromRow, uint32_t toRow) {  // rows counted from the top
        size_t dark = 0;
        for (uint32_t y = fromRow; y < toRow; ++y) {
            const size_t row = 54 + static_cast<size_t>(399 - y) * 800 * 3;
            for (size_t x = 0; x < 800; ++x) {
                const auto* p = reinterpret_cast<const uint8_t*>(image.data() + row + 3 * x);
                dark += p[0] < 96 && p[1] < 96 && p[2] < 96;
            }
        }
        return dark;
    };
    EXPECT_GT(blackIn(0, 30), 20u) << "the title";
    EXPECT_GT(blackIn(340, 400), 100u) << "the foot";
    EXPECT_FALSE(fs::exists(dir + "/" + stem + "_Digital_pvk.bmp")) << "not beside the program";
}

TEST_F(BenchRunTest, AFolderThatCannotTakeTheFilesStopsTheRunBeforeItStarts) {
    std::ofstream(dir + "/file") << "x";
    const CtlResult run = Child(dir, {"--simulate", "--language", dir + "/lang", "bench", "poverka",
                                      "--out", dir + "/file"})
                              .Wait();
    EXPECT_EQ(run.exitCode, 5) << run.err;
    EXPECT_NE(run.err.find("cannot"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("on sensor"), std::string::npos) << "nothing was started";
}

TEST_F(BenchRunTest, AVerificationThatNeverSawTheTargetFails) {
    // The motor table puts the stage's home 500 mm out: the positioning move is skipped and
    // the sweep runs where the sensor sees nothing.
    std::ofstream(dir + "/Motor.dat") << "0.05 500 170\n";
    const CtlResult run = Simulated({"poverka"}, dir);
    EXPECT_EQ(run.exitCode, 7) << run.err;
    ASSERT_FALSE(run.out.empty()) << run.err;
    const nlohmann::json record = ReadRecord(run.out.substr(0, run.out.size() - 1));
    EXPECT_EQ(record["outcome"], "failed");
    EXPECT_EQ(record["completed"], false);
    EXPECT_NE(record["reason"].get<std::string>().find("did not see the target"),
              std::string::npos);
    EXPECT_FALSE(record["results"].contains("figure_percent"));
    EXPECT_EQ(record["results"]["valid_samples"], 0);
    EXPECT_TRUE(record["files"].empty()) << "no report";
}

TEST_F(BenchRunTest, AnUnknownModeIsAUsageErrorNamingTheModes) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"Lin"}, {"Line", "Spin"}, {"135"}, {}}) {
        const CtlResult run = Simulated(args);
        EXPECT_EQ(run.exitCode, 2) << run.err;
        EXPECT_NE(run.err.find("Line, Nonline, Temperature, Pulse"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("Laser_Adjustment"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(dir + "/runs"));
}

TEST_F(BenchRunTest, BadOptionsAreUsageErrors) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"Line", "--seconds", "0"},
                                                 {"Line", "--seconds", "x"},
                                                 {"Line", "--seconds"},
                                                 {"Line", "--fast"}}) {
        EXPECT_EQ(Simulated(args).exitCode, 2) << args.back();
    }
}

TEST_F(BenchRunTest, TwoModesRunInOrderByCaptionOrCode) {
    const CtlResult run = Simulated({"nonline", "2", "--seconds", "0.3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        run.out, m,
        std::regex("(.*/[0-9]+_Nonline_[0-9-]+\\.json)\n(.*/[0-9]+_Temperature_[0-9-]+\\.json)\n")))
        << run.out;
    const nlohmann::json first = ReadRecord(m[1].str());
    const nlohmann::json second = ReadRecord(m[2].str());
    EXPECT_EQ(first["code"], 1);
    EXPECT_EQ(second["code"], 2);
    EXPECT_EQ(first["completed"], true);
    EXPECT_EQ(second["completed"], true);
    EXPECT_LE(first["ended"].get<std::string>(), second["started"].get<std::string>());
}

TEST_F(BenchRunTest, RunsIntoOneFolderKeepEveryRecord) {
    // The same mode twice within a second, without --yes: neither record replaces the other.
    const CtlResult first = Simulated({"Temperature", "Temperature", "--seconds", "0.2"});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    const CtlResult second = Simulated({"Temperature", "--seconds", "0.2"});
    ASSERT_EQ(second.exitCode, 0) << second.err;
    size_t records = 0;
    for (const auto& entry : fs::directory_iterator(dir + "/runs")) {
        records += entry.path().extension() == ".json";
    }
    EXPECT_EQ(records, 3u) << first.out << second.out;
}

sim::BenchOptions SharedBench() {
    sim::BenchOptions o;
    o.installUsbBackend = false;
    o.timeScale = 20.0;
    return o;
}

/// True once done() holds; gives up after 15 s.
template <typename Done>
bool Eventually(Done done) {
    for (int i = 0; i < 1500 && !done(); ++i) std::this_thread::sleep_for(10ms);
    return done();
}

TEST_F(BenchRunTest, AStopSignalEndsTheRunAsTheMeasureButtonDoes) {
    for (const int signal : {SIGINT, SIGTERM}) {
        sim::VirtualBench bench(SharedBench());
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
        sim::SensorDevice& sensor = bench.Sensor();
        ASSERT_EQ(sensor.Param(kModeOfRunAddress), 0);

        // Nonline never ends by itself; its start sets "Mode of Run" 1.
        // The child finds COM4, COM2 and COM7 in the bench's port folder.
        Child child(dir,
                    {"--language", dir + "/lang", "bench", "Nonline", "Temperature", "--out",
                     dir + "/runs", "--yes"},
                    {}, bench.PortDirectory());
        ASSERT_TRUE(Eventually([&] { return sensor.Param(kModeOfRunAddress) == 1; }))
            << "signal " << signal;
        child.Signal(signal);
        const CtlResult run = child.Wait();

        EXPECT_EQ(run.exitCode, 6) << run.err;
        EXPECT_EQ(sensor.Param(kModeOfRunAddress), 0) << "the stop sent Mode of Run 0";
        ASSERT_NE(run.out.find("_Nonline_"), std::string::npos) << run.out;
        const nlohmann::json record = ReadRecord(run.out.substr(0, run.out.find('\n')));
        EXPECT_EQ(record["completed"], false);
        EXPECT_EQ(record["outcome"], "stopped");
        EXPECT_EQ(record["end"], "interrupted");
        // The sequence stops at the first run that does not complete.
        EXPECT_EQ(run.out.find("_Temperature_"), std::string::npos) << run.out;
        fs::remove_all(dir + "/runs");
        fs::create_directory(dir + "/runs");
    }
}

/// A stage, encoder or board fault, or a motor table no stage has, through veskactl's own
/// virtual bench: the run is an error that says why, with exit status 8.
struct DeviceFaultCase {
    const char* name;
    const char* mode;
    std::vector<std::string> faults;  ///< --sim-fault texts
    const char* motorTable;
    const char* words;  ///< on the terminal and in the record's reason
    bool needsEncoder;  ///< the fault shows only with the encoder present
};

class BenchDeviceFaultTest : public BenchRunTest,
                             public ::testing::WithParamInterface<DeviceFaultCase> {};

TEST_P(BenchDeviceFaultTest, EndsTheRunAsAnErrorWithItsReason) {
    const DeviceFaultCase& c = GetParam();
    std::ofstream(dir + "/Motor.dat") << c.motorTable;
    std::vector<std::string> args{"--simulate", "--time-scale", "20", "--language", dir + "/lang"};
    for (const std::string& fault : c.faults) args.insert(args.end(), {"--sim-fault", fault});
    args.insert(args.end(), {"bench", c.mode, "--out", dir + "/runs"});
    CtlResult run = Child(dir, args, dir).Wait();
    // The simulated encoder learns the host's rate from the pty when it reads a batch: on a
    // loaded machine it may read the rate switch only after the host changed its rate, miss
    // it, and be absent for that run. Such a run says nothing about the fault: run it again.
    for (int again = 0; again < 3 && c.needsEncoder && run.exitCode != 8; ++again) {
        run = Child(dir, args, dir).Wait();
    }
    EXPECT_EQ(run.exitCode, 8) << run.err;
    EXPECT_NE(run.err.find(c.words), std::string::npos) << run.err;
    ASSERT_FALSE(run.out.empty()) << run.err;
    const nlohmann::json record = ReadRecord(run.out.substr(0, run.out.size() - 1));
    EXPECT_EQ(record["outcome"], "error");
    EXPECT_NE(record["reason"].get<std::string>().find(c.words), std::string::npos);
    EXPECT_FALSE(record["results"].contains("figure_percent"));
    EXPECT_TRUE(record["files"].empty()) << "no report";
}

INSTANTIATE_TEST_SUITE_P(
    Bench, BenchDeviceFaultTest,
    ::testing::Values(
        DeviceFaultCase{"StageHangsUp",
                        "Poverka",
                        {"stage:vanish@400"},
                        "0.05 70 170\n0.025 320 1060\n",
                        "the motor controller stopped answering",
                        false},
        DeviceFaultCase{"EncoderSilent",
                        "Poverka",
                        {"encoder:silent@300"},
                        "0.05 70 170\n0.025 320 1060\n",
                        "the encoder stopped answering",
                        true},
        DeviceFaultCase{"FrozenStage",
                        "Poverka",
                        {"stage:frozen"},
                        "0.05 70 170\n0.025 320 1060\n",
                        "the stage does not move the target",
                        true},
        DeviceFaultCase{"ImplausibleStep",
                        "Poverka",
                        {},
                        "0.0000001 70 170\n",
                        "Motor.dat record 0: step length 0.0000001 mm is not plausible",
                        false},
        DeviceFaultCase{"NoBoardForTheCheck",
                        "0_10V_Check",
                        {"board:vanish"},
                        "0.05 70 170\n0.025 320 1060\n",
                        "no analog board is open; the output cannot be measured and nothing was "
                        "written to the sensor",
                        false},
        DeviceFaultCase{"BoardLostMidAdjustment",
                        "0_10V_Adjustment",
                        {"board:vanish@200"},
                        "0.05 70 170\n0.025 320 1060\n",
                        "the analog board stopped delivering readings; the levels found on the "
                        "sensor are restored",
                        false}),
    [](const auto& p) { return std::string(p.param.name); });

sim::BenchOptions CoarseBench(double timeScale) {
    sim::BenchOptions o = SharedBench();
    o.timeScale = timeScale;
    o.stage = sim::StageGeometry{0.05, 70.0, 170.0};
    return o;
}

/// A stop signal while the stage moves: during homing, and during the synchronous sweep.
struct StopCase {
    const char* name;
    int signal;
    const char* mode;
    uint8_t movingState;  ///< the controller's state nibble to stop in
    uint8_t outputs;      ///< outputs set at that moment
};

class BenchStopTest : public BenchRunTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(BenchStopTest, LeavesTheStageAtRestBeforeVeskactlExits) {
    const StopCase& c = GetParam();
    sim::VirtualBench bench(CoarseBench(1.0));  // real speed: the moves take seconds
    std::string error;
    ASSERT_TRUE(bench.Start(&error)) << error;
    std::ofstream(dir + "/Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
    sim::Stage& stage = bench.GetStage();
    Child child(dir,
                {"--language", dir + "/lang", "bench", c.mode, "--out", dir + "/runs", "--yes"},
                dir, bench.PortDirectory());
    ASSERT_TRUE(Eventually([&] {
        const auto now = sim::World::SteadyClock::now();
        return stage.StateNibble(now) == c.movingState &&
               (stage.Outputs() & c.outputs) == c.outputs;
    }));
    const sim::StageCounters moving = stage.Counters();
    child.Signal(c.signal);
    const CtlResult run = child.Wait();
    EXPECT_FALSE(stage.Moving(sim::World::SteadyClock::now()))
        << "the stage is at rest at the exit";
    EXPECT_LT(stage.Counters().steps, moving.steps) << "the move was cut short";
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_NE(run.err.find("veskactl: stopping: "), std::string::npos) << run.err;
    EXPECT_EQ(bench.Sensor().Param(kModeOfRunAddress), 0);
    ASSERT_FALSE(run.out.empty()) << run.err;
    const nlohmann::json record = ReadRecord(run.out.substr(0, run.out.size() - 1));
    EXPECT_EQ(record["outcome"], "stopped") << record["reason"];
}

INSTANTIATE_TEST_SUITE_P(Bench, BenchStopTest,
                         ::testing::Values(StopCase{"InterruptWhileHoming", SIGINT, "Poverka", 3,
                                                    1},
                                           StopCase{"TerminateDuringTheSynchronousSweep", SIGTERM,
                                                    "Synchro_Poverka", 1, 8}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(BenchRunTest, ASignalDuringTheUploadFinishesItAndTheRunEndsStopped) {
    sim::VirtualBench bench(CoarseBench(20.0));
    std::string error;
    ASSERT_TRUE(bench.Start(&error)) << error;
    std::ofstream(dir + "/Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
    Child child(dir,
                {"--language", dir + "/lang", "bench", "Synchro_Calibration", "--out",
                 dir + "/runs", "--yes"},
                dir, bench.PortDirectory());
    ASSERT_TRUE(Eventually([&] { return bench.Sensor().Counters().tableBlocks >= 5; }));
    child.Signal(SIGINT);
    const CtlResult run = child.Wait();
    EXPECT_EQ(bench.Sensor().Counters().tableBlocks, 111u) << "the upload was finished";
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_NE(run.err.find("veskactl: stopping: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("was finishing"), std::string::npos) << run.err;
    ASSERT_FALSE(run.out.empty()) << run.err;
    const nlohmann::json record = ReadRecord(run.out.substr(0, run.out.size() - 1));
    EXPECT_EQ(record["outcome"], "stopped");
    EXPECT_EQ(record["results"]["table_uploaded"], 1);
    EXPECT_EQ(record["files"].size(), 1u) << "the table file was saved";
}

TEST_F(BenchRunTest, AStopWithASilentSensorIsAcknowledgedAtOnceAndEndsStopped) {
    sim::VirtualBench bench(CoarseBench(20.0));
    std::string error;
    ASSERT_TRUE(bench.Start(&error)) << error;
    std::ofstream(dir + "/Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
    Child child(dir, {"--language", dir + "/lang", "bench", "Poverka", "--out", dir + "/runs"}, dir,
                bench.PortDirectory());
    ASSERT_TRUE(Eventually([&] { return bench.GetStage().Counters().forwardMoves > 50; }));
    bench.Sensor().SetSilent(true);
    child.Signal(SIGINT);
    // The terminal says so while the sensor is still silent, before the run can end.
    EXPECT_TRUE(Eventually([&] {
        return ReadText(dir + "/stderr.txt").find("veskactl: stopping: ") != std::string::npos;
    }));
    bench.Sensor().SetSilent(false);
    const CtlResult run = child.Wait();
    EXPECT_EQ(run.exitCode, 6) << run.err;
    EXPECT_FALSE(bench.GetStage().Moving(sim::World::SteadyClock::now()));
    EXPECT_EQ(bench.Sensor().Param(kModeOfRunAddress), 0);
}

TEST_F(BenchRunTest, AnOutputFolderLostMidRunIsAnErrorWithANonZeroExit) {
    sim::VirtualBench bench(CoarseBench(20.0));
    std::string error;
    ASSERT_TRUE(bench.Start(&error)) << error;
    std::ofstream(dir + "/Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
    Child child(dir, {"--language", dir + "/lang", "bench", "Poverka", "--out", dir + "/runs"}, dir,
                bench.PortDirectory());
    // Once the recording is under way the folder is replaced by a file.
    ASSERT_TRUE(Eventually([&] { return bench.GetStage().Counters().forwardMoves > 100; }));
    fs::rename(dir + "/runs", dir + "/runs.gone");
    std::ofstream(dir + "/runs") << "not a folder";
    const CtlResult run = child.Wait();
    EXPECT_NE(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("_Digital.pvk was not written"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(dir + "/runs.gone"));
}

}  // namespace
