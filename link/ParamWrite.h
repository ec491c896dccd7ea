#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "link/Status.h"
#include "platform/Clock.h"

namespace veska::link {

/// Sends one framed request (command, data, data length) and returns its status.
using SendFramed = std::function<Status(uint8_t command, const uint8_t* data, uint32_t count)>;

/// The parameter write the sensor and the encoder both take: one request per byte with the
/// data (address, value), highest address first (a multi-byte parameter takes effect when
/// its low byte lands), then waitMs for the device to apply them. A null source with a
/// count is kStatusBadRequest and sends nothing; a failed request ends the batch with its
/// status and no wait.
Status WriteParamBatch(uint8_t command, uint8_t startAddress, uint32_t count, const uint8_t* source,
                       const SendFramed& send, platform::Clock& clock, uint32_t waitMs);

}  // namespace veska::link
