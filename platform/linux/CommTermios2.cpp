#include "platform/linux/CommTermios2.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

bool ApplyTermiosLine(int fd, const TTermiosLine& line) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;

    t.c_cflag &=
        ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CREAD | CLOCAL;
    t.c_ispeed = line.baud;
    t.c_ospeed = line.baud;
    switch (line.dataBits) {
    case 5:
        t.c_cflag |= CS5;
        break;
    case 6:
        t.c_cflag |= CS6;
        break;
    case 7:
        t.c_cflag |= CS7;
        break;
    default:
        t.c_cflag |= CS8;
        break;
    }
    switch (line.parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | PARODD | CMSPAR;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // With five data bits the driver sends one and a half stop bits for CSTOPB.
    if (line.stopBits != 0) t.c_cflag |= CSTOPB;
    if (line.ctsRtsFlow) t.c_cflag |= CRTSCTS;

    // Raw bytes both ways: no translation, no echo, no signals.
    t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
    if (line.parityCheck) t.c_iflag |= INPCK;
    if (line.xonOut) t.c_iflag |= IXON;
    if (line.xonIn) t.c_iflag |= IXOFF;
    t.c_oflag &= ~OPOST;
    t.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN | ECHOE | ECHOK | ECHOCTL | ECHOKE);
    t.c_cc[VSTART] = line.xonChar;
    t.c_cc[VSTOP] = line.xoffChar;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool ReadTermiosLine(int fd, TTermiosLine& line) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) return false;
    line.baud = t.c_ospeed;
    switch (t.c_cflag & CSIZE) {
    case CS5:
        line.dataBits = 5;
        break;
    case CS6:
        line.dataBits = 6;
        break;
    case CS7:
        line.dataBits = 7;
        break;
    default:
        line.dataBits = 8;
        break;
    }
    if (!(t.c_cflag & PARENB))
        line.parity = 0;
    else if (t.c_cflag & CMSPAR)
        line.parity = (t.c_cflag & PARODD) ? 3 : 4;
    else
        line.parity = (t.c_cflag & PARODD) ? 1 : 2;
    line.stopBits = (t.c_cflag & CSTOPB) ? (line.dataBits == 5 ? 1 : 2) : 0;
    line.parityCheck = (t.c_iflag & INPCK) != 0;
    line.ctsRtsFlow = (t.c_cflag & CRTSCTS) != 0;
    line.xonOut = (t.c_iflag & IXON) != 0;
    line.xonIn = (t.c_iflag & IXOFF) != 0;
    line.xonChar = t.c_cc[VSTART];
    line.xoffChar = t.c_cc[VSTOP];
    return true;
}

bool FlushTermiosQueues(int fd, bool input, bool output) {
    if (!input && !output) return true;
    int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
    return ioctl(fd, TCFLSH, which) == 0;
}
