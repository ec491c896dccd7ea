// Transfer operations against the simulated sensor over a real pseudo-terminal. The host's
// protocol waits run on a fake clock; the exchanges and the port's read time-outs are real.
#include "params/ParamTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "link/Status.h"
#include "params/SensorPortOpen.h"
#include "params/SensorSet.h"
#include "platform/SerialPort.h"
#include "sim/PtyLink.h"
#include "sim/SensorDevice.h"
#include "sim/SensorLine.h"
#include "sim/SimUsbBackend.h"
#include "sim/World.h"
#include "tests/params/FakeParamView.h"
#include "tests/params/TestTexts.h"
#include "tests/support/PtyPeer.h"

namespace veska::params {
namespace {

using test::FakeParamView;

constexpr char CR = '\r';

lang::TextTable MessageTexts() {
    lang::TextTable texts = test::TestTexts();
    for (int key = 0; key < lang::TextTable::Count(lang::Section::Message); ++key) {
        texts.Set(lang::Section::Message, key, "M" + std::to_string(key));
    }
    return texts;
}

/// The host's clock: the short settle waits of the protocol (5 ms after a write) really pass,
/// since the simulated sensor needs them as a real one does; the long ones (1000 ms store,
/// 100 ms after a baud change) are only recorded.
class TestClock final : public platform::Clock {
  public:
    void Sleep(uint32_t ms) override {
        sleeps.push_back(ms);
        if (ms <= kRealUpToMs) platform::SystemClock().Sleep(ms);
        now += ms;
    }
    uint32_t TickCount() override { return now; }

    static constexpr uint32_t kRealUpToMs = 10;
    std::vector<uint32_t> sleeps;  ///< [ms]
    uint32_t now = 0;              ///< [ms]
};

/// Waits for the simulated sensor to have taken the bytes sent: at once as a rule, up to 10 s
/// on a loaded machine, whose scheduler may hold the pty's reader back.
template <typename Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 2000 && !condition(); ++i) platform::SystemClock().Sleep(5);
    return condition();
}

sim::SensorOptions ExactSensor() {
    sim::SensorOptions options;
    options.noise = 0.0;
    return options;
}

/// The program's sensor session with its menu actions, as the main window wires it.
struct Host {
    explicit Host(const std::string& portName) {
        session.SetView(view);
        conn.portName = portName;
    }

    ParamTransfer& Transfer() {
        if (!transfer) {
            transfer = std::make_unique<ParamTransfer>(session, [this] { ++factoryFiles; });
        }
        return *transfer;
    }
    bool Open() { return session.OpenPort(); }

    lang::TextTable texts = MessageTexts();
    TestClock clock;
    FakeParamView view;
    SensorSession session{texts, clock};
    link::TMORLAInterface& sensor = session.sensor;
    params::ConnectionState& conn = session.conn;
    ParamTable& table = session.table;
    ValueStores& values = session.values;
    ParamGrid& grid = session.grid;
    int factoryFiles = 0;
    std::unique_ptr<ParamTransfer> transfer;
};

class ParamTransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(pty.Start(&error)) << error;
        host = std::make_unique<Host>(pty.SlavePath());
        ASSERT_TRUE(host->Open());
    }
    void TearDown() override { host.reset(); }

    ParamTransfer& T() { return host->Transfer(); }
    SensorSession& S() { return host->session; }
    ValueStores& V() { return host->values; }
    FakeParamView& View() { return host->view; }
    /// Rows 0..36 read and taken over as after a connect.
    void Connect() {
        ASSERT_TRUE(S().FetchAllParameters());
        S().CopySensorToWork(kParamCount);
        S().RebuildGrid();
        View().boxes.clear();
        View().progress.clear();
    }
    std::string Name(int i) const { return host->table[i].name; }
    std::string Line(int i) const {
        return std::string(1, CR) + "'" + Name(i) + "': M10" +
               std::to_string(host->values.workValues[i]) + ", M11" +
               std::to_string(host->values.sensorValues[i]) + ".";
    }

    sim::World world;
    sim::SensorDevice device{world, ExactSensor()};
    sim::SensorLine line{device};
    sim::PtyLink pty{line};
    std::unique_ptr<Host> host;
};

TEST_F(ParamTransferTest, SendParameterWritesHighAddressFirstAndRecordsTheStatus) {
    V().workValues[9] = 0x1234;
    S().SendParameter(9);
    EXPECT_TRUE(Eventually([&] { return device.Param16(8) == 0x1234; }));
    const auto requests = device.RecentRequests();
    ASSERT_GE(requests.size(), 2u);
    EXPECT_EQ(requests[requests.size() - 2].data, (std::vector<uint8_t>{9, 0x12}));
    EXPECT_EQ(requests.back().data, (std::vector<uint8_t>{8, 0x34}));
    EXPECT_EQ(host->clock.sleeps.back(), 5u);
    EXPECT_EQ(host->conn.linkStatus.load(), 0);
    EXPECT_EQ(host->conn.answerStatus.load(), 0);
}

TEST_F(ParamTransferTest, NegativeTwoByteValueReadsBackUnsigned) {
    V().workValues[35] = -5;
    S().SendParameter(35);
    ASSERT_TRUE(S().FetchParameter(35));
    EXPECT_EQ(V().sensorValues[35], 65531);
}

TEST_F(ParamTransferTest, FetchAllReadsEveryGridRowAndMovesTheBar) {
    device.SetParam16(0x08, 777);
    device.SetParam(0x02, 0x45);
    ASSERT_TRUE(S().FetchAllParameters());
    for (int i = 0; i < kGridParamCount; ++i) {
        const ParamDescriptor& row = host->table[i];
        uint32_t expected = 0;
        for (int b = row.size - 1; b >= 0; --b) {
            expected = expected << 8 | device.Param(static_cast<uint8_t>(row.address + b));
        }
        EXPECT_EQ(static_cast<uint32_t>(V().sensorValues[i]), expected) << "row " << i;
    }
    EXPECT_EQ(V().sensorValues[9], 777);
    for (int i : {4, 5, 6, 8, 21}) EXPECT_EQ(V().sensorValues[i], 0x45);
    ASSERT_EQ(View().progress.size(), 37u);
    EXPECT_EQ(View().progress.back(), std::make_pair(36, 36));
    EXPECT_EQ(V().workValues[9], 0) << "fetching leaves the working values alone";
}

TEST_F(ParamTransferTest, SendAllSendsEveryRowDownToRowZero) {
    Connect();
    V().workValues[9] = 4321;
    V().workValues[0] = 0;
    V().workValues[27] = 7;
    EXPECT_EQ(S().SendAllParameters(), 0);
    EXPECT_TRUE(Eventually([&] { return device.Param16(0x08) == 4321; }));
    EXPECT_EQ(device.Param(0x11), 7);
    // Row 0 goes last; the simulated sensor may take it a moment after the call returned.
    EXPECT_TRUE(Eventually([&] {
        return device.RecentRequests().back().data == std::vector<uint8_t>{0, 0};
    }));
    ASSERT_EQ(View().progress.size(), 37u);
    EXPECT_EQ(View().progress[0], std::make_pair(36, 1));
    EXPECT_EQ(View().progress.back(), std::make_pair(36, 37));
}

TEST_F(ParamTransferTest, SendAllGoesOnThroughFailuresAndCountsThem) {
    Connect();
    (void)host->sensor.ClosePort();
    V().workValues[0] = 1;
    device.SetParam(0x00, 0);
    // Rows 36..2 fail on the closed port; the baud-rate row re-opens it, so 1 and 0 go out.
    EXPECT_EQ(S().SendAllParameters(), 35);
    EXPECT_EQ(S().FirstSendFailure(), link::kStatusNotOpen);
    EXPECT_EQ(S().LastFailedParam(), 36);
    EXPECT_TRUE(Eventually([&] { return device.Param(0x00) == 1; }));
    EXPECT_EQ(View().progress.size(), 37u);
    EXPECT_EQ(View().progress.back(), std::make_pair(36, 37));
}

TEST_F(ParamTransferTest, BaudRateSendReopensThePortAndTheSensorFollows) {
    struct Case {
        int32_t code;
        uint32_t baud;
        int item;
    };
    for (const Case& c : {Case{128, 921600, 10}, Case{48, 115200, 7}, Case{384, 921600, 10}}) {
        V().workValues[2] = c.code;
        S().SendParameter(2);
        EXPECT_EQ(host->conn.baudRate, c.baud) << c.code;
        EXPECT_EQ(host->sensor.Port().Settings().baudRate, c.baud) << c.code;
        EXPECT_EQ(device.LineBaud(), c.baud) << c.code;
        ASSERT_FALSE(View().baudItems.empty());
        EXPECT_EQ(View().baudItems.back(), c.item) << c.code;
        EXPECT_EQ(host->clock.sleeps.back(), 100u);
        EXPECT_TRUE(host->sensor.IsOpen());
        EXPECT_TRUE(S().FetchParameter(9)) << "the link works at the new rate";
    }
}

TEST_F(ParamTransferTest, ValuesTheRowMayNotHoldAreNeverSent) {
    const uint32_t baud = host->conn.baudRate;
    V().workValues[2] = 3;  // 7200 bit/s: no rate of the list
    S().SendParameter(2);
    EXPECT_EQ(S().LastSendStatus(), link::kStatusBadRequest);
    EXPECT_EQ(host->conn.baudRate, baud);
    EXPECT_TRUE(View().baudItems.empty());
    V().workValues[3] = -1;  // would reach the sensor as 255
    S().SendParameter(3);
    EXPECT_EQ(S().LastSendStatus(), link::kStatusBadRequest);
    EXPECT_EQ(host->conn.netAddress, 1);
    EXPECT_TRUE(View().addressItems.empty());
    EXPECT_EQ(device.NetAddress(), 1);
}

TEST_F(ParamTransferTest, NetAddressSendMovesTheHostToTheNewAddress) {
    V().workValues[3] = 5;
    S().SendParameter(3);
    EXPECT_EQ(host->conn.netAddress, 5);
    ASSERT_EQ(View().addressItems.size(), 1u);
    EXPECT_EQ(View().addressItems[0], 4);
    // WriteParam reads no reply: the sensor takes the write when its line end gets to it.
    EXPECT_TRUE(Eventually([&] { return device.NetAddress() == 5; }));
    EXPECT_TRUE(S().FetchParameter(9));
}

TEST_F(ParamTransferTest, IdentityRowsUpdateLabelsAndTheHostCopies) {
    V().workValues[40] = 33;
    V().workValues[41] = 4321;
    V().workValues[42] = 120;
    V().workValues[43] = 0xFFFF;  // the host's copy is signed: -1
    for (int i : {40, 41, 42, 43}) S().SendParameter(i);
    EXPECT_EQ(View().labels[IdentityLabel::Model], "33");
    EXPECT_EQ(View().labels[IdentityLabel::SerialNumber], "4321");
    EXPECT_EQ(View().labels[IdentityLabel::Base], "120 mm");
    EXPECT_EQ(host->conn.baseDistance, 120);
    EXPECT_EQ(host->conn.measuringRange, -1);
    EXPECT_EQ(View().labels[IdentityLabel::Range], "-1 mm");
}

TEST_F(ParamTransferTest, SilentParameterStopsFetchAllAfterThreeAttempts) {
    Connect();
    device.SetParam(0x00, 0);
    device.SetParam(0x01, 1);
    V().sensorValues[7] = 99;
    V().sensorValues[20] = 98;
    const auto before = V().workValues;
    device.MuteParamAddress(0x06);  // row 7, Number of Averaged Values
    device.ResetCounters();
    EXPECT_FALSE(S().FetchAllParameters());
    EXPECT_EQ(device.Counters().paramReads[0x06], 3u);
    EXPECT_EQ(device.Counters().paramReads[0x08], 0u) << "nothing after the silent row";
    EXPECT_EQ(View().progress.back(), std::make_pair(36, 7));
    EXPECT_EQ(S().LastFailedParam(), 7);
    EXPECT_EQ(V().sensorValues[1], 1) << "rows read before the failure keep the new values";
    EXPECT_EQ(V().sensorValues[7], 99);
    EXPECT_EQ(V().sensorValues[20], 98);
    EXPECT_EQ(V().workValues, before);
    EXPECT_EQ(host->conn.linkStatus.load(), link::kStatusShortRead);
    EXPECT_EQ(host->conn.answerStatus.load(), link::kStatusShortRead);
}

TEST_F(ParamTransferTest, ReadMenuTakesTheValueOverOrChangesNothing) {
    Connect();
    device.SetParam16(0x08, 2500);
    host->grid.SetCurrentParam(9);
    const int refreshes = View().refreshes;
    T().PopupMenuReadClick();
    EXPECT_EQ(V().workValues[9], 2500);
    EXPECT_EQ(host->grid.CellText(9), "2500");
    EXPECT_EQ(View().refreshes, refreshes + 1);

    device.SetParam16(0x08, 3000);
    device.SetSilent(true);
    T().PopupMenuReadClick();
    EXPECT_EQ(V().workValues[9], 2500);
    EXPECT_EQ(View().refreshes, refreshes + 1);
    EXPECT_TRUE(View().boxes.empty());
}

TEST_F(ParamTransferTest, CompareShowsOkOrTheDifference) {
    Connect();
    host->grid.SetCurrentParam(9);
    T().PopupMenuCompareClick();
    ASSERT_EQ(View().boxes.size(), 1u);
    EXPECT_EQ(View().boxes[0].text, "Ok!");
    EXPECT_EQ(View().boxes[0].caption, "M2");
    EXPECT_EQ(View().boxes[0].flags, 48);

    V().workValues[9] = 1234;
    T().PopupMenuCompareClick();
    ASSERT_EQ(View().boxes.size(), 2u);
    EXPECT_EQ(View().boxes[1].text, "M8 'Sampling Period'M9" + Line(9));
    EXPECT_EQ(View().boxes[1].caption, "M2");
    EXPECT_EQ(View().boxes[1].flags, 48);
}

TEST_F(ParamTransferTest, CompareAllListsEachDifferenceOnItsOwnLine) {
    Connect();
    T().PopupMenuCompareAllClick();
    ASSERT_EQ(View().boxes.size(), 1u);
    EXPECT_EQ(View().boxes[0].text, "Ok!");
    EXPECT_EQ(View().boxes[0].caption, "M2");  // one caption for every box
    EXPECT_EQ(View().boxes[0].flags, 48);

    V().workValues[9] = 1234;
    V().workValues[35] = -5;
    T().PopupMenuCompareAllClick();
    ASSERT_EQ(View().boxes.size(), 2u);
    EXPECT_EQ(View().boxes[1].text, "59" + Line(9) + Line(35));  // PROGRAM DifferAll
    EXPECT_EQ(View().boxes[1].caption, "M2");
    EXPECT_EQ(View().boxes[1].flags, 48);
}

TEST_F(ParamTransferTest, CompareOnAFailedLinkReportsTheFailureNotAgreement) {
    Connect();
    host->conn.Record(link::kStatusShortRead);  // an earlier exchange failed
    host->grid.SetCurrentParam(9);
    T().PopupMenuCompareClick();
    ASSERT_EQ(View().boxes.size(), 1u);
    EXPECT_EQ(View().boxes[0].text, "Ok!") << "a link that works again is compared for real";

    V().workValues[9] = 1;  // would differ
    device.SetSilent(true);
    T().PopupMenuCompareClick();
    T().PopupMenuCompareAllClick();
    ASSERT_EQ(View().boxes.size(), 3u);
    const std::string status = "status 3 (" + std::string(link::StatusMeaning(3)) + ").";
    EXPECT_EQ(View().boxes[1].text, std::string("M7") + CR + "'Sampling Period': " + status);
    EXPECT_EQ(View().boxes[1].caption, "M2");
    EXPECT_EQ(View().boxes[1].flags, 16);
    EXPECT_EQ(View().boxes[2].text, std::string("M7") + CR + "'Sensor On/Off': " + status);
    EXPECT_EQ(View().boxes[2].caption, "M2");
    EXPECT_EQ(View().boxes[2].flags, 16);
}

TEST_F(ParamTransferTest, MarksFollowEditsLoadsAndComparisons) {
    Connect();
    EXPECT_TRUE(UnsentRows(host->table, V()).empty());
    V().workValues[9] = 1234;  // as an edit leaves it
    S().RebuildGrid();
    EXPECT_EQ(UnsentRows(host->table, V()), std::vector<int>{9});
    EXPECT_TRUE(host->grid.Row(9).unsent);

    host->grid.SetCurrentParam(9);
    T().PopupMenuLoadClick();
    EXPECT_FALSE(host->grid.Row(9).unsent) << "sent: on the sensor now";

    // The sensor changed behind the host's back: Compare All reads it and marks the row.
    device.SetParam16(0x0A, 777);  // row 10, Max Integration Time
    EXPECT_FALSE(host->grid.Row(10).unsent);
    T().PopupMenuCompareAllClick();
    EXPECT_TRUE(host->grid.Row(10).unsent);
    EXPECT_EQ(host->grid.Row(10).markNote, "Not on the sensor. On the sensor: 777");

    // A write that fails leaves the sensor's value unknown. (A write has no reply: one that
    // left the port whole counts as done.)
    (void)host->sensor.ClosePort();
    host->grid.SetCurrentParam(3);
    T().PopupMenuLoadClick();
    EXPECT_TRUE(host->grid.Row(3).unsent);
    EXPECT_EQ(host->grid.Row(3).markNote, "Not on the sensor. On the sensor: not known");
}

TEST_F(ParamTransferTest, ReadAllAndDefaultAskBeforeTheyDiscardUnsentEdits) {
    Connect();
    V().workValues[9] = 1234;
    S().RebuildGrid();
    const auto before = V().workValues;
    const uint32_t reads = device.Counters().requests[2];

    View().answers = {kIdCancel};
    T().PopupMenuReadAllClick();
    ASSERT_EQ(View().boxes.size(), 1u);
    EXPECT_EQ(View().boxes[0].flags, kMbOkCancelExclamation);
    EXPECT_EQ(View().boxes[0].caption, "M2");
    EXPECT_NE(View().boxes[0].text.find("'Sampling Period': 1234"), std::string::npos);
    EXPECT_NE(View().boxes[0].text.find("Read All"), std::string::npos);
    EXPECT_EQ(V().workValues, before) << "Cancel leaves everything as it is";
    EXPECT_EQ(device.Counters().requests[2], reads) << "nothing was read";
    EXPECT_TRUE(host->grid.Row(9).unsent);

    // Default: its own confirmation first, then the question about the edits.
    View().answers = {kIdOk, kIdCancel};
    T().PopupMenuDefaultClick();
    ASSERT_EQ(View().boxes.size(), 3u);
    EXPECT_EQ(View().boxes[1].text, "M14");
    EXPECT_NE(View().boxes[2].text.find("Default"), std::string::npos);
    EXPECT_EQ(device.Counters().requests[4], 0u) << "no store command";
    EXPECT_EQ(V().workValues, before);

    View().answers = {kIdOk};
    T().PopupMenuReadAllClick();
    EXPECT_EQ(View().boxes.size(), 4u);
    EXPECT_EQ(V().workValues[9], V().sensorValues[9]);
    EXPECT_FALSE(host->grid.Row(9).unsent);
    T().PopupMenuReadAllClick();  // nothing unsent: no question
    EXPECT_EQ(View().boxes.size(), 4u);
}

TEST_F(ParamTransferTest, WriteToFlashAsksFirstThenStoresAndRereads) {
    Connect();
    device.SetParam16(0x08, 4000);  // a working value the host has not seen yet
    View().answers = {kIdCancel};
    T().PopupMenuFLASHClick();
    EXPECT_EQ(device.Counters().requests[4], 0u);
    ASSERT_EQ(View().boxes.size(), 1u);
    EXPECT_EQ(View().boxes[0].text, "M13");
    EXPECT_EQ(View().boxes[0].caption, "M2");
    EXPECT_EQ(View().boxes[0].flags, 49);

    T().PopupMenuFLASHClick();
    EXPECT_EQ(device.FlashSet()[0x08], 4000 & 0xFF);
    ASSERT_EQ(View().boxes.size(), 3u);
    EXPECT_EQ(View().boxes[2].text, "M21");
    EXPECT_EQ(View().boxes[2].flags, 0);
    EXPECT_EQ(V().workValues[9], 4000);
    EXPECT_EQ(host->grid.CellText(9), "4000");
    const auto& sleeps = host->clock.sleeps;
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), 1000u), sleeps.end());
}

TEST_F(ParamTransferTest, DefaultRestoresAndTheHostFollowsTheDefaultLine) {
    Connect();
    V().workValues[3] = 9;
    S().SendParameter(3);
    device.SetParam16(0x08, 4000);
    View().answers = {kIdCancel};
    T().PopupMenuDefaultClick();
    EXPECT_EQ(device.Counters().requests[4], 0u);
    EXPECT_EQ(View().boxes.back().text, "M14");
    EXPECT_EQ(View().boxes.back().flags, 49);

    T().PopupMenuDefaultClick();
    EXPECT_EQ(host->conn.netAddress, 1);
    EXPECT_EQ(host->conn.baudRate, 115200u);
    EXPECT_EQ(View().baudItems.back(), 7);
    EXPECT_EQ(View().addressItems.back(), 0);
    EXPECT_EQ(V().workValues[9], device.Param16(0x08));
    EXPECT_NE(V().workValues[9], 4000);
    EXPECT_EQ(View().boxes.back().text, "M22");
    EXPECT_EQ(View().boxes.back().flags, 0);
    EXPECT_EQ(host->conn.answerStatus.load(), 0);
}

TEST_F(ParamTransferTest, FailedDefaultShowsTheStopBox) {
    Connect();
    device.SetSilent(true);
    T().PopupMenuDefaultClick();
    ASSERT_EQ(View().boxes.size(), 2u);
    EXPECT_EQ(View().boxes[1].text, "M5");
    EXPECT_EQ(View().boxes[1].flags, 16);
    EXPECT_NE(host->conn.answerStatus.load(), 0);
}

TEST_F(ParamTransferTest, WriteToFactoryRunsEveryStepInOrder) {
    Connect();
    View().answers = {kIdCancel};
    T().PopupMenuFactoryClick();
    EXPECT_EQ(device.Counters().requests[4], 0u);
    EXPECT_EQ(host->factoryFiles, 0);
    EXPECT_EQ(View().boxes.back().text, "M24");

    V().workValues[2] = 96;  // 230400: the factory set must still hold 115200
    V().workValues[9] = 555;
    S().SendParameter(9);
    T().PopupMenuFactoryClick();
    EXPECT_EQ(device.FactorySet()[0x04], 48);
    EXPECT_EQ(device.FactorySet()[0x08], 555 & 0xFF);
    EXPECT_EQ(V().workValues[2], 48);
    EXPECT_EQ(V().workValues[9], 555) << "defaults come from the new factory set";
    ASSERT_GE(View().boxes.size(), 3u);
    EXPECT_EQ(View().boxes[View().boxes.size() - 2].text, "M21");
    EXPECT_EQ(View().boxes.back().text, "M22");
    EXPECT_EQ(host->factoryFiles, 1);
}

TEST_F(ParamTransferTest, StoreFailureShowsTheStopBoxAndKeepsTheStatus) {
    device.SetSilent(true);
    T().StoreAsFactory();
    ASSERT_EQ(View().boxes.size(), 1u);
    EXPECT_EQ(View().boxes[0].text, "M3");
    EXPECT_EQ(View().boxes[0].flags, 16);
    EXPECT_EQ(host->conn.answerStatus.load(), link::kStatusShortRead);
}

/// One reply of data bytes as the sensor frames it, with reply counter c.
std::vector<uint8_t> Reply(std::vector<uint8_t> data, uint8_t c = 0) {
    std::vector<uint8_t> line;
    for (uint8_t d : data) {
        line.push_back(static_cast<uint8_t>(0x80 | c << 4 | (d & 0x0F)));
        line.push_back(static_cast<uint8_t>(0x80 | c << 4 | d >> 4));
    }
    return line;
}

TEST(ParamTransferWrongEcho, WriteToFlashShowsTheFailureAndStillRereads) {
    testing::PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    Host host(peer.SlavePath());
    ASSERT_TRUE(host.Open());
    // StoreParams 0xAA answered with 0x69; then every ReadParam (4 request bytes) of the
    // re-read answered with 7.
    peer.ReplyAfter(4, Reply({0x69}));
    int reads = 0;
    for (int i = 0; i < kGridParamCount; ++i) reads += host.table[i].size;
    for (int k = 0; k < reads; ++k) peer.ReplyAfter(4, Reply({7}));

    host.Transfer().PopupMenuFLASHClick();
    ASSERT_EQ(host.view.boxes.size(), 2u);
    EXPECT_EQ(host.view.boxes[1].text, "M3");
    EXPECT_EQ(host.view.boxes[1].flags, 16);
    EXPECT_EQ(host.values.workValues[0], 7);
    EXPECT_EQ(host.values.workValues[9], 7 | 7 << 8);
    EXPECT_EQ(host.view.refreshes, 1);
    EXPECT_EQ(host.grid.CellText(9), "1799");
}

TEST(ParamTransferWrongEcho, FailedRereadStillRebuildsFromTheWorkingValues) {
    testing::PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    Host host(peer.SlavePath());
    ASSERT_TRUE(host.Open());
    host.values.workValues[9] = 321;
    peer.ReplyAfter(4, Reply({0xAA}));  // the store succeeds, the re-read gets no answer
    host.Transfer().PopupMenuFLASHClick();
    EXPECT_EQ(host.view.boxes.back().text, "M21");
    EXPECT_EQ(host.values.workValues[9], 321);
    EXPECT_EQ(host.grid.CellText(9), "321");
    EXPECT_EQ(host.view.refreshes, 1);
}

TEST(SensorPortOpen, AFileThatIsNoSerialDeviceIsNamedSo) {
    Host host("/dev/null");
    EXPECT_FALSE(host.Open());
    ASSERT_EQ(host.view.boxes.size(), 1u);
    EXPECT_EQ(host.view.boxes[0].text,
              std::string("M0 - /dev/null.") + CR + "M1" + CR + "(/dev/null: not a serial device)");
}

TEST(SensorPortOpen, FailureShowsThePortNameWithItsPrefix) {
    Host host("\\\\.\\COM99");
    platform::SetPortDirectory("/nonexistent-port-dir");
    EXPECT_FALSE(host.Open());
    platform::SetPortDirectory("");
    ASSERT_EQ(host.view.boxes.size(), 1u);
    // After the language texts: the device tried and the system's reason.
    EXPECT_EQ(host.view.boxes[0].text, std::string("M0 - \\\\.\\COM99.") + CR + "M1" + CR +
                                           "(/dev/ttyS98: No such file or directory)");
    EXPECT_EQ(host.view.boxes[0].caption, "M2");
    EXPECT_EQ(host.view.boxes[0].flags, 48);
    EXPECT_EQ(host.conn.linkStatus.load(), link::kStatusNotOpen);
}

/// The same session through the simulated USB converter, whose transmit buffer drains at
/// the line rate: a purge before a write must not throw away what is still to be sent.
class ParamTransferUsbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        converter = &usb.AddConverter(device);
        platform::SetUsbBackend(&usb);
    }
    void TearDown() override {
        host.reset();
        platform::SetUsbBackend(nullptr);
    }

    sim::World world;
    sim::SensorDevice device{world, ExactSensor()};
    sim::SimUsbBackend usb;
    sim::SimSerialUsbDevice* converter = nullptr;
    std::unique_ptr<Host> host;
};

TEST_F(ParamTransferUsbTest, LoadAllAt2400BaudArrivesWhole) {
    constexpr int32_t kCode2400 = 1;
    host = std::make_unique<Host>("\\\\.\\USB");
    device.SetParam(host->table[kRowBaudRate].address, kCode2400);
    host->conn.baudRate = 2400;
    ASSERT_TRUE(host->Open());
    ASSERT_TRUE(host->session.FetchAllParameters());
    host->session.CopySensorToWork(kParamCount);
    host->values.workValues[9] = 4321;        // two bytes
    host->values.workValues[19] = 0x1234567;  // four bytes
    host->values.workValues[27] = 7;
    EXPECT_EQ(host->session.SendAllParameters(), 0);
    // The chip takes the writes at once and sends them at 2400 bit/s (about 4.6 ms a byte).
    for (int i = 0; i < 2000 && converter->TransmitPending(); ++i) platform::SystemClock().Sleep(5);
    EXPECT_FALSE(converter->TransmitPending());
    EXPECT_EQ(device.Param16(host->table[9].address), 4321);
    EXPECT_EQ(device.Param(host->table[27].address), 7);
    uint32_t wide = 0;
    for (int b = 3; b >= 0; --b) {
        wide = wide << 8 | device.Param(static_cast<uint8_t>(host->table[19].address + b));
    }
    EXPECT_EQ(wide, 0x1234567u);
    EXPECT_EQ(converter->MismatchedBytes(), 0u);
}

TEST_F(ParamTransferUsbTest, AConverterAtAnotherRateIsNotHeard) {
    host = std::make_unique<Host>("\\\\.\\USB");
    host->conn.baudRate = 9600;  // the sensor runs at 115200
    ASSERT_TRUE(host->Open());
    EXPECT_FALSE(host->session.FetchParameter(9));
    EXPECT_GT(converter->MismatchedBytes(), 0u);
}

}  // namespace
}  // namespace veska::params
