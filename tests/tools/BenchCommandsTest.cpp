// veskactl motor and encoder against the coupled virtual bench: the stage's motor
// controller on COM2 and the reference encoder on COM7 of a port directory.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>
#include <thread>

#include "sim/VirtualBench.h"

namespace {

namespace sim = veska::sim;
using namespace std::chrono_literals;

struct CtlResult {
    int exitCode = -1;
    std::string text;  ///< standard output and error together
};

/// veskactl with args, its COM ports in the port folder ports. It runs at a lower priority
/// than the simulated devices of this process: they stand for hardware, which never waits
/// for a processor, so a loaded machine must not let the host overtake them (a pty keeps no
/// record of the rate its bytes were written at: the devices read it when they take them).
CtlResult RunVeskactl(const std::string& args, const std::string& ports) {
    const std::string command =
        "VESKA_PORTS='" + ports + "' nice -n 10 '" + VESKACTL_PATH + "' " + args + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    CtlResult run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.text.append(buffer, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

sim::BenchOptions Bench() {
    sim::BenchOptions o;
    o.installUsbBackend = false;
    o.stage = sim::StageGeometry{0.0125, 70.0, 170.0};
    o.timeScale = 20.0;
    return o;
}

class BenchCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(bench.Start(&error)) << error;
    }
    /// veskactl with args; it finds COM2 and COM7 in the bench's port folder.
    CtlResult Veskactl(const std::string& args) { return RunVeskactl(args, bench.PortDirectory()); }
    sim::VirtualBench bench{Bench()};
};

TEST_F(BenchCommandsTest, HomeForwardAndTheEncoderPosition) {
    CtlResult run = Veskactl("motor home");
    ASSERT_EQ(run.exitCode, 0) << run.text;
    EXPECT_TRUE(std::regex_match(run.text, std::regex("home: at rest after [0-9]+\\.[0-9]{3} s\n")))
        << run.text;
    run = Veskactl("motor forward 800 --period 1000");
    ASSERT_EQ(run.exitCode, 0) << run.text;
    EXPECT_EQ(run.text.rfind("forward 800 steps: at rest after ", 0), 0u) << run.text;
    run = Veskactl("encoder position");
    ASSERT_EQ(run.exitCode, 0) << run.text;
    EXPECT_EQ(run.text, "position=10.0000 mm count=100000\n");
    run = Veskactl("motor status");
    EXPECT_EQ(run.text, "state=0 at-rest\n");
    run = Veskactl("encoder identify");
    EXPECT_EQ(run.text, "type=69 release=3 serial=501 range=65000um rate=460800\n");
}

/// True once done() holds; the simulated controller takes a request a moment after the
/// command that sent it has ended. Gives up after 5 s.
template <typename Done>
bool Eventually(Done done) {
    for (int i = 0; i < 500 && !done(); ++i) std::this_thread::sleep_for(10ms);
    return done();
}

TEST_F(BenchCommandsTest, OutputsAndMaskReachTheController) {
    sim::Stage& stage = bench.GetStage();
    EXPECT_EQ(Veskactl("motor outputs 0x9").exitCode, 0);
    EXPECT_TRUE(Eventually([&] { return stage.Outputs() == 9; }));
    EXPECT_EQ(Veskactl("motor load 1500 42").exitCode, 0);
    EXPECT_TRUE(Eventually([&] { return stage.LoadedCount() == 42; }));
    EXPECT_EQ(stage.LoadedPeriod(), 1500u);
    EXPECT_EQ(stage.Outputs(), 0);  // a loaded move starts with the outputs off
    EXPECT_EQ(Veskactl("motor outputs 8").exitCode, 0);
    EXPECT_TRUE(Eventually([&] { return stage.Outputs() == 8; }));
    EXPECT_EQ(Veskactl("motor mask 0").exitCode, 0);
    EXPECT_TRUE(Eventually([&] { return stage.Outputs() == 0; }));
}

/// What the encoder heard, for a failure message.
std::string Heard(const sim::EncoderDevice& encoder) {
    const sim::EncoderCounters c = encoder.Counters();
    return "encoder heard: identify " + std::to_string(c.requests[1]) + ", write " +
           std::to_string(c.requests[3]) + ", at a wrong rate " + std::to_string(c.wrongRate) +
           ", rate switches " + std::to_string(c.rateSwitches);
}

TEST_F(BenchCommandsTest, EncoderRateReachesAnEncoderLeftAtAnotherRate) {
    const CtlResult first = Veskactl("encoder identify");  // now at 460800
    ASSERT_EQ(first.exitCode, 0) << first.text << Heard(bench.Encoder());
    const CtlResult run = Veskactl("encoder rate 230400");
    EXPECT_EQ(run.exitCode, 0) << run.text;
    EXPECT_EQ(bench.Encoder().Baud(), 230400u);
}

TEST_F(BenchCommandsTest, AStageThatNeverRestsIsAnErrorAfterTheBound) {
    bench.Motor().SetNeverAtRest(true);
    const CtlResult run = Veskactl("motor forward 10");
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.text.find("the stage did not come to rest"), std::string::npos) << run.text;
}

TEST_F(BenchCommandsTest, BadArgumentsAreUsageErrors) {
    for (const char* args : {"motor forward", "motor forward -3", "motor forward 20000000",
                             "motor fly", "motor outputs 0x10000", "motor home --period 0",
                             "encoder rate 5", "encoder spin", "motor load 1"}) {
        EXPECT_EQ(Veskactl(args).exitCode, 2) << args;
    }
}

TEST_F(BenchCommandsTest, AMissingPortIsAPortError) {
    EXPECT_EQ(Veskactl("--motor-port /nonexistent/motor motor status").exitCode, 3);
    const CtlResult run = Veskactl("--encoder-port /nonexistent/tty encoder position");
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.text.find("status 2"), std::string::npos) << run.text;
}

}  // namespace
