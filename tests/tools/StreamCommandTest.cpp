// veskactl stream against the simulated sensor on a pty: the summary line, the export file
// and the parameters the stream borrows.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"

namespace {

namespace fs = std::filesystem;
namespace sim = veska::sim;

struct StreamRun {
    int exitCode = -1;
    std::string out;
};

/// Runs veskactl through the shell with its standard output collected (errors dropped).
StreamRun Veskactl(const std::string& args) {
    const std::string command = std::string("'") + VESKACTL_PATH + "' " + args + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    StreamRun run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class StreamCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(pty.Start(&error)) << error;
        char pattern[] = "/tmp/veskactl-stream-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directory(dir + "/lang");
        world.SetTargetMm(100.0);
    }
    void TearDown() override { fs::remove_all(dir); }

    StreamRun Ctl(const std::string& args) {
        return Veskactl("--port '" + pty.SlavePath() + "' --language '" + dir + "/lang' " + args);
    }

    static sim::SensorOptions Quiet() {
        sim::SensorOptions o;
        o.noise = 0.0;
        return o;
    }

    sim::World world;
    sim::SensorDevice device{world, Quiet()};
    sim::SensorLine line{device};
    sim::PtyLink pty{line};
    std::string dir;
};

TEST_F(StreamCommandTest, PrintsTheSummaryAndWritesTheExport) {
    device.SetParam(0x88, 3);  // LAN mode, switched off while streaming
    const std::string file = dir + "/samples.txt";
    const StreamRun run = Ctl("stream 0.5 --out '" + file + "'");
    ASSERT_EQ(run.exitCode, 0) << run.out;

    std::smatch m;
    ASSERT_TRUE(
        std::regex_match(run.out, m, std::regex(R"(samples=(\d+) lost=0 rate=(\d+\.\d)/s\n)")))
        << run.out;
    const long samples = std::stol(m[1]);
    EXPECT_GT(samples, 500);  // 115200 bit/s carry 2618 samples per second
    EXPECT_LT(std::stod(m[2]), 2700.0);

    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    const std::string first = s.substr(0, s.find('\n') + 1);
    EXPECT_TRUE(std::regex_match(first, std::regex(R"(\d+\.\d{3}\r\n)"))) << first;
    const double mm = std::stod(first);
    EXPECT_GT(mm, 0.0);
    EXPECT_LT(mm, 50.0);
    // The newest sample is not written.
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), samples - 1);

    EXPECT_EQ(device.Param(0x88), 3);  // restored
    EXPECT_EQ(device.Param(0x07), 0);  // Line mode
    EXPECT_EQ(device.Streaming(), sim::StreamKind::kNone);
}

TEST_F(StreamCommandTest, RefusesABadDurationOrArgument) {
    for (const char* args : {"stream 0", "stream -1", "stream abc", "stream 1e9", "stream 1 --out",
                             "stream 1 --verbose"}) {
        EXPECT_EQ(Ctl(args).exitCode, 2) << args;
    }
    EXPECT_EQ(device.Counters().requests[7], 0u);
}

TEST_F(StreamCommandTest, AnUnwritableExportFileIsAFileError) {
    const StreamRun run = Ctl("stream 0.2 --out '" + dir + "/missing/samples.txt'");
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.out.find("samples="), std::string::npos);
}

}  // namespace
