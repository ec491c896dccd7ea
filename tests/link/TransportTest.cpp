#include "link/Transport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "link/D2xxTransport.h"
#include "link/Interface.h"
#include "link/SerialTransport.h"
#include "tests/link/FakeD2xx.h"
#include "tests/support/PtyPeer.h"

namespace veska::link {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::FakeD2xx;
using testing::PtyPeer;

enum class Kind { kSerial, kD2xx, kNone };

struct ModeCase {
    const char* name;
    uint8_t mode;
    Kind kind;
};

class TransportTableTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(TransportTableTest, ThePortModePicksTheTransport) {
    const ModeCase& c = GetParam();
    const TransportRow* row = FindTransport(c.mode);
    if (c.kind == Kind::kNone) {
        EXPECT_EQ(row, nullptr);
        TInterface port;
        PortSettings s;
        s.portMode = c.mode;
        EXPECT_EQ(port.Open(s), kStatusNotOpen);
        EXPECT_FALSE(port.IsOpen());
        return;
    }
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->portMode, c.mode);
    FakeD2xx usb;
    const std::unique_ptr<Transport> transport = row->make(&usb);
    if (c.kind == Kind::kSerial) {
        EXPECT_NE(dynamic_cast<SerialTransport*>(transport.get()), nullptr);
    } else {
        EXPECT_NE(dynamic_cast<D2xxTransport*>(transport.get()), nullptr);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, TransportTableTest,
                         ::testing::Values(ModeCase{"Serial", 0, Kind::kSerial},
                                           ModeCase{"D2xx", 1, Kind::kD2xx},
                                           ModeCase{"Two", 2, Kind::kNone},
                                           ModeCase{"Seven", 7, Kind::kNone},
                                           ModeCase{"Max", 255, Kind::kNone}),
                         [](const auto& p) { return p.param.name; });

TEST(D2xxTransportTest, UsesTheBackendItWasMadeWith) {
    FakeD2xx usb;
    const std::unique_ptr<Transport> transport = FindTransport(1)->make(&usb);
    PortSettings s;
    s.portMode = 1;
    s.deviceName = "D2XX Recovery PID for XP";
    platform::Dcb dcb;
    platform::CommTimeouts timeouts;
    ASSERT_TRUE(transport->Open(s, dcb, timeouts));
    EXPECT_EQ(transport->DevicePath(), "D2XX Recovery PID for XP");
    usb.input = {0xA1, 0xA2};
    Bytes got(2);
    uint32_t n = 0;
    EXPECT_TRUE(transport->Read(got.data(), 2, n));
    EXPECT_EQ(got, (Bytes{0xA1, 0xA2}));
    transport->Close();
    transport->Close();  // the handle is released once
    EXPECT_EQ(std::count(usb.calls.begin(), usb.calls.end(), "W32_CloseHandle"), 1);
    EXPECT_FALSE(transport->Read(got.data(), 2, n));
}

// The serial transport's receive queue over a real pseudo-terminal.
class SerialReadAheadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        PortSettings s;
        s.deviceName = peer.SlavePath();
        s.readInterval = 50;
        s.readConstant = 50;
        ASSERT_TRUE(transport.Open(s, dcb, timeouts));
    }

    Bytes Read(uint32_t count) {
        Bytes out(count);
        uint32_t got = 0;
        EXPECT_TRUE(transport.Read(out.data(), count, got));
        out.resize(got);
        return out;
    }

    PtyPeer peer;
    SerialTransport transport;
    platform::Dcb dcb;
    platform::CommTimeouts timeouts;
};

TEST_F(SerialReadAheadTest, BytesOfOneChunkAreHandedOutExactlyAcrossReads) {
    peer.Send({0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8A});
    EXPECT_EQ(Read(3), (Bytes{0x81, 0x82, 0x83}));
    EXPECT_EQ(Read(3), (Bytes{0x84, 0x85, 0x86}));
    EXPECT_EQ(Read(4), (Bytes{0x87, 0x88, 0x89, 0x8A}));
    EXPECT_EQ(transport.ReadAheadBytes(), 0u);
}

TEST_F(SerialReadAheadTest, AReceivePurgeDropsTheBytesReadAhead) {
    peer.Send({1, 2, 3, 4, 5, 6, 7, 8});
    ASSERT_EQ(Read(2), (Bytes{1, 2}));
    transport.Purge(platform::kPurgeRxClear);
    EXPECT_EQ(transport.ReadAheadBytes(), 0u);
    peer.Send({9});
    EXPECT_EQ(Read(1), Bytes{9});
}

TEST_F(SerialReadAheadTest, APendingWakeKeepsTheQueueUntilTheNextWrite) {
    peer.Send({1, 2, 3, 4});
    ASSERT_EQ(Read(1), Bytes{1});
    const size_t queued = transport.ReadAheadBytes();
    transport.Wake();
    EXPECT_EQ(Read(1), Bytes{});  // woken: nothing handed out
    EXPECT_EQ(transport.ReadAheadBytes(), queued);
    uint32_t written = 0;
    const uint8_t request = 0x01;
    ASSERT_TRUE(transport.Write(&request, 1, written));
    EXPECT_EQ(Read(3), (Bytes{2, 3, 4}));
}

// Through TInterface: the purge before each write also reaches the bytes read ahead, so a
// reply never starts with the tail of an earlier one.
TEST(InterfaceReadAheadTest, WriteDropsTheUnreadTailOfAnEarlierReply) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    TInterface port;
    PortSettings s;
    s.deviceName = peer.SlavePath();
    s.readInterval = 50;
    s.readConstant = 50;
    ASSERT_EQ(port.Open(s), kStatusOk);

    Bytes first{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
    peer.ReplyAfter(2, first);
    Bytes request{0x01, 0x81};
    ASSERT_EQ(port.Write({request.data(), 2, nullptr}), kStatusOk);
    Bytes got(2);
    ASSERT_EQ(port.Read({got.data(), 2, nullptr}), kStatusOk);  // four bytes stay unread
    ASSERT_EQ(got, (Bytes{0xA1, 0xA2}));

    peer.ReplyAfter(2, {0xB1, 0xB2});
    ASSERT_EQ(port.Write({request.data(), 2, nullptr}), kStatusOk);
    ASSERT_EQ(port.Read({got.data(), 2, nullptr}), kStatusOk);
    EXPECT_EQ(got, (Bytes{0xB1, 0xB2}));
}

}  // namespace
}  // namespace veska::link
