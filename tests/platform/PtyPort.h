// A kernel pty registered as a COM<n> port in a per-process port directory.
// The test holds the master side and plays the device.
#pragma once

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unistd.h>

// The port directory of this test process (created once, set in the environment).
inline const std::string& TestPortDir() {
    static const std::string dir = [] {
        char tmpl[] = "/tmp/varno-ports-XXXXXX";
        if (!mkdtemp(tmpl)) throw std::runtime_error("mkdtemp");
        setenv("VARNOMIKSAL_PORT_DIR", tmpl, 1);
        return std::string(tmpl);
    }();
    return dir;
}

class TPtyPort {
public:
    explicit TPtyPort(int number) : name("COM" + std::to_string(number)) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
            throw std::runtime_error("pty");
        slave = ptsname(master);
        link = TestPortDir() + "/" + name;
        unlink(link.c_str());
        if (symlink(slave.c_str(), link.c_str()) != 0) throw std::runtime_error("symlink");
    }
    ~TPtyPort() {
        HangUp();
        unlink(link.c_str());
    }
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    // Writes all bytes (the slave side reads them).
    void Write(std::string_view bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += std::size_t(n);
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{master, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                return;
            }
        }
    }

    // Reads until `count` bytes came or `ms` passed.
    std::string Read(std::size_t count, int ms = 2000) const {
        std::string out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        char buf[4096];
        while (out.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, int(left.count())) <= 0) continue;
            ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, std::size_t(n));
            else if (n < 0 && errno != EAGAIN)
                break;
        }
        return out;
    }

    // Closes the master: the port side sees a hang-up.
    void HangUp() {
        if (master >= 0) ::close(master);
        master = -1;
    }

    std::string name;  // "COM<n>"
    std::string slave; // "/dev/pts/<k>"
    std::string link;
    int master = -1;
};
