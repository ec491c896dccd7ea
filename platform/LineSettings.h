#pragma once
#include <termios.h>

#include "platform/SerialPort.h"

namespace veska::platform {

/// The termios block for a line: raw mode, 8 data bits, receiver on, modem lines and flow
/// control off, VMIN 1 / VTIME 0, and the parity and stop bits of line (codes outside
/// their range keep what before has). The rate is not touched.
termios LineTermios(const SerialLine& line, const termios& before);

}  // namespace veska::platform
