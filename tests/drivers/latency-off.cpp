// latency-off DEVICE TIMER-FILE MS STOP-FILE: holds a serial device without
// low latency (TIOCSSERIAL without ASYNC_LOW_LATENCY) and its adapter's
// latency timer at MS, as a driver that ignores the program's request would
// leave them, until STOP-FILE exists. It takes them back every millisecond,
// so a session that asks for low latency runs without it within a
// millisecond. The real-driver suite runs it in the guest to hold an FTDI
// adapter's latency timer at 16 ms during a session.
#include <cstdio>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: latency-off DEVICE TIMER-FILE MS STOP-FILE\n");
        return 2;
    }
    while (access(argv[4], F_OK) != 0) {
        int fd = open(argv[1], O_RDWR | O_NOCTTY | O_NONBLOCK);
        struct serial_struct s;
        if (fd >= 0 && ioctl(fd, TIOCGSERIAL, &s) == 0 && (s.flags & ASYNC_LOW_LATENCY)) {
            s.flags &= ~ASYNC_LOW_LATENCY;
            ioctl(fd, TIOCSSERIAL, &s);
        }
        if (fd >= 0) close(fd);
        if (FILE* timer = std::fopen(argv[2], "w")) {
            std::fputs(argv[3], timer);
            std::fclose(timer);
        }
        usleep(1000);
    }
    return 0;
}
