// veskactl sequence and the bench's stored runs: the real binary on the virtual bench, the
// results read back from the store it wrote.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/tools/VeskactlChild.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using veska::testing::CtlResult;
using veska::testing::ReadText;

std::vector<std::string> OnItsOwnBench(const std::string& dir, std::vector<std::string> args) {
    const std::vector<std::string> bench{"--simulate", "--time-scale", "20", "--language",
                                         dir + "/lang"};
    args.insert(args.begin(), bench.begin(), bench.end());
    return args;
}

/// A veskactl child on its own virtual bench (--simulate), in dir, its store below dir.
class Child : public veska::testing::VeskactlChild {
  public:
    Child(const std::string& dir, const std::vector<std::string>& args)
        : VeskactlChild(dir, OnItsOwnBench(dir, args),
                        {"VESKA_USB=sim", "VESKA_TRACE=", "VESKA_PORTS=", "XDG_DATA_HOME=" + dir},
                        dir) {}
};

class SequenceCommandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/veskactl-sequence-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        fs::create_directory(dir + "/lang");
        // A coarse stage (the child's Motor.dat): a short verification.
        std::ofstream(dir + "/Motor.dat") << "0.05 70 170\n0.025 320 1060\n";
        store = "sqlite:" + dir + "/results.sqlite";
    }
    void TearDown() override { fs::remove_all(dir); }

    /// A sequence of a short Line run and a verification whose figure must lie in limits.
    std::string WriteSequence(const std::string& figureLimits, const std::string& extra = "") {
        const std::string path = dir + "/short.toml";
        std::ofstream(path) << "name = \"Short\"\n"
                               "[[step]]\nname = \"Line\"\nmode = \"Line\"\nseconds = 0.3\n"
                            << extra
                            << "[[step]]\nname = \"Verification\"\nmode = \"Poverka\"\n"
                               "  [[step.measurement]]\n  name = \"figure_percent\"\n"
                               "  unit = \"%\"\n"
                            << figureLimits;
        return path;
    }

    CtlResult Run(const std::vector<std::string>& args) { return Child(dir, args).Wait(); }

    /// The unit's verdict among the stored runs (the one without a step).
    static nlohmann::json UnitOf(const nlohmann::json& runs) {
        for (const auto& r : runs) {
            if (r["step"] == "") return r;
        }
        return {};
    }

    nlohmann::json History(const std::string& url) {
        const CtlResult h = Run({"--results", url, "history", "--json"});
        EXPECT_EQ(h.exitCode, 0) << h.err;
        return nlohmann::json::parse(h.out, nullptr, false);
    }

    std::string dir;
    std::string store;
};

TEST_F(SequenceCommandTest, APassingUnitPrintsItsFiguresAndStoresEveryStepWithItsFiles) {
    const std::string file = WriteSequence("  high = 5.0\n");
    const CtlResult run = Run({"--results", store, "sequence", file, "--operator", "Ada",
                               "--station", "Line 3", "--out", dir + "/runs"});
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("Line: passed\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Verification: passed\n  figure_percent "), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(" % [-..5] passed\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(": PASSED\n"), std::string::npos) << run.out;

    const nlohmann::json runs = History(store);
    ASSERT_TRUE(runs.is_array());
    ASSERT_EQ(runs.size(), 3u) << runs.dump(1);
    // The unit's verdict and its steps share the unit's id.
    const nlohmann::json unit = UnitOf(runs);
    ASSERT_TRUE(unit.is_object()) << runs.dump(1);
    EXPECT_EQ(unit["outcome"], "passed");
    EXPECT_EQ(unit["operator"], "Ada");
    EXPECT_EQ(unit["station"], "Line 3");
    EXPECT_NE(run.out.find("run " + unit["run_id"].get<std::string>() + "\n"), std::string::npos);
    for (const auto& r : runs) {
        EXPECT_EQ(r["unit_id"], unit["run_id"]);
        EXPECT_EQ(r["sequence"], "Short");
    }
    bool verification = false;
    for (const auto& r : runs) {
        if (r["step"] != "Verification") continue;
        verification = true;
        ASSERT_EQ(r["measurements"].size(), 1u);
        EXPECT_EQ(r["measurements"][0]["high"], 5.0);
        EXPECT_TRUE(r["measurements"][0]["value"].is_number());
    }
    EXPECT_TRUE(verification);
    // The runs' records lie in the output folder as with 'bench', and the verification's
    // report chart has its data beside its image.
    size_t records = 0;
    size_t charts = 0;
    for (const auto& entry : fs::directory_iterator(dir + "/runs")) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 11 && name.substr(name.size() - 11) == ".chart.json") {
            ++charts;
        } else {
            records += entry.path().extension() == ".json";
        }
    }
    EXPECT_EQ(records, 2u);
    EXPECT_GE(charts, 1u);

    // The certificate from the store alone, found by a step's id; its text is real text.
    const std::string pdf = dir + "/certificate.pdf";
    const CtlResult certificate =
        Run({"--results", store, "certificate", "--run", runs[1]["run_id"], "--out", pdf});
    ASSERT_EQ(certificate.exitCode, 0) << certificate.err;
    if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) {
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    }
    ASSERT_EQ(std::system(("pdftotext '" + pdf + "' '" + pdf + ".txt'").c_str()), 0);
    const std::string text = ReadText(pdf + ".txt");
    const size_t at = run.out.find("  figure_percent ") + 17;
    const std::string figure = run.out.substr(at, run.out.find(' ', at) - at);
    const std::string serial = std::to_string(unit["serial"].get<int>());
    for (const std::string& expected : {serial, figure, std::string("PASSED"),
                                        std::string("Line 3"), std::string("Verification")}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << '\n' << text;
    }
}

TEST_F(SequenceCommandTest, ACertificateOfNoUnitIsRefused) {
    const CtlResult bench =
        Run({"--results", store, "bench", "Line", "--seconds", "0.2", "--out", dir + "/runs"});
    ASSERT_EQ(bench.exitCode, 0) << bench.err;
    const std::string id = History(store)[0]["run_id"];
    const CtlResult loose =
        Run({"--results", store, "certificate", "--run", id, "--out", dir + "/c.pdf"});
    EXPECT_EQ(loose.exitCode, 9);
    EXPECT_NE(loose.err.find("belongs to no sequence"), std::string::npos) << loose.err;
    EXPECT_FALSE(fs::exists(dir + "/c.pdf"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"certificate", "--run", id},
          {"certificate", "--out", "x.pdf"},
          {"certificate", "--run", id, "--out"},
          {"certificate", "--run", id, "--colour", "x"}}) {
        EXPECT_EQ(Run(args).exitCode, 2) << args.back();
    }
}

TEST_F(SequenceCommandTest, AFigureOutsideItsLimitFailsTheUnit) {
    const std::string file = WriteSequence("  low = 50.0\n");
    const CtlResult run =
        Run({"--results", store, "sequence", file, "--operator", "Ada", "--out", dir + "/runs"});
    EXPECT_EQ(run.exitCode, 7) << run.out << run.err;
    EXPECT_NE(run.out.find("Verification: failed (figure_percent"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(": FAILED"), std::string::npos) << run.out;
    const nlohmann::json runs = History(store);
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(UnitOf(runs)["outcome"], "failed");
}

TEST_F(SequenceCommandTest, AnInterruptedStepAbortsTheUnitAndItIsStored) {
    const std::string file = dir + "/long.toml";
    std::ofstream(file) << "name = \"Long\"\n"
                           "[[step]]\nname = \"Soak\"\nmode = \"Nonline\"\nseconds = 600\n"
                           "[[step]]\nname = \"Never\"\nmode = \"Line\"\nseconds = 1\n";
    Child child(
        dir, {"--results", store, "sequence", file, "--operator", "Ada", "--out", dir + "/runs"});
    bool ticking = false;
    for (int i = 0; i < 3000 && !ticking; ++i) {
        std::this_thread::sleep_for(10ms);
        ticking = child.ErrSoFar().find("Nonline tick") != std::string::npos;
    }
    ASSERT_TRUE(ticking) << child.ErrSoFar();
    child.Signal(SIGINT);
    const CtlResult run = child.Wait();
    EXPECT_EQ(run.exitCode, 6) << run.out << run.err;
    EXPECT_NE(run.out.find("Soak: aborted"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Never"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(": ABORTED"), std::string::npos) << run.out;
    const nlohmann::json runs = History(store);
    ASSERT_EQ(runs.size(), 2u) << runs.dump(1);
    EXPECT_EQ(UnitOf(runs)["outcome"], "aborted");
    EXPECT_TRUE(runs[0]["step"] == "Soak" || runs[1]["step"] == "Soak") << runs.dump(1);
}

TEST_F(SequenceCommandTest, BadCommandLinesAndSequenceFilesAreRefusedBeforeAnyRun) {
    const std::string file = WriteSequence("  high = 5.0\n");
    std::ofstream(dir + "/bad.toml") << "name = \"Bad\"\n[[step]]\nmode = \"Spin\"\n";
    std::ofstream(dir + "/endless.toml") << "name = \"Endless\"\n[[step]]\nmode = \"Line\"\n";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"sequence", file}, 2, "--operator"},
        {{"sequence", file, "--operator"}, 2, "--operator needs a value"},
        {{"sequence", "--operator", "Ada"}, 2, "no sequence file"},
        {{"sequence", file, file, "--operator", "Ada"}, 2, "one sequence file"},
        {{"sequence", file, "--operator", "Ada", "--colour"}, 2, "unknown option"},
        {{"sequence", dir + "/bad.toml", "--operator", "Ada"}, 5, "bad.toml:"},
        {{"sequence", dir + "/none.toml", "--operator", "Ada"}, 5, "none.toml"},
        {{"sequence", dir + "/endless.toml", "--operator", "Ada"}, 5, "give it seconds"},
        {{"--results", "mysql://x", "sequence", file, "--operator", "Ada"}, 9, "mysql"},
    };
    for (const Case& c : cases) {
        const CtlResult run = Run(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.back() << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(dir + "/results.sqlite"));
}

TEST_F(SequenceCommandTest, BenchRunsAreStoredAndAStoreThatCannotBeWrittenKeepsTheirFiles) {
    CtlResult run =
        Run({"--results", store, "bench", "Line", "--seconds", "0.3", "--out", dir + "/runs"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json runs = History(store);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0]["mode"], "Line");
    EXPECT_EQ(runs[0]["outcome"], "passed");
    EXPECT_EQ(runs[0]["sequence"], "");

    // Not a database: the run is made, its record written, and the store's failure is exit 9.
    const std::string broken = dir + "/broken.sqlite";
    std::ofstream(broken) << std::string(4096, 'x');
    run = Run({"--results", "sqlite:" + broken, "bench", "Line", "--seconds", "0.3", "--out",
               dir + "/kept"});
    EXPECT_EQ(run.exitCode, 9) << run.err;
    EXPECT_NE(run.err.find("broken.sqlite"), std::string::npos) << run.err;
    ASSERT_FALSE(run.out.empty());
    EXPECT_TRUE(fs::exists(run.out.substr(0, run.out.find('\n')))) << run.out;
    EXPECT_EQ(ReadText(broken), std::string(4096, 'x'));

    // The same for a sequence: every step still runs and the verdict is printed.
    const std::string file = WriteSequence("  high = 5.0\n");
    run = Run({"--results", "sqlite:" + broken, "sequence", file, "--operator", "Ada", "--out",
               dir + "/kept"});
    EXPECT_EQ(run.exitCode, 9) << run.err;
    EXPECT_NE(run.out.find(": PASSED"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("3 results were not stored"), std::string::npos) << run.err;
}

}  // namespace
