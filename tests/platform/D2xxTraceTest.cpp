// The usb trace: one line per D2XX call with its bytes and result.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/D2xxTrace.h"
#include "platform/TraceLine.h"
#include "tests/driver/FakeBoardUsb.h"

namespace {

using veska::platform::FT_HANDLE;

TEST(D2xxTrace, EveryCallIsOneLineWithItsBytes) {
    veska::platform::FakeClock clock;
    veska::testing::FakeBoardUsb usb(clock);
    usb.serials = {"VOKT.042"};
    std::vector<std::pair<std::string, std::string>> lines;
    auto traced = veska::platform::MakeTracingD2xx(
        usb, "usb", [&](const std::string& n, const std::string& b) { lines.emplace_back(n, b); });

    uint32_t count = 0;
    char serial[64] = {};
    FT_HANDLE h = nullptr;
    const uint8_t command[] = {0xE1, 0xD1};
    uint32_t written = 0;
    uint8_t in[4] = {};
    uint32_t got = 0;
    ASSERT_EQ(traced->ListDevices(&count, nullptr, veska::platform::FT_LIST_NUMBER_ONLY), 0u);
    ASSERT_EQ(traced->ListDevices(reinterpret_cast<void*>(uintptr_t{0}), serial, 0x40000001u), 0u);
    ASSERT_EQ(traced->Open(0, &h), 0u);
    ASSERT_EQ(traced->Write(h, command, 2, &written), 0u);
    usb.rx = {0x11, 0x22};
    ASSERT_EQ(traced->Read(h, in, 4, &got), 0u);
    usb.Fail("Purge", 1);
    EXPECT_EQ(traced->Purge(h, 1), veska::platform::FT_IO_ERROR);

    const std::vector<std::string> expected = {
        "FT_ListDevices(number only) -> FT_OK, 1 devices",
        "FT_ListDevices(0, 0x40000001) -> FT_OK, \"VOKT.042\"",
        "FT_Open(0) -> FT_OK, h=HANDLE",
        "FT_Write(h=HANDLE, 2) >> E1 D1 -> FT_OK, 2 written",
        "FT_Read(h=HANDLE, 4) -> FT_OK, 2 read << 11 22",
        "FT_Purge(h=HANDLE, 1) -> FT_IO_ERROR",
    };
    ASSERT_EQ(lines.size(), expected.size());
    char handle[32];
    std::snprintf(handle, sizeof handle, "%#llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(h)));
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string want = expected[i];
        if (const size_t at = want.find("HANDLE"); at != std::string::npos)
            want.replace(at, 6, handle);
        EXPECT_EQ(lines[i].first, "usb");
        EXPECT_EQ(lines[i].second, want);
    }
}

TEST(D2xxTrace, LongTransfersAreCut) {
    const std::vector<uint8_t> bytes(600, 0xAB);
    const std::string text = veska::platform::HexBytes(bytes.data(), bytes.size());
    EXPECT_EQ(text.size(), 512u * 3 + std::string(" ... (+88)").size());
    EXPECT_EQ(text.substr(text.size() - 10), " ... (+88)");
    EXPECT_EQ(veska::platform::HexBytes(nullptr, 5), "");
}

TEST(D2xxTrace, TheSwitchSelectsUsbByName) {
    EXPECT_TRUE(veska::platform::TraceSelects("usb", "usb"));
    EXPECT_TRUE(veska::platform::TraceSelects("sensor, usb", "usb"));
    EXPECT_TRUE(veska::platform::TraceSelects("all", "usb"));
    EXPECT_FALSE(veska::platform::TraceSelects("usbx", "usb"));
    EXPECT_FALSE(veska::platform::TraceSelects(nullptr, "usb"));
}

}  // namespace
