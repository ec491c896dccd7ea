#pragma once
#include <cstdint>

namespace veska::platform {

/// Sets any rate [bit/s] for both directions through the Linux termios2 interface (BOTHER);
/// false when the system or the driver refuses. Kept apart because <asm/termbits.h> and
/// <termios.h> cannot be included in the same file.
bool SetCustomBaudRate(int fd, uint32_t baud);

}  // namespace veska::platform
