// varnomiksal-nullmodem: virtual null-modem cables. Each cable is two
// pseudo-terminals whose far ends are joined: what a program writes to one
// end, the other end reads. Both ends are made known by symlinks in a folder,
// such as a wine prefix's dosdevices, so that a program there opens them as
// serial ports.
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/epoll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) {
    g_stop = 1;
}

const char* kUsage = R"(Usage: varnomiksal-nullmodem --dir DIR [options] FIRST-LAST

Makes a virtual null-modem cable for every port number n from FIRST to LAST:
one end is linked as <prefix>n in DIR, the other as <prefix>(n + OFFSET).
Runs until it is stopped (SIGINT or SIGTERM), then removes its links.

Options:
  --dir DIR        the folder for the links (e.g. a wine prefix's dosdevices)
  --prefix TEXT    the link names' prefix (default "com")
  --offset N       the far end's number is n + N (default 1000)
  --ready FILE     write FILE once every link is in place
)";

// One end of a cable: a pty master, and our own handle on its far end so that
// the end never reads as hung up while no program holds it.
struct TEnd {
    int master = -1;
    int keeper = -1;
    std::string link;
    std::string pending;  // bytes for this master that did not fit yet
    uint32_t watched = 0; // the events epoll waits for on the master
};

// What an end waits for: bytes to read while its partner's buffer is free,
// and room to write while bytes for it wait.
uint32_t Wanted(const TEnd& end, const TEnd& partner) {
    return (partner.pending.empty() ? EPOLLIN : 0u) | (end.pending.empty() ? 0u : EPOLLOUT);
}

void Watch(int epoll, TEnd& end, const TEnd& partner, std::size_t index) {
    const uint32_t wanted = Wanted(end, partner);
    if (wanted == end.watched) return;
    epoll_event e{};
    e.events = wanted;
    e.data.u64 = index;
    epoll_ctl(epoll, EPOLL_CTL_MOD, end.master, &e);
    end.watched = wanted;
}

bool OpenEnd(TEnd& end, const std::string& link) {
    end.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (end.master < 0 || grantpt(end.master) != 0 || unlockpt(end.master) != 0) return false;
    const char* slave = ptsname(end.master);
    if (!slave) return false;
    end.keeper = open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (end.keeper < 0) return false;
    termios t{};
    tcgetattr(end.keeper, &t);
    cfmakeraw(&t);
    tcsetattr(end.keeper, TCSANOW, &t);
    unlink(link.c_str());
    if (symlink(slave, link.c_str()) != 0) return false;
    end.link = link;
    return true;
}

// Moves what `from` received over to `to`. Bytes that do not fit wait, and
// no more are taken from `from` until they are out: a cable holds one buffer
// in flight at most, so a far end that reads nothing holds the writer back,
// as a real line's receiver does.
void Carry(TEnd& from, TEnd& to) {
    char buffer[4096];
    for (;;) {
        while (!to.pending.empty()) {
            ssize_t n = write(to.master, to.pending.data(), to.pending.size());
            if (n <= 0) return;
            to.pending.erase(0, std::size_t(n));
        }
        ssize_t n = read(from.master, buffer, sizeof buffer);
        if (n <= 0) return;
        to.pending.assign(buffer, std::size_t(n));
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string dir, prefix = "com", ready;
    int offset = 1000, first = 0, last = -1;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--dir" && i + 1 < argc) {
            dir = argv[++i];
        } else if (a == "--prefix" && i + 1 < argc) {
            prefix = argv[++i];
        } else if (a == "--offset" && i + 1 < argc) {
            offset = std::atoi(argv[++i]);
        } else if (a == "--ready" && i + 1 < argc) {
            ready = argv[++i];
        } else if (std::sscanf(a.c_str(), "%d-%d", &first, &last) != 2) {
            std::fprintf(stderr, "varnomiksal-nullmodem: bad argument %s (see --help)\n",
                         a.c_str());
            return 2;
        }
    }
    if (dir.empty() || first < 1 || last < first || offset <= last - first) {
        std::fprintf(stderr, "varnomiksal-nullmodem: give --dir and a range (see --help)\n");
        return 2;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    std::vector<TEnd> ends(std::size_t(2 * (last - first + 1)));
    for (int n = first; n <= last; ++n) {
        std::size_t k = std::size_t(2 * (n - first));
        if (!OpenEnd(ends[k], dir + "/" + prefix + std::to_string(n)) ||
            !OpenEnd(ends[k + 1], dir + "/" + prefix + std::to_string(n + offset))) {
            std::fprintf(stderr, "varnomiksal-nullmodem: cannot make cable %d: %s\n", n,
                         std::strerror(errno));
            g_stop = 1;
            break;
        }
    }
    if (!g_stop && !ready.empty()) {
        if (FILE* f = std::fopen(ready.c_str(), "w")) std::fclose(f);
    }

    // epoll rather than poll: a program writing byte by byte wakes this
    // loop for every byte, and each wake-up costs one cable, not all of them.
    const int epoll = epoll_create1(EPOLL_CLOEXEC);
    for (std::size_t i = 0; !g_stop && i < ends.size(); ++i) {
        epoll_event e{};
        e.events = ends[i].watched = EPOLLIN;
        e.data.u64 = i;
        epoll_ctl(epoll, EPOLL_CTL_ADD, ends[i].master, &e);
    }
    std::vector<epoll_event> events(64);
    while (!g_stop) {
        const int n = epoll_wait(epoll, events.data(), int(events.size()), 200);
        for (int k = 0; k < n; ++k) {
            const std::size_t i = std::size_t(events[k].data.u64);
            // In: bytes from this end for its partner. Out: room here for
            // the partner's waiting bytes, and then for more of them.
            if (events[k].events & (EPOLLIN | EPOLLHUP | EPOLLERR)) Carry(ends[i], ends[i ^ 1]);
            if (events[k].events & EPOLLOUT) Carry(ends[i ^ 1], ends[i]);
            Watch(epoll, ends[i], ends[i ^ 1], i);
            Watch(epoll, ends[i ^ 1], ends[i], i ^ 1);
        }
    }
    close(epoll);
    for (TEnd& end : ends) {
        if (!end.link.empty()) unlink(end.link.c_str());
        if (end.keeper >= 0) close(end.keeper);
        if (end.master >= 0) close(end.master);
    }
    if (!ready.empty()) unlink(ready.c_str());
    return 0;
}
