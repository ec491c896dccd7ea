#include "params/ParamCodings.h"
#include "params/ParamFile.h"
#include "params/SensorSet.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "params/ParamTransfer.h"
#include "tests/params/FakeParamView.h"
#include "tests/params/TestTexts.h"

namespace veska::params {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::FakeParamView;

/// The lines of rows 0..36 as the program writes them, with value(i) for row i.
template <typename ValueOf>
std::string FileOf(const ParamTable& table, ValueOf value, const char* lineEnd = "\n",
                   int rows = kGridParamCount) {
    std::string text;
    for (int i = 0; i < rows; ++i) {
        text += std::to_string(table[i].address) + "\t" + std::to_string(value(i)) + lineEnd;
    }
    return text;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void Spit(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ParamFileFormat : public ::testing::Test {
  protected:
    ParamTable table = BuiltInParamTable();
    ValueStores values;
};

TEST_F(ParamFileFormat, WritesOneLinePerGridRowInIndexOrder) {
    values.workValues[2] = 48;
    values.workValues[35] = -5;
    const std::string text = WriteParamFileText(values, table);
    EXPECT_EQ(text.rfind("0\t0\n1\t0\n4\t48\n3\t0\n2\t0\n", 0), 0u);
    EXPECT_NE(text.find("\n134\t-5\n"), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 37);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(text.substr(text.size() - 7), "\n160\t0\n") << "row 36 closes the file";
}

TEST_F(ParamFileFormat, ExtremeValuesRoundTrip) {
    for (int i = 0; i < kGridParamCount; ++i) values.workValues[i] = i * 1000 - 7;
    values.workValues[22] = INT32_MIN;
    values.workValues[23] = INT32_MAX;
    for (int i : {4, 5, 6, 8, 21}) values.workValues[i] = 0x45;
    ValueStores back;
    const ParamFileReadResult result =
        ReadParamFileText(WriteParamFileText(values, table), table, back);
    ASSERT_TRUE(result.ok) << result.errorText;
    EXPECT_EQ(result.records, 37);
    for (int i = 0; i < kGridParamCount; ++i) EXPECT_EQ(back.workValues[i], values.workValues[i]);
    EXPECT_EQ(back.workValues[37], 0) << "rows past the grid are never read";
}

TEST_F(ParamFileFormat, ReadsRecordsByAddress) {
    struct Case {
        const char* what;
        std::string text;
        bool ok;
        int records;
    };
    auto byRow = [](int i) { return 100 + i; };
    const std::string lf = FileOf(table, byRow);
    const Case cases[] = {
        {"LF line ends", lf, true, 37},
        {"CR LF line ends", FileOf(table, byRow, "\r\n"), true, 37},
        {"spaces and NULs between tokens", "0 \t\0\t 5\n"s + lf.substr(lf.find('\n') + 1), true,
         37},
        {"text after the 37th record is ignored", lf + "garbage\n0\tx\n", true, 37},
        {"36 records", FileOf(table, byRow, "\n", 36), false, 36},
        {"empty file", "", false, 0},
        {"value with a trailing space", "0\t12 \n" + lf, false, 0},
        {"value beyond 32 bits", "0\t4294967296\n" + lf, false, 0},
        {"lone minus", "0\t-\n" + lf, false, 0},
    };
    for (const Case& c : cases) {
        ValueStores v;
        const ParamFileReadResult result = ReadParamFileText(c.text, table, v);
        EXPECT_EQ(result.ok, c.ok) << c.what;
        EXPECT_EQ(result.records, c.records) << c.what;
        if (!c.ok) {
            EXPECT_NE(result.errorText.find("record " + std::to_string(c.records + 1)),
                      std::string::npos)
                << c.what << ": " << result.errorText;
        }
        if (c.ok) {
            EXPECT_EQ(v.workValues[9], 109) << c.what;
        }
    }
}

TEST_F(ParamFileFormat, FailureNamesTheTokenAndKeepsTheRecordsTaken) {
    values.workValues.fill(-1);
    std::string text = FileOf(
                           table, [](int i) { return i; }, "\n", 10) +
                       "12\tabc\n";
    const ParamFileReadResult result = ReadParamFileText(text, table, values);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errorText.find("'abc'"), std::string::npos) << result.errorText;
    EXPECT_EQ(values.workValues[9], 9);
    EXPECT_EQ(values.workValues[11], -1);
}

TEST_F(ParamFileFormat, HugeTokenFailsWithAShortMessage) {
    const std::string text = "0\t" + std::string(100000, '7') + "\n";
    const ParamFileReadResult result = ReadParamFileText(text, table, values);
    EXPECT_FALSE(result.ok);
    EXPECT_LT(result.errorText.size(), 200u);
    EXPECT_NE(result.errorText.find("777..."), std::string::npos) << result.errorText;
}

TEST_F(ParamFileFormat, TruncatedFileFailsAtTheCutRecord) {
    const std::string full = FileOf(table, [](int) { return 1; });
    const std::string cut = full.substr(0, full.size() / 2);
    const ParamFileReadResult result = ReadParamFileText(cut, table, values);
    EXPECT_FALSE(result.ok);
    EXPECT_GT(result.records, 0);
    EXPECT_LT(result.records, 37);
}

TEST_F(ParamFileFormat, AddressTwoSetsAllFiveControlByteRows) {
    std::string text = "2\t69\n";
    for (int i = 0; i < 36; ++i) text += "999\t1\n";
    const ParamFileReadResult result = ReadParamFileText(text, table, values);
    ASSERT_TRUE(result.ok) << result.errorText;
    for (int i : {4, 5, 6, 8, 21}) EXPECT_EQ(values.workValues[i], 69) << i;
    EXPECT_EQ(values.workValues[0], 0) << "address 999 matches no row";
}

TEST_F(ParamFileFormat, UnmatchedAddressStillCountsAsARecord) {
    // 999 first, then rows 0..35: row 36's line would be the 38th record.
    std::string text = "999\t5\n" +
                       FileOf(
                           table, [](int) { return 3; }, "\n", 36) +
                       "160\t3\n";
    const ParamFileReadResult result = ReadParamFileText(text, table, values);
    ASSERT_TRUE(result.ok) << result.errorText;
    EXPECT_EQ(values.workValues[35], 3);
    EXPECT_EQ(values.workValues[36], 0);
}

TEST_F(ParamFileFormat, LastControlByteLineWins) {
    values.workValues[4] = 1;
    values.workValues[5] = 2;
    values.workValues[6] = 3;
    values.workValues[8] = 4;
    values.workValues[21] = 5;
    ValueStores back;
    ASSERT_TRUE(ReadParamFileText(WriteParamFileText(values, table), table, back).ok);
    for (int i : {4, 5, 6, 8, 21}) EXPECT_EQ(back.workValues[i], 5);
}

/// The file commands with a fake view, in a scratch directory.
class ParamFileCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        session.SetView(view);
        char pattern[] = "/tmp/veska-prm-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
        view.labels[IdentityLabel::SerialNumber] = "1234";
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return dir + "/" + name; }
    /// Names in the scratch directory (temporary files included).
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir;
    lang::TextTable texts = [] {
        lang::TextTable t = test::TestTexts();
        t.Set(lang::Section::Message, 2, "Caption");
        t.Set(lang::Section::Message, 25, "Overwrite?");
        return t;
    }();
    platform::FakeClock clock;
    SensorSession session{texts, clock};
    ValueStores& values = session.values;
    ParamTable& table = session.table;
    ParamGrid& grid = session.grid;
    FakeParamView view;
    ParamTransfer transfer{session};
    ParamFileCommands files{transfer};
};

TEST_F(ParamFileCommandsTest, WriteThenReadGivesTheSameValues) {
    for (int i = 0; i < kGridParamCount; ++i) values.workValues[i] = 3 * i - 50;
    for (int i : {4, 5, 6, 8, 21}) values.workValues[i] = 0x21;
    const auto written = values.workValues;
    view.saveAnswer = Path("1234.prm");
    ASSERT_TRUE(files.WrParamFileClick());
    EXPECT_EQ(view.savePresets, std::vector<std::string>{"1234.prm"});
    EXPECT_EQ(Slurp(Path("1234.prm")), WriteParamFileText(values, table));
    EXPECT_EQ(Entries(), std::vector<std::string>{"1234.prm"}) << "no temporary file is left";

    values.workValues.fill(0);
    view.openAnswer = Path("1234.prm");
    ASSERT_TRUE(files.RdParamFileClick());
    for (int i = 0; i < kGridParamCount; ++i) EXPECT_EQ(values.workValues[i], written[i]) << i;
    EXPECT_EQ(view.refreshes, 1);
    EXPECT_EQ(grid.CellText(9), std::to_string(written[9]));
    EXPECT_TRUE(view.errors.empty());
}

TEST_F(ParamFileCommandsTest, CancelledDialogsDoNothing) {
    EXPECT_FALSE(files.WrParamFileClick());
    EXPECT_FALSE(files.RdParamFileClick());
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_TRUE(view.errors.empty());
    EXPECT_EQ(view.refreshes, 0);
}

TEST_F(ParamFileCommandsTest, ExistingFileIsReplacedOnlyAfterOk) {
    const std::string path = Path("old.prm");
    Spit(path, "old contents\n");
    values.workValues[9] = 77;
    view.saveAnswer = path;
    view.answers = {kIdCancel};
    EXPECT_FALSE(files.WrParamFileClick());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "Overwrite?");
    EXPECT_EQ(view.boxes[0].caption, "Caption");
    EXPECT_EQ(view.boxes[0].flags, 49);
    EXPECT_EQ(Slurp(path), "old contents\n");

    EXPECT_TRUE(files.WriteFactoryParamFile());
    EXPECT_EQ(Slurp(path), WriteParamFileText(values, table));
    EXPECT_EQ(Entries(), std::vector<std::string>{"old.prm"});
}

TEST_F(ParamFileCommandsTest, UnwritableTargetsAreReportedWithTheFileAndTheReason) {
    values.workValues[9] = 5;
    const auto before = values.workValues;
    struct Case {
        std::string path;
        std::string reason;
    };
    const Case cases[] = {
        {"/nonexistent-veska-dir/x.prm", "No such file or directory"},
        {"/proc/veska-x.prm", ""},
        {dir, "Is a directory"},
    };
    for (const Case& c : cases) {
        view.errors.clear();
        view.saveAnswer = c.path;
        EXPECT_FALSE(files.WrParamFileClick()) << c.path;
        ASSERT_EQ(view.errors.size(), 1u) << c.path;
        EXPECT_NE(view.errors[0].find("'" + c.path + "'"), std::string::npos) << view.errors[0];
        EXPECT_NE(view.errors[0].find(c.reason), std::string::npos) << view.errors[0];
        EXPECT_EQ(values.workValues, before);
    }
}

TEST_F(ParamFileCommandsTest, FailedWriteLeavesTheOldFileWhole) {
    const std::string path = Path("keep.prm");
    const std::string old(2000, 'x');
    Spit(path, old);
    values.workValues.fill(-2000000000);  // 37 long lines, well over the limit below
    view.saveAnswer = path;

    // A file size limit makes the write itself fail part-way.
    struct sigaction ignore {
    }, previous{};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool written = files.WrParamFileClick();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(written);
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_NE(view.errors[0].find("keep.prm"), std::string::npos) << view.errors[0];
    EXPECT_EQ(Slurp(path), old);
    EXPECT_EQ(Entries(), std::vector<std::string>{"keep.prm"}) << "the temporary file is removed";
}

TEST_F(ParamFileCommandsTest, SymbolicLinkIsFollowed) {
    const std::string real = Path("real.prm");
    Spit(real, "old\n");
    fs::create_symlink(real, Path("link.prm"));
    view.saveAnswer = Path("link.prm");
    ASSERT_TRUE(files.WrParamFileClick());
    EXPECT_TRUE(fs::is_symlink(Path("link.prm")));
    EXPECT_EQ(Slurp(real), WriteParamFileText(values, table));
}

TEST_F(ParamFileCommandsTest, BadFilesNameTheFileAndTheGridShowsWhatWasTaken) {
    // A first build, so that the grid has texts to show.
    for (int i = 0; i < kGridParamCount; ++i) values.workValues[i] = 1;
    session.RebuildGrid();

    struct Case {
        std::string name;
        std::string contents;  // empty with create false: no such file
        bool create;
        std::string expect;  // in the message
        bool taken;          // records were taken over before the failure
    };
    const Case cases[] = {
        {"missing.prm", "", false, "No such file or directory", false},
        {"short.prm",
         FileOf(
             table, [](int) { return 7; }, "\n", 36),
         true, "record 37", true},
        {"bad.prm", "0\t5\n1\t5x\n", true, "'5x'", true},
    };
    for (const Case& c : cases) {
        view.errors.clear();
        const int refreshes = view.refreshes;
        if (c.create) Spit(Path(c.name), c.contents);
        view.openAnswer = Path(c.name);
        EXPECT_FALSE(files.RdParamFileClick()) << c.name;
        ASSERT_EQ(view.errors.size(), 1u) << c.name;
        EXPECT_NE(view.errors[0].find(Path(c.name)), std::string::npos) << view.errors[0];
        EXPECT_NE(view.errors[0].find(c.expect), std::string::npos) << view.errors[0];
        // No value hides behind an old text: what was taken is shown before the error.
        EXPECT_EQ(view.refreshes, refreshes + (c.taken ? 1 : 0)) << c.name;
        for (int i = 0; i < kGridParamCount; ++i) {
            EXPECT_EQ(grid.CellText(i), ShownText(table, i, values.workValues[i], texts))
                << c.name << " row " << i;
        }
    }
    EXPECT_EQ(values.workValues[35], 7) << "the 36 records taken before the failure stay";
    EXPECT_EQ(values.workValues[36], 1);
    EXPECT_EQ(values.workValues[0], 5);
    EXPECT_EQ(grid.CellText(35), "7");
}

TEST_F(ParamFileCommandsTest, ReadingAFileAsksBeforeItReplacesUnsentEdits) {
    for (int i = 0; i < kGridParamCount; ++i) {
        values.workValues[i] = 1;
        LearnSensorValue(table, values.sensorSet, i, 1);
    }
    session.RebuildGrid();
    view.openAnswer = Path("none.prm");
    // Nothing edited: no question.
    EXPECT_FALSE(files.RdParamFileClick());
    EXPECT_TRUE(view.boxes.empty());
    EXPECT_EQ(view.openDialogs, 1);

    values.workValues[9] = 2500;
    view.answers = {kIdCancel};
    EXPECT_FALSE(files.RdParamFileClick());
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].text.find("'Sampling Period': 2500"), std::string::npos)
        << view.boxes[0].text;
    EXPECT_EQ(view.boxes[0].flags, kMbOkCancelExclamation);
    EXPECT_EQ(view.boxes[0].caption, "Caption");
    EXPECT_EQ(view.openDialogs, 1) << "Cancel: no dialog, nothing read";
    EXPECT_EQ(values.workValues[9], 2500);

    const std::string file = Path("file.prm");
    Spit(file, WriteParamFileText(values, table));
    view.openAnswer = file;
    ASSERT_TRUE(files.RdParamFileClick());  // OK to the question
    EXPECT_EQ(view.boxes.size(), 2u);
    EXPECT_TRUE(grid.Row(9).unsent) << "a value from a file is not on the sensor";
}

TEST_F(ParamFileCommandsTest, DirectoriesAndFifosAreRefusedWithoutBlocking) {
    const std::string fifo = Path("pipe.prm");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {dir, fifo}) {
        view.errors.clear();
        view.openAnswer = path;
        EXPECT_FALSE(files.RdParamFileClick());
        ASSERT_EQ(view.errors.size(), 1u);
        EXPECT_NE(view.errors[0].find("'" + path + "'"), std::string::npos) << view.errors[0];
    }
}

}  // namespace
}  // namespace veska::params
