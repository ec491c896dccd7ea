// The veskactl binary as a script runs it, against a simulated sensor on a real
// pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/World.h"

namespace {

namespace fs = std::filesystem;
namespace sim = veska::sim;

struct CtlRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

/// Runs veskactl with args; its output is collected, and a run that takes longer than
/// 30 s is killed (exit code -1).
CtlRun Veskactl(const std::vector<std::string>& args) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        std::vector<char*> argv;
        std::string program = VESKACTL_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    CtlRun run;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&run.out, &run.err};
    int open = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            killed = true;
            break;
        }
        if (::poll(fds, 2, static_cast<int>(left.count())) < 0) break;
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, static_cast<size_t>(n));
            } else {
                ::close(fds[k].fd);
                fds[k].fd = -1;
                --open;
            }
        }
    }
    for (const pollfd& p : fds) {
        if (p.fd >= 0) ::close(p.fd);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = (!killed && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

sim::SensorOptions Sensor() {
    sim::SensorOptions options;
    options.identity.deviceType = 21;
    options.identity.serialNumber = 4711;
    options.identity.baseDistance = 80;
    options.identity.measuringRange = 50;
    options.noise = 0.0;
    return options;
}

class VeskactlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(pty.Start(&error)) << error;
        char pattern[] = "/tmp/veskactl-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directory(dir + "/lang");  // no language files: texts are their numbers
        world.SetTargetMm(100.0);
    }
    void TearDown() override { fs::remove_all(dir); }

    /// veskactl with the sensor's port and the empty language folder, then args.
    CtlRun Ctl(std::vector<std::string> args, std::vector<std::string> options = {}) {
        std::vector<std::string> all = {"--port", pty.SlavePath(), "--language", dir + "/lang"};
        all.insert(all.end(), options.begin(), options.end());
        all.insert(all.end(), args.begin(), args.end());
        return Veskactl(all);
    }

    sim::World world;
    sim::SensorDevice device{world, Sensor()};
    sim::SensorLine line{device};
    sim::PtyLink pty{line};
    std::string dir;
};

TEST_F(VeskactlTest, IdentifyPrintsOneLine) {
    const CtlRun run = Ctl({"identify"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "type=21 release=23 serial=4711 base=80 range=50\n");
}

TEST_F(VeskactlTest, ParamsPrintsTheThirtySevenGridRows) {
    device.SetParam16(0x08, 1234);
    const CtlRun run = Ctl({"params"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 37u);
    for (int i = 0; i < 37; ++i) {
        const auto fields = Fields(lines[i]);
        ASSERT_EQ(fields.size(), 4u) << lines[i];
        EXPECT_EQ(fields[0], std::to_string(i));
        EXPECT_EQ(fields[1], std::to_string(i)) << "names are their numbers without texts";
    }
    EXPECT_EQ(lines[9], "9\t9\t1234\t1234");
    EXPECT_EQ(Fields(lines[2])[3], "115200");
}

TEST_F(VeskactlTest, SetThenGet) {
    struct Case {
        std::string row;
        std::string text;
        std::string printed;
    };
    const Case cases[] = {
        {"9", "2500", "9\t9\t2500\t2500"},
        {"35", "-5", "35\t35\t65531\t-5"},
        {"16", "a", "16\t16\t10\t0A"},
        {"11", "50", "11\t11\t32767\t50"},
        {"22", "10.0.0.1", "22\t22\t167772161\t 10.  0.  0.  1"},
    };
    for (const Case& c : cases) {
        const CtlRun set = Ctl({"set", c.row, c.text});
        EXPECT_EQ(set.exitCode, 0) << c.row << ": " << set.err;
        EXPECT_EQ(set.out, c.printed + "\n");
        const CtlRun get = Ctl({"get", c.row});
        EXPECT_EQ(get.exitCode, 0) << get.err;
        EXPECT_EQ(get.out, c.printed + "\n");
    }
    EXPECT_EQ(device.Param16(0x08), 2500);
}

TEST_F(VeskactlTest, SetRefusesWhatTheGridRefuses) {
    const uint16_t before = device.Param16(0x08);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        // Refusals name the parameter; their words come from the language file (here, without
        // one, the text's number).
        {{"set", "9", "0"}, 5, "set: parameter 9 '9'"},
        {{"set", "9", "abc"}, 5, "'abc'"},
        {{"set", "2", "1000"}, 5, "set: parameter 2 '2'"},
        {{"set", "3", "0"}, 5, "set: parameter 3 '3'"},
        {{"set", "36", "1"}, 2, "parameter 36"},
        {{"set", "37", "1"}, 2, "0..36"},
        {{"get", "x"}, 2, "0..36"},
        // Words must be the row's words, addresses four numbers 0..255 (the texts here are
        // the language keys' numbers).
        {{"set", "0", "Offf"}, 5, "'Offf' is not allowed here; allowed are: 0, 1."},
        {{"set", "5", "al mode 1"}, 5, "allowed are: 4, 5, 6, 7, 31, 32, 33."},
        {{"set", "22", "10.0.0"}, 5, "four numbers 0 to 255"},
        {{"set", "22", "300.1.1.1"}, 5, "four numbers 0 to 255"},
    };
    for (const Case& c : cases) {
        const CtlRun run = Ctl(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args[1] << " " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_EQ(device.Param16(0x08), before);
}

TEST_F(VeskactlTest, AnAddressIsTakenAsTyped) {
    const CtlRun run = Ctl({"set", "22", "10.0.0.1"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "22\t22\t167772161\t 10.  0.  0.  1\n");
}

TEST_F(VeskactlTest, AHostAtAnotherRateGetsNoAnswer) {
    const CtlRun run = Ctl({"identify"}, {"--baud", "9600"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("status 3"), std::string::npos) << run.err;
    EXPECT_EQ(device.Counters().bytesReceived, 0u);
}

TEST_F(VeskactlTest, NewBaudRateAndAddressAreFollowed) {
    CtlRun run = Ctl({"set", "2", "921600"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "2\t2\t128\t921600\n");
    EXPECT_EQ(device.LineBaud(), 921600u);

    run = Ctl({"set", "3", "5"}, {"--baud", "921600"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(device.NetAddress(), 5);
    run = Ctl({"get", "9"}, {"--baud", "921600", "--address", "5"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(VeskactlTest, SaveThenLoadRoundTrip) {
    device.SetParam16(0x08, 3333);
    device.SetParam(0x11, 9);
    const std::string file = dir + "/4711.prm";
    CtlRun run = Ctl({"save", file});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const CtlRun saved = Ctl({"params"});

    device.SetParam16(0x08, 1);
    device.SetParam(0x11, 0);
    run = Ctl({"load", file});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(device.Param16(0x08), 3333);
    EXPECT_EQ(device.Param(0x11), 9);
    EXPECT_EQ(Ctl({"params"}).out, saved.out);

    run = Ctl({"save", file});
    EXPECT_EQ(run.exitCode, 2) << "an existing file needs --yes";
    run = Ctl({"save", file}, {"--yes"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

TEST_F(VeskactlTest, LoadRefusesBadFiles) {
    const std::string bad = dir + "/bad.prm";
    std::ofstream(bad) << "0\t1\n1\tx\n";
    CtlRun run = Ctl({"load", bad});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("'x'"), std::string::npos) << run.err;
    EXPECT_EQ(device.Counters().requests[3], 0u) << "nothing sent";

    run = Ctl({"load", dir + "/missing.prm"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("missing.prm"), std::string::npos) << run.err;

    run = Ctl({"save", dir + "/no/such/dir.prm"});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_NE(run.err.find("No such file or directory"), std::string::npos) << run.err;
}

TEST_F(VeskactlTest, MeasurePrintsMillimetresWithThreeDecimals) {
    const CtlRun run = Ctl({"measure", "5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const auto lines = Lines(run.out);
    ASSERT_EQ(lines.size(), 5u);
    const std::regex number(R"(-?\d+\.\d{3})");
    for (const std::string& l : lines) EXPECT_TRUE(std::regex_match(l, number)) << l;
    // Divisor 50000 from parameter 36, range 50 mm: raw x 50 / 50000.
    ASSERT_EQ(device.Param16(0xA0), 50000);
    char expected[32];
    std::snprintf(expected, sizeof expected, "%.3f",
                  static_cast<double>(static_cast<float>(device.CurrentResult() * 50.0L / 50000)));
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(device.Param(0x07), 0) << "Line mode";
}

TEST_F(VeskactlTest, StoreFlashNeedsYes) {
    device.SetParam16(0x08, 2222);
    CtlRun run = Ctl({"store", "flash"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--yes"), std::string::npos) << run.err;
    EXPECT_EQ(device.Counters().requests[4], 0u);
    EXPECT_NE(device.FlashSet()[0x08], 2222 & 0xFF);

    run = Ctl({"store", "flash"}, {"--yes"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(device.FlashSet()[0x08], 2222 & 0xFF);

    run = Ctl({"store", "factory"}, {"--yes"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(device.FactorySet()[0x08], 2222 & 0xFF);
    run = Ctl({"store", "bogus"}, {"--yes"});
    EXPECT_EQ(run.exitCode, 2);
}

TEST_F(VeskactlTest, FailuresNameTheStatus) {
    CtlRun run = Veskactl({"--port", "/nonexistent/tty", "identify"});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("cannot open the sensor port '/nonexistent/tty': status 2 ("),
              std::string::npos)
        << run.err;

    device.MuteParamAddress(0x08);  // a sensor that identifies but does not answer row 9
    run = Ctl({"get", "9"});
    EXPECT_EQ(run.exitCode, 4);
    EXPECT_NE(run.err.find("reading parameter 9 '9': status 3 ("), std::string::npos) << run.err;
    EXPECT_TRUE(run.out.empty());
}

TEST(Veskactl, UsageErrorsAndHelp) {
    CtlRun run = Veskactl({});
    EXPECT_EQ(run.exitCode, 2);
    run = Veskactl({"frobnicate"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("unknown command 'frobnicate'"), std::string::npos);
    run = Veskactl({"--baud", "fast", "identify"});
    EXPECT_EQ(run.exitCode, 2);
    run = Veskactl({"get"});
    EXPECT_EQ(run.exitCode, 2);
    run = Veskactl({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    for (const char* word : {"identify", "params", "get I", "set I VALUE", "save FILE", "load FILE",
                             "store flash|default|factory", "measure N", "--yes", "USB_PELRIN"}) {
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    }
}

}  // namespace

TEST(Veskactl, SimFaultsReachTheInProcessBench) {
    CtlRun run = Veskactl({"--simulate", "--sim-fault", "sensor:slow=20", "identify"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("serial=1234"), std::string::npos);
    run = Veskactl(
        {"--simulate", "--sim-fault=sensor:vanish@1", "--sim-fault", "stage:frozen", "identify"});
    EXPECT_EQ(run.exitCode, 0) << run.err;  // one request is served before the port hangs up
    run = Veskactl({"--simulate", "--sim-fault", "sensor:vanish", "identify"});
    EXPECT_EQ(run.exitCode, 3);  // unplugged from the start: the port does not open
    run = Veskactl({"--simulate", "--sim-fault", "sensor:silent", "identify"});
    EXPECT_EQ(run.exitCode, 4);
    run = Veskactl({"--simulate", "--sim-fault", "sensor:frozen", "identify"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("the sensor has no fault 'frozen'"), std::string::npos) << run.err;
    run = Veskactl({"--sim-fault", "sensor:silent", "identify"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("--sim-fault needs --simulate"), std::string::npos) << run.err;
}
