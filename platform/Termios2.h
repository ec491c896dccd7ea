#pragma once
#include <cstdint>

namespace veska::platform {

/// Sets any rate [bit/s] for both directions through the Linux termios2 interface (BOTHER);
/// false when the system or the driver refuses. Kept apart because <asm/termbits.h> and
/// <termios.h> cannot be included in the same file.
bool SetCustomBaudRate(int fd, uint32_t baud);

/// The output rate [bit/s] a terminal is set to (standard or custom); 0 when unknown.
uint32_t ReadBaudRate(int fd);

}  // namespace veska::platform
