#include "platform/Termios2.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>
#endif

namespace veska::platform {

bool SetCustomBaudRate(int fd, uint32_t baud) {
#if defined(__linux__) && defined(TCGETS2) && defined(BOTHER)
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return false;
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = baud;
    tio.c_ospeed = baud;
#ifdef IBSHIFT
    tio.c_cflag &= ~static_cast<tcflag_t>(CBAUD << IBSHIFT);  // input speed follows output
#endif
    return ioctl(fd, TCSETS2, &tio) == 0;
#else
    (void)fd;
    (void)baud;
    return false;
#endif
}

uint32_t ReadBaudRate(int fd) {
#if defined(__linux__) && defined(TCGETS2)
    struct termios2 tio {};
    if (ioctl(fd, TCGETS2, &tio) != 0) return 0;
    return tio.c_ospeed;
#else
    (void)fd;
    return 0;
#endif
}

}  // namespace veska::platform
