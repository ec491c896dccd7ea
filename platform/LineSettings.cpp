#include "platform/LineSettings.h"

namespace veska::platform {

namespace {

/// Applies the parity code to a termios block; any other code keeps what `before` had.
void ApplyParity(uint8_t parity, const termios& before, termios& tio) {
    tcflag_t parityBits = PARENB | PARODD;
#ifdef CMSPAR
    parityBits |= CMSPAR;
#endif
    switch (parity) {
        case 0:
            tio.c_cflag &= ~parityBits;
            tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);
            break;
        case 1:
            tio.c_cflag = (tio.c_cflag & ~parityBits) | PARENB | PARODD;
            tio.c_iflag |= INPCK;
            break;
        case 2:
            tio.c_cflag = (tio.c_cflag & ~parityBits) | PARENB;
            tio.c_iflag |= INPCK;
            break;
        default:
            tio.c_cflag = (tio.c_cflag & ~parityBits) | (before.c_cflag & parityBits);
            tio.c_iflag = (tio.c_iflag & ~static_cast<tcflag_t>(INPCK)) | (before.c_iflag & INPCK);
            break;
    }
}

void ApplyStopBits(uint8_t stopBits, termios& tio) {
    if (stopBits == 0) tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    if (stopBits == 1 || stopBits == 2) tio.c_cflag |= CSTOPB;
}

/// Raw mode: no line editing, no character translation, no software or hardware flow
/// control, 8 data bits, receiver on, modem lines ignored. read() returns what is there.
void MakeRaw(termios& tio) {
    tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF | IXANY | IGNPAR);
    tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
#ifdef CRTSCTS
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
#endif
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 1;  // with O_NONBLOCK: EAGAIN when empty, 0 only at hang-up
    tio.c_cc[VTIME] = 0;
}

}  // namespace

termios LineTermios(const SerialLine& line, const termios& before) {
    termios tio = before;
    MakeRaw(tio);
    ApplyParity(line.parity, before, tio);
    ApplyStopBits(line.stopBits, tio);
    return tio;
}

}  // namespace veska::platform
