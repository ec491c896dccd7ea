#include "params/SensorScan.h"

#include <algorithm>

#include "link/PortSelection.h"
#include "link/PortSettings.h"
#include "platform/Win32Comm.h"

namespace veska::params {

namespace {

constexpr uint32_t kCommonRates[] = {115200, 9600,  921600, 460800, 230400, 57600,
                                     38400,  19200, 4800,   2400,   14400};
constexpr uint32_t kBitsPerByte = 11;      // start, 8 data, even parity, stop
constexpr uint32_t kRequestLineBytes = 8;  // an Identify request on the line, with margin
constexpr uint32_t kTurnAroundMs = 10;     // the sensor's time to answer

uint32_t CeilDiv(uint64_t a, uint64_t b) { return static_cast<uint32_t>((a + b - 1) / b); }

}  // namespace

std::vector<uint32_t> ScanRateOrder(uint32_t current) {
    std::vector<uint32_t> order;
    if (current != 0) order.push_back(current);
    for (const uint32_t rate : kCommonRates) {
        if (rate != current) order.push_back(rate);
    }
    return order;
}

std::vector<uint8_t> ScanAddressOrder(uint8_t current) {
    if (current < 1 || current > 127) current = 1;
    std::vector<uint8_t> order{current};
    for (uint8_t a = 1; a <= 127; ++a) {
        if (a != current) order.push_back(a);
    }
    return order;
}

ScanTimeouts ScanTimeoutsFor(uint32_t baud) {
    baud = std::max<uint32_t>(baud, 300);
    ScanTimeouts t;
    t.perByte = std::max<uint32_t>(1, CeilDiv(2ull * kBitsPerByte * 1000, baud));
    t.constant = kTurnAroundMs + CeilDiv(uint64_t{kRequestLineBytes} * kBitsPerByte * 1000, baud);
    return t;
}

size_t SensorScan::Run(const ScanPlan& plan, const FoundFunction& found,
                       const ProgressFunction& progress) {
    cancel_.store(false);
    const std::vector<uint32_t> rates =
        plan.rates.empty() ? ScanRateOrder(plan.firstBaud) : plan.rates;
    const std::vector<uint8_t> addresses = ScanAddressOrder(plan.firstAddress);
    ScanProgress where;
    where.total = plan.portNames.size() * rates.size() * addresses.size();
    size_t hits = 0;
    for (const std::string& portName : plan.portNames) {
        const link::PortChoice choice = link::MapSensorPort(portName);
        where.portName = portName;
        bool rateFound = false;
        for (size_t r = 0; r < rates.size(); ++r) {
            const uint32_t baud = rates[r];
            if (cancel_.load() || rateFound) {
                where.done += addresses.size();
                continue;
            }
            where.baud = baud;
            const ScanTimeouts timeouts = ScanTimeoutsFor(baud);
            // The sensor's line as TMORLAInterface::OpenPort sets it, with short time-outs.
            link::PortSettings settings;
            settings.portMode = choice.portMode;
            settings.deviceName = choice.deviceName;
            settings.baudRate = baud;
            settings.stopBits = 0;
            settings.parity = 2;
            settings.usbOpenFlags = platform::kFileAttributeNormal;
            settings.rxQueue = 5000;
            settings.txQueue = 5000;
            settings.readInterval = timeouts.perByte;
            settings.readConstant = timeouts.constant;
            if (sensor_.Port().Open(settings) != link::kStatusOk) {
                // A port that does not open at one rate opens at none: skip the port.
                where.done += addresses.size() * (rates.size() - r);
                break;
            }
            for (const uint8_t address : addresses) {
                if (cancel_.load()) break;
                where.address = address;
                if (progress) progress(where);
                ++where.done;
                link::DeviceInfo info;
                if (sensor_.Identify(address, info) == link::kStatusOk) {
                    ++hits;
                    rateFound = true;
                    if (found) found(ScanHit{portName, baud, address, info});
                }
            }
            (void)sensor_.Port().Close();
        }
        (void)sensor_.Port().Close();
        if (cancel_.load()) break;
    }
    (void)sensor_.Port().Close();
    return hits;
}

}  // namespace veska::params
