#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "platform/D2xx.h"
#include "platform/Win32Comm.h"

// Without a converter attached (the normal case on a build machine) every call must fail
// cleanly with its status code.

namespace veska::platform {
namespace {

constexpr char kMissing[] = "VESKA converter that is not attached";

class LibFtdiBackendTest : public ::testing::Test {
  protected:
    void SetUp() override {
        backend_ = MakeLibFtdiBackend();
        if (!backend_) GTEST_SKIP() << "libftdi cannot start on this machine";
        uint32_t count = 0;
        ASSERT_EQ(backend_->ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        if (count != 0) GTEST_SKIP() << "an FTDI device is attached";
    }
    std::unique_ptr<D2xx> backend_;
};

TEST_F(LibFtdiBackendTest, OpeningAMissingConverterFails) {
    EXPECT_EQ(backend_->Name(), "libftdi");
    const uint32_t access = kGenericRead | kGenericWrite;
    EXPECT_EQ(backend_->W32_CreateFile(kMissing, access, 0, kOpenExisting,
                                       kFileAttributeNormal | FT_OPEN_BY_DESCRIPTION),
              kInvalidHandle);
    EXPECT_EQ(
        backend_->W32_CreateFile(kMissing, access, 0, kOpenExisting, FT_OPEN_BY_SERIAL_NUMBER),
        kInvalidHandle);
    EXPECT_EQ(backend_->W32_CreateFile(nullptr, access, 0, kOpenExisting, FT_OPEN_BY_DESCRIPTION),
              kInvalidHandle);

    FT_HANDLE h = kInvalidHandle;
    EXPECT_EQ(backend_->OpenEx(kMissing, FT_OPEN_BY_DESCRIPTION, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(backend_->OpenEx(kMissing, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(backend_->OpenEx(nullptr, FT_OPEN_BY_DESCRIPTION, &h), FT_INVALID_PARAMETER);
    EXPECT_EQ(backend_->OpenEx(kMissing, FT_OPEN_BY_DESCRIPTION, nullptr), FT_INVALID_PARAMETER);
    EXPECT_EQ(backend_->OpenEx(kMissing, 4, &h), FT_NOT_SUPPORTED);  // by location
    EXPECT_EQ(backend_->Open(0, &h), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(backend_->Open(-1, &h), FT_DEVICE_NOT_FOUND);
}

TEST_F(LibFtdiBackendTest, ListingFindsNothingAndChecksItsArguments) {
    char text[64] = "unchanged";
    const uint32_t byIndex = FT_LIST_BY_INDEX;
    EXPECT_EQ(backend_->ListDevices(nullptr, text, byIndex | FT_OPEN_BY_SERIAL_NUMBER),
              FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(backend_->ListDevices(reinterpret_cast<void*>(uintptr_t{3}), text,
                                    byIndex | FT_OPEN_BY_DESCRIPTION),
              FT_DEVICE_NOT_FOUND);
    EXPECT_STREQ(text, "unchanged");
    EXPECT_EQ(backend_->ListDevices(nullptr, nullptr, byIndex | FT_OPEN_BY_SERIAL_NUMBER),
              FT_INVALID_PARAMETER);
    EXPECT_EQ(backend_->ListDevices(nullptr, text, byIndex), FT_INVALID_PARAMETER);
    EXPECT_EQ(backend_->ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
    EXPECT_EQ(backend_->ListDevices(nullptr, nullptr, FT_LIST_ALL), FT_NOT_SUPPORTED);
}

TEST_F(LibFtdiBackendTest, CallsOnHandlesItNeverGaveOutFail) {
    for (FT_HANDLE h : {kInvalidHandle, static_cast<FT_HANDLE>(nullptr),
                        reinterpret_cast<FT_HANDLE>(uintptr_t{1})}) {
        uint8_t buffer[8] = {};
        uint32_t n = 5;
        Dcb dcb;
        CommTimeouts timeouts;
        EXPECT_FALSE(backend_->W32_CloseHandle(h));
        EXPECT_FALSE(backend_->W32_ReadFile(h, buffer, sizeof buffer, &n));
        EXPECT_EQ(n, 0u);
        EXPECT_FALSE(backend_->W32_WriteFile(h, buffer, sizeof buffer, &n));
        EXPECT_FALSE(backend_->W32_GetCommState(h, &dcb));
        EXPECT_FALSE(backend_->W32_SetCommState(h, &dcb));
        EXPECT_FALSE(backend_->W32_SetCommTimeouts(h, &timeouts));
        EXPECT_FALSE(backend_->W32_SetupComm(h, 5000, 5000));
        EXPECT_FALSE(backend_->W32_PurgeComm(h, 15));
        EXPECT_FALSE(backend_->W32_SetCommMask(h, kEvRxChar | kEvTxEmpty));
        backend_->W32_Wake(h);

        EXPECT_EQ(backend_->Close(h), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->Read(h, buffer, sizeof buffer, &n), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->Write(h, buffer, sizeof buffer, &n), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->ResetDevice(h), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->SetBaudRate(h, 115200), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->Purge(h, FT_PURGE_RX | FT_PURGE_TX), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->SetTimeouts(h, 300, 300), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->GetQueueStatus(h, &n), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->SetBitMode(h, 0xFF, FT_BITMODE_ASYNC_BITBANG), FT_INVALID_HANDLE);
        EXPECT_EQ(backend_->EE_UARead(h, buffer, 6, &n), FT_INVALID_HANDLE);
    }
}

TEST(UsbBackendTest, AbortFlagsNeverFlushTheTransmitBuffer) {
    struct Case {
        uint32_t win32;
        uint32_t ft;
    };
    const Case cases[] = {
        {kPurgeTxAbort | kPurgeRxAbort, FT_PURGE_RX},  // the converter's purge before a write
        {kPurgeTxAbort, 0},
        {kPurgeRxAbort, FT_PURGE_RX},
        {kPurgeRxClear, FT_PURGE_RX},
        {kPurgeTxClear, FT_PURGE_TX},
        {kPurgeTxAbort | kPurgeRxAbort | kPurgeTxClear | kPurgeRxClear, FT_PURGE_RX | FT_PURGE_TX},
    };
    for (const Case& c : cases) EXPECT_EQ(FtPurgeMaskOfW32Flags(c.win32), c.ft) << c.win32;
}

TEST(UsbBackendTest, TheProgramsChoiceHoldsUntilItChoosesAgain) {
    EXPECT_EQ(ParseUsbChoice(nullptr), UsbChoice::Real);
    EXPECT_EQ(ParseUsbChoice(""), UsbChoice::Real);
    EXPECT_EQ(ParseUsbChoice("LibFtdi"), UsbChoice::Real);
    EXPECT_EQ(ParseUsbChoice("SIM"), UsbChoice::Simulated);
    EXPECT_EQ(ParseUsbChoice("d2xx"), UsbChoice::Unknown);

    std::unique_ptr<D2xx> chosen = MakeLibFtdiBackend();
    if (!chosen) GTEST_SKIP() << "libftdi cannot start on this machine";
    D2xx* const before = UsbBackend();
    SetUsbBackend(chosen.get());
    EXPECT_EQ(UsbBackend(), chosen.get());
    SetUsbBackend(nullptr);
    EXPECT_EQ(UsbBackend(), nullptr) << "nothing chosen: no USB, whatever VESKA_USB says";
    SetUsbBackend(before);
}

}  // namespace
}  // namespace veska::platform
