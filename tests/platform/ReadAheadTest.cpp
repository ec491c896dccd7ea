#include "platform/ReadAhead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <numeric>
#include <vector>

#include "platform/Clock.h"

namespace veska::platform {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;

constexpr uint32_t kMaxDword = 0xFFFFFFFFu;
constexpr uint32_t kNever = kMaxDword;

/// A device on a fake clock: bytes come at scripted times [ms], a wake-up may come at a
/// scripted time, and a wait moves the clock to the next event or to its end. Counts the
/// calls a real device would make system calls for.
class ScriptedSource final : public ByteSource {
  public:
    struct Arrival {
        uint32_t atMs;
        Bytes bytes;
    };

    void Add(uint32_t atMs, Bytes bytes) { arrivals.push_back({atMs, std::move(bytes)}); }

    TimePoint Now() override { return TimePoint{} + milliseconds(clock.TickCount()); }

    Ready Wait(Duration timeout) override {
        ++waits;
        if (failWaits) return Ready::kFailed;
        if (WakePending()) return Ready::kWoken;
        if (!Held().empty() || hungUp) return Ready::kInput;
        uint32_t next = std::min(NextArrival(), wakeAtMs);
        if (timeout != ReadTimeoutRule::kNoLimit) {
            const auto ms = std::chrono::ceil<milliseconds>(timeout).count();
            next = std::min<uint64_t>(next, clock.TickCount() + static_cast<uint64_t>(ms));
        }
        if (next == kNever) return Ready::kFailed;  // would wait forever: a broken script
        clock.Sleep(next - clock.TickCount());
        if (WakePending()) return Ready::kWoken;
        return Held().empty() ? Ready::kTimeout : Ready::kInput;
    }

    long ReadSome(uint8_t* out, size_t max) override {
        ++reads;
        if (hungUp) return -1;
        Bytes held = Held();
        const size_t n = std::min(max, held.size());
        std::copy_n(held.begin(), n, out);
        taken += n;
        return static_cast<long>(n);
    }

    bool WakePending() override { return clock.TickCount() >= wakeAtMs; }

    FakeClock clock;
    std::vector<Arrival> arrivals;  ///< in time order
    uint32_t wakeAtMs = kNever;
    bool hungUp = false;
    bool failWaits = false;
    int waits = 0;
    int reads = 0;

  private:
    /// Bytes that have come and were not read yet.
    Bytes Held() const {
        Bytes all;
        for (const Arrival& a : arrivals) {
            if (a.atMs <= clock.now) all.insert(all.end(), a.bytes.begin(), a.bytes.end());
        }
        return Bytes(all.begin() + static_cast<long>(std::min(taken, all.size())), all.end());
    }
    uint32_t NextArrival() const {
        for (const Arrival& a : arrivals) {
            if (a.atMs > clock.now) return a.atMs;
        }
        return kNever;
    }
    size_t taken = 0;
};

struct Timeouts {
    uint32_t interval, multiplier, constant;  // [ms]
};

Bytes Read(ReadAhead& ahead, ScriptedSource& source, Timeouts t, uint32_t count,
           bool* ok = nullptr) {
    Bytes out(count, 0xEE);
    uint32_t got = 0;
    const bool result =
        ahead.Read(source, t.interval, t.multiplier, t.constant, out.data(), count, got);
    if (ok != nullptr) *ok = result;
    out.resize(got);
    return out;
}

Bytes Range(uint8_t first, uint8_t count) {
    Bytes b(count);
    std::iota(b.begin(), b.end(), first);
    return b;
}

constexpr Timeouts kSensor{500, 500, 50};

TEST(ReadAheadTest, OneDeviceReadServesTheFollowingReadsExactly) {
    ScriptedSource source;
    source.Add(0, Range(0, 10));
    ReadAhead ahead;
    EXPECT_EQ(Read(ahead, source, kSensor, 4), Range(0, 4));
    EXPECT_EQ(source.reads, 1);
    EXPECT_EQ(ahead.Queued(), 6u);
    EXPECT_EQ(Read(ahead, source, kSensor, 4), Range(4, 4));
    EXPECT_EQ(source.reads, 1);  // served from the queue: no wait, no read
    EXPECT_EQ(source.waits, 1);

    // The rest of the queue first, then what comes later; the surplus stays queued.
    source.Add(5, Range(10, 3));
    EXPECT_EQ(Read(ahead, source, kSensor, 4), Range(8, 4));
    EXPECT_EQ(source.clock.now, 5u);
    EXPECT_EQ(Read(ahead, source, kSensor, 1), Range(12, 1));
    EXPECT_EQ(ahead.Queued(), 0u);
    EXPECT_EQ(source.reads, 2);
}

TEST(ReadAheadTest, AReadTakesAtMostTheCapacityPerDeviceRead) {
    ScriptedSource source;
    source.Add(0, Range(0, 20));
    ReadAhead ahead(8);
    EXPECT_EQ(Read(ahead, source, kSensor, 20), Range(0, 20));
    EXPECT_EQ(source.reads, 3);
    EXPECT_EQ(Read(ahead, source, {0, 0, 10}, 1), Bytes{});  // nothing left anywhere
}

TEST(ReadAheadTest, ClearDropsTheQueuedBytes) {
    ScriptedSource source;
    source.Add(0, Range(0, 10));
    ReadAhead ahead;
    ASSERT_EQ(Read(ahead, source, kSensor, 2), Range(0, 2));
    ahead.Clear();
    EXPECT_EQ(ahead.Queued(), 0u);
    source.Add(100, {0x55});
    EXPECT_EQ(Read(ahead, source, kSensor, 1), Bytes{0x55});
}

struct RuleCase {
    const char* name;
    Timeouts timeouts;
    uint32_t count;
    uint8_t queued;                             ///< bytes in the queue when the read starts
    std::vector<ScriptedSource::Arrival> late;  ///< bytes that come during the read
    size_t expectedBytes;
    uint32_t expectedEndMs;
};

class ReadAheadRuleTest : public ::testing::TestWithParam<RuleCase> {};

// Queued bytes count as come at the start of the read, as bytes in a driver's queue do.
TEST_P(ReadAheadRuleTest, QueuedAndLateBytesFollowTheTimeoutRule) {
    const RuleCase& c = GetParam();
    ScriptedSource source;
    ReadAhead ahead;
    source.Add(0, Range(100, static_cast<uint8_t>(c.queued + 1)));
    ASSERT_EQ(Read(ahead, source, c.timeouts, 1).size(), 1u);  // fills the queue
    ASSERT_EQ(ahead.Queued(), c.queued);
    for (const auto& a : c.late) source.Add(a.atMs, a.bytes);

    bool ok = false;
    const Bytes got = Read(ahead, source, c.timeouts, c.count, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(got.size(), c.expectedBytes);
    EXPECT_EQ(source.clock.now, c.expectedEndMs);
    Bytes expected = Range(101, c.queued);
    for (const auto& a : c.late) expected.insert(expected.end(), a.bytes.begin(), a.bytes.end());
    expected.resize(c.expectedBytes);
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadAheadRuleTest,
    ::testing::Values(
        RuleCase{
            "LateBytesWithinTheInterval", {20, 20, 50}, 6, 2, {{15, {1, 2}}, {30, {3, 4}}}, 6, 30},
        RuleCase{"SilenceAfterQueuedBytesEndsAfterTheInterval", {20, 20, 50}, 6, 2, {}, 2, 20},
        RuleCase{"AGapLongerThanTheIntervalEndsTheRead",
                 {20, 20, 50},
                 6,
                 2,
                 {{15, {1}}, {40, {2}}},
                 3,
                 35},
        RuleCase{"TheTotalCutsASteadyTrickle",
                 {20, 5, 10},
                 6,
                 1,
                 {{15, {1}}, {30, {2}}, {45, {3}}},
                 3,
                 40},
        RuleCase{"EmptyQueueWaitsForTheFirstByteUpToTheTotal", {20, 20, 50}, 2, 0, {}, 0, 90},
        RuleCase{"FirstLateByteStartsTheInterval", {20, 20, 50}, 3, 0, {{60, {1}}}, 1, 80},
        RuleCase{"AvailableOnlyTakesWhatIsThere", {kMaxDword, 0, 0}, 6, 1, {{0, {1, 2}}}, 3, 0},
        RuleCase{"NoTimeoutsWaitForEveryByte", {0, 0, 0}, 4, 1, {{1000, {1, 2, 3}}}, 4, 1000}),
    [](const auto& p) { return p.param.name; });

TEST(ReadAheadTest, APendingWakeEndsTheReadWithNothingAndKeepsTheQueue) {
    ScriptedSource source;
    source.Add(0, Range(0, 6));
    ReadAhead ahead;
    ASSERT_EQ(Read(ahead, source, kSensor, 2), Range(0, 2));
    source.wakeAtMs = 0;
    const int readsBefore = source.reads;
    EXPECT_EQ(Read(ahead, source, kSensor, 2), Bytes{});
    EXPECT_EQ(ahead.Queued(), 4u);
    EXPECT_EQ(source.reads, readsBefore);
}

TEST(ReadAheadTest, AWakeDuringTheWaitHandsOverWhatHasCome) {
    ScriptedSource source;
    source.Add(0, Range(0, 3));
    source.Add(10, {7});
    ReadAhead ahead;
    ASSERT_EQ(Read(ahead, source, {0, 0, 0}, 2), Range(0, 2));
    source.wakeAtMs = 30;
    EXPECT_EQ(Read(ahead, source, {0, 0, 0}, 4), (Bytes{2, 7}));  // would wait forever
    EXPECT_EQ(source.clock.now, 30u);
}

TEST(ReadAheadTest, AFailingDeviceFailsTheReadAfterTheQueuedBytes) {
    ScriptedSource source;
    source.Add(0, Range(0, 3));
    ReadAhead ahead;
    ASSERT_EQ(Read(ahead, source, kSensor, 1), Range(0, 1));
    source.hungUp = true;
    bool ok = true;
    EXPECT_EQ(Read(ahead, source, kSensor, 4, &ok), Range(1, 2));
    EXPECT_FALSE(ok);

    source.hungUp = false;
    source.failWaits = true;
    EXPECT_EQ(Read(ahead, source, kSensor, 1, &ok), Bytes{});
    EXPECT_FALSE(ok);
}

TEST(ReadAheadTest, ZeroBytesSucceedAtOnce) {
    ScriptedSource source;
    ReadAhead ahead;
    bool ok = false;
    EXPECT_EQ(Read(ahead, source, {0, 0, 0}, 0, &ok), Bytes{});
    EXPECT_TRUE(ok);
    EXPECT_EQ(source.waits, 0);
}

}  // namespace
}  // namespace veska::platform
