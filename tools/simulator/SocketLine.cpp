#include "tools/simulator/SocketLine.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

double Seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The kernel's stamp of a received message (on the wall clock), moved to the
// steady clock; 0 without one. A stamp over a second old (the wall clock was
// set meanwhile) is not believed.
double Arrival(msghdr& message) {
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
        timespec at;
        std::memcpy(&at, CMSG_DATA(c), sizeof at);
        const double ago =
            Seconds(CLOCK_REALTIME) - (double(at.tv_sec) + double(at.tv_nsec) * 1e-9);
        return ago > 1 ? 0 : Seconds(CLOCK_MONOTONIC) - std::max(ago, 0.0);
    }
    return 0;
}

} // namespace

SocketLine::~SocketLine() {
    HangUp();
    if (wake_ >= 0) close(wake_);
    if (listen_ >= 0) close(listen_);
}

bool SocketLine::Opened(std::string& error) {
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    return true;
}

bool SocketLine::Connect(const std::string& path, std::string& error) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        error = "socket path too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        error = "cannot connect to " + path + ": " + std::strerror(errno);
        HangUp();
        return false;
    }
    return Opened(error);
}

bool SocketLine::Listen(int port, std::string& error) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(port));
    socklen_t size = sizeof address;
    listen_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listen_, 1) != 0 ||
        getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = "cannot listen on 127.0.0.1:" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    port_ = ntohs(address.sin_port);
    return true;
}

bool SocketLine::Accept(int timeoutMs, std::string& error) {
    pollfd waiting{listen_, POLLIN, 0};
    if (poll(&waiting, 1, timeoutMs) <= 0) {
        error = "nobody connected to port " + std::to_string(port_);
        return false;
    }
    fd_ = accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
    close(listen_);
    listen_ = -1;
    if (fd_ < 0) {
        error = std::string("accept: ") + std::strerror(errno);
        return false;
    }
    // Every reply leaves at once, as it would cross a serial line; what
    // arrives is stamped with the moment it came.
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    stamped_ = setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &one, sizeof one) == 0;
    return Opened(error);
}

long SocketLine::Read(uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (fd_ < 0) return -1;
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) <= 0) return 0;
    if (fds[1].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] auto r = read(wake_, &v, sizeof v);
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        iovec part{buffer, size};
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = stamped_ ? control : nullptr;
        message.msg_controllen = stamped_ ? sizeof control : 0;
        long got = recvmsg(fd_, &message, 0);
        arrivedAt_ = got > 0 ? Arrival(message) : 0;
        if (got > 0) return got;
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1; // the far end closed
    }
    return 0;
}

bool SocketLine::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0 && fd_ >= 0) {
        long n = send(fd_, p, size, MSG_NOSIGNAL);
        if (n > 0) {
            p += n;
            size -= std::size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return size == 0;
}

void SocketLine::HangUp() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

void SocketLine::Wake() {
    if (wake_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto r = write(wake_, &one, sizeof one);
    }
}
