// veskactl board against the simulated driver library (VESKA_USB=sim) and the virtual
// bench's board (--simulate); a simulated board's lines say so.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <string>

namespace {

struct BoardRun {
    int exitCode = -1;
    std::string out;  ///< standard output and standard error together
};

BoardRun Board(const std::string& args, const char* usb = "sim", const char* options = "") {
    const std::string command = std::string("VESKA_USB=") + usb + " VESKA_TRACE= " + VESKACTL_PATH +
                                " " + options + " board " + args + " 2>&1";
    BoardRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char chunk[4096];
    size_t n = 0;
    while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) run.out.append(chunk, n);
    const int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(BoardCommand, ListsTheSimulatedBoard) {
    const BoardRun run = Board("list");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_EQ(run.out, "slot=0 board=1 simulated\n");
    // The virtual bench's own board, whatever VESKA_USB says.
    const BoardRun bench = Board("list", "libftdi", "--simulate");
    EXPECT_EQ(bench.exitCode, 0) << bench.out;
    EXPECT_EQ(bench.out, "slot=0 board=1 simulated\n");
}

TEST(BoardCommand, InfoPrintsTheCoefficients) {
    const BoardRun run = Board("info");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(std::regex_match(
        run.out, std::regex("board=1 gain=0\\.000[0-9]+ offset=32805 \\(0x8025\\) simulated\n")))
        << run.out;
}

TEST(BoardCommand, ReadPrintsNReadings) {
    const BoardRun run = Board("read 3");
    EXPECT_EQ(run.exitCode, 0) << run.out;
    EXPECT_TRUE(std::regex_match(
        run.out, std::regex("(U=-?[0-9]+\\.[0-9]{4} V I=-?[0-9]+\\.[0-9]{3} mA simulated\n){3}")))
        << run.out;
}

TEST(BoardCommand, BadArgumentsAreUsageErrors) {
    for (const char* args : {"read x", "read 0", "frob", "list more"}) {
        const BoardRun run = Board(args);
        EXPECT_EQ(run.exitCode, 2) << args << ": " << run.out;
    }
}

TEST(BoardCommand, WithoutTheSimulatorThereIsNoBoard) {
    // An unknown backend name leaves the program without USB: every export answers 2.
    const BoardRun run = Board("info", "none");
    EXPECT_EQ(run.exitCode, 3) << run.out;
    EXPECT_NE(run.out.find("result 2"), std::string::npos) << run.out;
    // The delivered library never simulates: no board here is marked simulated.
    const BoardRun real = Board("list", "libftdi");
    EXPECT_EQ(real.out.find("simulated"), std::string::npos) << real.out;
}

}  // namespace
