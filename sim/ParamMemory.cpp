#include "sim/ParamMemory.h"

namespace veska::sim {
namespace {

void Put16(ParamMemory::Bytes& m, uint8_t address, uint16_t v) {
    m[address] = static_cast<uint8_t>(v & 0xFF);
    m[static_cast<uint8_t>(address + 1)] = static_cast<uint8_t>(v >> 8);
}

void Put32(ParamMemory::Bytes& m, uint8_t address, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        m[static_cast<uint8_t>(address + i)] = static_cast<uint8_t>(v >> (8 * i));
}

constexpr uint32_t Ip(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return a << 24 | b << 16 | c << 8 | d;
}

}  // namespace

ParamMemory::ParamMemory(const SensorIdentity& identity) {
    factory_ = Defaults(identity);
    flash_ = factory_;
    working_ = factory_;
}

ParamMemory::Bytes ParamMemory::Defaults(const SensorIdentity& identity) {
    Bytes m{};
    m[addr::kSensorOn] = 1;
    m[addr::kAnalogOn] = 1;
    m[addr::kControl] = 0x00;
    m[addr::kNetAddress] = kDefaultNetAddress;
    m[addr::kBaudCode] = kDefaultBaudCode;
    m[addr::kAveraging] = 1;
    m[addr::kModeOfRun] = 0;
    Put16(m, addr::kSamplingPeriod, 1000);
    Put16(m, 0x0A, 1000);             // max integration time
    Put16(m, addr::kWindowBegin, 0);  // analog window [1/65534 of the range]
    Put16(m, addr::kWindowEnd, 65534);
    m[0x10] = 0;  // lock time of result [5 ms]
    m[0x11] = 0;  // out data format
    m[0x12] = 0;  // border A num, pol; border B num, pol
    m[0x13] = 0;
    m[0x14] = 0;
    m[0x15] = 0;
    Put16(m, 0x17, 0);                     // zero point
    Put16(m, 0x19, 0);                     // bottom analog level
    Put16(m, 0x1B, 65535);                 // top analog level
    m[0x20] = 50;                          // CAN baud code x 5000 = 250000
    Put16(m, 0x22, 0x100);                 // CAN standard identifier
    Put32(m, 0x24, 0x1000);                // CAN extended identifier
    m[0x28] = 0;                           // CAN identifier: standard
    m[0x29] = 0;                           // CAN off
    m[0x30] = 1;                           // CAN node id
    Put32(m, 0x6C, Ip(192, 168, 0, 100));  // LAN destination
    Put32(m, 0x70, Ip(192, 168, 0, 1));    // LAN gateway
    Put32(m, 0x74, Ip(255, 255, 255, 0));  // LAN subnet mask
    Put32(m, 0x78, Ip(192, 168, 0, 10));   // LAN source
    Put16(m, 0x7E, 500);                   // exposition
    m[0x80] = 0;                           // CCD debug format
    m[0x81] = 0;                           // LOut mask
    Put16(m, 0x82, 0);                     // LOut down limit
    Put16(m, 0x84, 65535);                 // LOut up limit
    Put16(m, 0x86, 0);                     // dia correction
    m[0x88] = 0;                           // LAN mode
    Put16(m, 0x8C, 16);                    // begin border CCD [px]
    Put16(m, 0x8E, 1008);                  // end border CCD [px]
    m[addr::kDeviceType] = identity.deviceType;
    m[addr::kRelease] = kFirmwareRelease;
    Put16(m, addr::kSerialNumber, identity.serialNumber);
    Put16(m, addr::kBaseDistance, static_cast<uint16_t>(identity.baseDistance));
    Put16(m, addr::kMeasuringRange, static_cast<uint16_t>(identity.measuringRange));
    Put16(m, 0x98, 256);               // scale video CCD
    Put16(m, 0x9A, 100);               // level 0 video CCD
    Put16(m, addr::kLengthCcd, 1024);  // [px]
    Put16(m, addr::kDivisor, 50000);
    Put16(m, addr::kDarkLevel, 120);
    Put16(m, 0xA6, 400);  // level CMP
    m[0xA8] = 3;          // filter width [px]
    return m;
}

uint16_t ParamMemory::Get16(uint8_t address) const {
    return static_cast<uint16_t>(working_[address] | working_[static_cast<uint8_t>(address + 1)]
                                                         << 8);
}

void ParamMemory::Set16(uint8_t address, uint16_t value) { Put16(working_, address, value); }

void ParamMemory::RestoreDefaults() {
    working_ = factory_;
    working_[addr::kBaudCode] = kDefaultBaudCode;
    working_[addr::kNetAddress] = kDefaultNetAddress;
}

uint32_t ParamMemory::LineBaud() const { return BaudFromCode(working_[addr::kBaudCode]); }

uint32_t ParamMemory::BaudFromCode(uint8_t code) {
    if (code == 0) return 115200;
    if (code == 128) return 921600;
    return code * 2400u;
}

}  // namespace veska::sim
