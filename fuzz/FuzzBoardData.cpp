// The analog board's data path from any bytes: the driver's marker scan over deliveries cut
// anywhere, the board number of a USB serial text, the client's conversion of sample words
// with EEPROM coefficients of any value (NaN, infinities, denormals) and its captions.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "analog/VoktInterface.h"
#include "driver/BoardProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    // Header: the EEPROM user area's offset (u16 LE) and gain (float LE), a cut length.
    uint16_t offset = 0;
    float gain = 0.0f;
    std::memcpy(&offset, data, sizeof offset);
    std::memcpy(&gain, data + 2, sizeof gain);
    const size_t cut = 1 + data[6] % 64;
    const size_t serialLength = data[7] % 24;
    const std::span<const uint8_t> body(data + 8, size - 8);

    // Deliveries of any length: the run counter carries over between them.
    uint8_t run = 0;
    bool seenOverflow = false;
    for (size_t at = 0; at < body.size(); at += cut)
        seenOverflow |=
            veska::driver::ScanMarkerRuns(body.subspan(at, std::min(cut, body.size() - at)), run);
    uint8_t wholeRun = 0;
    const bool overflowWhole = veska::driver::ScanMarkerRuns(body, wholeRun);
    if (overflowWhole != seenOverflow || wholeRun != run) __builtin_trap();  // cuts change nothing

    const std::string serial(reinterpret_cast<const char*>(body.data()),
                             std::min(serialLength, body.size()));
    (void)veska::driver::BoardNumberOf(serial.c_str());

    for (size_t i = 0; i + 1 < body.size() && i < 64; i += 2) {
        const auto word = static_cast<uint16_t>(body[i] | body[i + 1] << 8);
        const veska::analog::BoardReading r = veska::analog::ConvertSample(word, gain, offset);
        const std::string volts = veska::analog::VoltageCaption(r.voltage);
        const std::string amps = veska::analog::CurrentCaption(r.current);
        if (volts.empty() || amps.empty()) __builtin_trap();
    }
    return 0;
}
