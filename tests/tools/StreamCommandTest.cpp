// veskactl stream against the simulated sensor on a pty: the summary line, the export file
// and the parameters the stream borrows.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <vector>

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

/// A veskactl started without a shell, so that a signal reaches it alone.
class Child {
  public:
    explicit Child(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], 1);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, 2);
            ::close(fds[0]);
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(VESKACTL_PATH));
            for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(VESKACTL_PATH, argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        out_ = fds[0];
    }
    void Signal(int signal) const { ::kill(pid_, signal); }
    /// Reads the output to its end and reaps the child.
    StreamRun Finish() {
        StreamRun run;
        char buffer[4096];
        for (ssize_t n; (n = ::read(out_, buffer, sizeof buffer)) > 0;) {
            run.out.append(buffer, static_cast<size_t>(n));
        }
        ::close(out_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }

  private:
    pid_t pid_ = -1;
    int out_ = -1;
};

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

    std::vector<std::string> CtlArgs(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--port", pty.SlavePath(), "--language", dir + "/lang"});
        return args;
    }

    static std::string ReadWhole(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    StreamRun Ctl(const std::string& args) {
        return Veskactl("--port '" + pty.SlavePath() + "' --language '" + dir + "/lang' " + args);
    }

    /// Waits until the sensor streams; generous, as a loaded machine starts the child slowly.
    void WaitForStream() const {
        for (int i = 0; i < 6000 && device.Streaming() == sim::StreamKind::kNone; ++i) {
            ::usleep(10000);
        }
        ASSERT_NE(device.Streaming(), sim::StreamKind::kNone) << "the stream never started";
    }
    /// Waits until the sensor has sent count samples, however slow the machine.
    void WaitForSamples(uint64_t count) const {
        for (int i = 0; i < 6000 && device.Counters().samplesSent < count; ++i) ::usleep(10000);
        ASSERT_GE(device.Counters().samplesSent, count) << "the sensor sent too few samples";
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

TEST_F(StreamCommandTest, SigintStopsTheSensorAndWritesWhatCame) {
    device.SetParam(0x88, 3);
    const std::string file = dir + "/interrupted.txt";
    Child child(CtlArgs({"stream", "5", "--out", file}));
    // Wait until the sensor streams, then interrupt.
    WaitForStream();
    WaitForSamples(100);
    ::usleep(300000);
    child.Signal(SIGINT);
    const StreamRun run = child.Finish();
    EXPECT_EQ(run.exitCode, 130) << run.out;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.out, m, std::regex(R"(samples=(\d+) .* interrupted)")))
        << run.out;
    EXPECT_EQ(device.Streaming(), sim::StreamKind::kNone);
    EXPECT_EQ(device.Param(0x88), 3);  // restored
    const std::string s = ReadWhole(file);
    EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), std::stol(m[1]) - 1);
    // The next command finds a quiet line.
    EXPECT_EQ(Ctl("identify").exitCode, 0);
}

TEST_F(StreamCommandTest, SigtermEndsItTheSameWay) {
    // The signal comes as the sensor starts: before or after the first sample, the
    // operator's stop is the reason, not a silent line.
    Child child(CtlArgs({"stream", "30"}));
    WaitForStream();
    child.Signal(SIGTERM);
    const StreamRun run = child.Finish();
    EXPECT_EQ(run.exitCode, 130) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(samples=\d+ .* interrupted)"))) << run.out;
    EXPECT_EQ(device.Streaming(), sim::StreamKind::kNone);
}

TEST_F(StreamCommandTest, ASensorThatFallsSilentEndsTheStreamShort) {
    const std::string file = dir + "/short.txt";
    Child child(CtlArgs({"stream", "30", "--out", file}));
    WaitForStream();
    WaitForSamples(100);
    ::usleep(200000);
    device.SetSilent(true);
    const StreamRun run = child.Finish();
    EXPECT_EQ(run.exitCode, 4) << run.out;
    EXPECT_TRUE(std::regex_search(run.out, std::regex(R"(silent=\d+\.\ds ended-short)")))
        << run.out;
    EXPECT_FALSE(ReadWhole(file).empty());  // what came is kept
}

TEST_F(StreamCommandTest, AnExistingFileIsKeptWithoutYesAndWhenNothingCame) {
    const std::string file = dir + "/previous.txt";
    std::ofstream(file) << "previous run\n";
    EXPECT_EQ(Ctl("stream 0.2 --out '" + file + "'").exitCode, 2);
    EXPECT_EQ(ReadWhole(file), "previous run\n");
    EXPECT_EQ(device.Counters().requests[7], 0u);  // refused before the sensor was touched

    device.SetSilent(true);
    EXPECT_NE(Veskactl("--yes --port '" + pty.SlavePath() + "' --language '" + dir +
                       "/lang' stream 0.2 --out '" + file + "'")
                  .exitCode,
              0);
    EXPECT_EQ(ReadWhole(file), "previous run\n");
}

}  // namespace
