#include "link/PortSelection.h"

#include <gtest/gtest.h>

#include "tests/link/FakeD2xx.h"

namespace veska::link {
namespace {

using testing::FakeD2xx;

struct MapCase {
    const char* label;
    const char* choice;
    uint8_t mode;
    const char* device;
};

class SensorPortMapTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(SensorPortMapTest, MapsThePortName) {
    const PortChoice c = MapSensorPort(GetParam().choice);
    EXPECT_EQ(c.portMode, GetParam().mode);
    EXPECT_EQ(c.deviceName, GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, SensorPortMapTest,
    ::testing::Values(MapCase{"Com12", "\\\\.\\COM12", 0, "\\\\.\\COM12"},
                      MapCase{"Converter", "\\\\.\\USB", 1, "D2XX Recovery PID for XP"},
                      MapCase{"Adapter", "\\\\.\\USB_PELRIN", 1, "PELRIN Adapter"},
                      MapCase{"BareUsbIsAPath", "USB", 0, "USB"},
                      MapCase{"OtherName", "\\\\.\\USB2", 0, "\\\\.\\USB2"}),
    [](const auto& p) { return p.param.label; });

class BenchPortMapTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(BenchPortMapTest, MapsTheComboText) {
    const PortChoice c = MapBenchPort(GetParam().choice);
    EXPECT_EQ(c.portMode, GetParam().mode);
    EXPECT_EQ(c.deviceName, GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, BenchPortMapTest,
    ::testing::Values(MapCase{"Com2", "COM2", 0, "\\\\.\\COM2"},
                      MapCase{"Com32", "COM32", 0, "\\\\.\\COM32"},
                      MapCase{"Converter", "USB", 1, "D2XX Recovery PID for XP"},
                      MapCase{"AdapterNotForBench", "USB_PELRIN", 0, "\\\\.\\USB_PELRIN"}),
    [](const auto& p) { return p.param.label; });

TEST(SwitchAdapterLine, RaisesCbus3AndWaitsOneSecond) {
    FakeD2xx usb;
    platform::FakeClock clock;
    SwitchAdapterLine(&usb, clock, 1);
    EXPECT_EQ(usb.calls, (std::vector<std::string>{"OpenEx", "SetBitMode", "Close"}));
    EXPECT_EQ(usb.openExName, "PELRIN Adapter");
    EXPECT_EQ(usb.openExFlags, platform::FT_OPEN_BY_DESCRIPTION);
    EXPECT_EQ(usb.bitMask, 0x88);
    EXPECT_EQ(usb.bitMode, 0x20);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000}));
}

TEST(SwitchAdapterLine, LowersCbus3) {
    FakeD2xx usb;
    platform::FakeClock clock;
    SwitchAdapterLine(&usb, clock, 0);
    EXPECT_EQ(usb.bitMask, 0x80);
    EXPECT_EQ(usb.bitMode, 0x20);
    EXPECT_EQ(clock.sleeps, (std::vector<uint32_t>{1000}));
}

TEST(SwitchAdapterLine, AbsentAdapterReturnsAtOnce) {
    FakeD2xx usb;
    usb.adapterPresent = false;
    platform::FakeClock clock;
    SwitchAdapterLine(&usb, clock, 1);
    EXPECT_EQ(usb.calls, (std::vector<std::string>{"OpenEx"}));
    EXPECT_TRUE(clock.sleeps.empty());

    SwitchAdapterLine(nullptr, clock, 1);  // no USB backend at all
    EXPECT_TRUE(clock.sleeps.empty());
}

}  // namespace
}  // namespace veska::link
