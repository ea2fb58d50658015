// latency-off DEVICE: takes low latency away from a serial device
// (TIOCSSERIAL without ASYNC_LOW_LATENCY), as a driver that ignores the
// program's request would leave it. The real-driver suite runs it in the
// guest to hold an FTDI adapter's latency timer at 16 ms during a session.
#include <cstdio>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: latency-off DEVICE\n");
        return 2;
    }
    int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
    struct serial_struct s;
    if (fd < 0 || ioctl(fd, TIOCGSERIAL, &s) != 0) return 1;
    s.flags &= ~ASYNC_LOW_LATENCY;
    int rc = ioctl(fd, TIOCSSERIAL, &s) == 0 ? 0 : 1;
    close(fd);
    return rc;
}
