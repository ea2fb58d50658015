#include "testing/platform/VirtualPort.h"

#include "platform/linux/CommTermios2.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

bool MakeDirectories(const std::string& path) {
    std::string partial;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || (path[i] == '/' && i > 0)) {
            partial = path.substr(0, i);
            if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

} // namespace

TVirtualPort::~TVirtualPort() {
    Unregister();
    HangUp();
    if (keeper_ >= 0) close(keeper_);
    if (wake_ >= 0) close(wake_);
}

bool TVirtualPort::Open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    devicePath_ = name;
    keeper_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keeper_ < 0) {
        error = std::string("cannot open ") + name + ": " + std::strerror(errno);
        return false;
    }
    termios t{};
    tcgetattr(keeper_, &t);
    cfmakeraw(&t);
    tcsetattr(keeper_, TCSANOW, &t);
    int flags = fcntl(master_, F_GETFL);
    fcntl(master_, F_SETFL, flags | O_NONBLOCK);
    wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return wake_ >= 0;
}

bool TVirtualPort::Register(const std::string& directory, int number, std::string& error) {
    if (!MakeDirectories(directory)) {
        error = "cannot create " + directory + ": " + std::strerror(errno);
        return false;
    }
    std::string link = directory + "/COM" + std::to_string(number);
    unlink(link.c_str());
    if (symlink(devicePath_.c_str(), link.c_str()) != 0) {
        error = "cannot create " + link + ": " + std::strerror(errno);
        return false;
    }
    link_ = link;
    return true;
}

void TVirtualPort::Unregister() {
    if (!link_.empty()) unlink(link_.c_str());
    link_.clear();
}

long TVirtualPort::Read(uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (master_ < 0) return -1;
    pollfd fds[2] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}};
    int n = poll(fds, 2, timeoutMs);
    if (n <= 0) return 0;
    if (fds[1].revents & POLLIN) {
        uint64_t v;
        [[maybe_unused]] auto r = read(wake_, &v, sizeof v);
    }
    if (fds[0].revents & POLLIN) {
        long got = read(master_, buffer, size);
        if (got > 0) return got;
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
        return -1;
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return -1;
    return 0;
}

bool TVirtualPort::Write(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0 && master_ >= 0) {
        long n = write(master_, p, size);
        if (n > 0) {
            p += n;
            size -= std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd fd{master_, POLLOUT, 0};
            poll(&fd, 1, 100);
        } else {
            return false;
        }
    }
    return size == 0;
}

void TVirtualPort::HangUp() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void TVirtualPort::Wake() {
    if (wake_ >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] auto r = write(wake_, &one, sizeof one);
    }
}

bool TVirtualPort::HeldLineState(TCommState& state) const {
    TTermiosLine line;
    if (keeper_ < 0 || !ReadTermiosLine(keeper_, line)) return false;
    state.BaudRate = line.baud;
    state.ByteSize = uint8_t(line.dataBits);
    state.Parity = uint8_t(line.parity);
    state.StopBits = uint8_t(line.stopBits);
    state.ParityCheck = line.parityCheck;
    state.OutxCtsFlow = line.ctsRtsFlow;
    state.OutX = line.xonOut;
    state.InX = line.xonIn;
    return true;
}

bool TVirtualPort::IsCable() {
    return false;
}
