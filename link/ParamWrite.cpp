#include "link/ParamWrite.h"

namespace veska::link {

Status WriteParamBatch(uint8_t command, uint8_t startAddress, uint32_t count, const uint8_t* source,
                       const SendFramed& send, platform::Clock& clock, uint32_t waitMs) {
    if (source == nullptr && count > 0) return kStatusBadRequest;
    for (uint32_t k = count; k-- > 0;) {
        const uint8_t data[2] = {static_cast<uint8_t>(startAddress + k), source[k]};
        if (const Status s = send(command, data, 2); s != kStatusOk) return s;
    }
    clock.Sleep(waitMs);
    return kStatusOk;
}

}  // namespace veska::link
