// A virtual serial port registered as COM<n> for this test process; the test
// holds its far end and plays the device (platform/VirtualPort.h).
#pragma once

#include "testing/platform/VirtualPort.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

// The port directory of this test process (created once, set in the
// environment, where the port list reads it).
inline const std::string& TestPortDir() {
    static const std::string dir = [] {
        std::random_device random;
        auto path = std::filesystem::temp_directory_path() /
                    ("varno-ports-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(path);
        static std::string setting = "VARNOMIKSAL_PORT_DIR=" + path.string();
        putenv(setting.data());
        return path.string();
    }();
    return dir;
}

// Wine lets a second handle open a serial device that one already holds;
// Linux and Windows refuse it.
inline bool OpensAreExclusive() {
    return !(TVirtualPort::IsCable() && std::getenv("WINEPREFIX"));
}

class TPtyPort {
public:
    explicit TPtyPort(int number) : name("COM" + std::to_string(number)) {
        std::string error;
        if (!port.Open(error) || !port.Register(TestPortDir(), number, error))
            throw std::runtime_error(error);
        slave = port.DevicePath();
    }
    TPtyPort(const TPtyPort&) = delete;
    TPtyPort& operator=(const TPtyPort&) = delete;

    // Writes all bytes (the program's side reads them).
    void Write(std::string_view bytes) { port.Write(bytes.data(), bytes.size()); }

    // Reads until `count` bytes came or `ms` passed.
    std::string Read(std::size_t count, int ms = 2000) {
        std::string out;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        uint8_t buf[4096];
        while (out.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            long n = port.Read(buf, sizeof buf, int(left.count()));
            if (n < 0) break;
            out.append(reinterpret_cast<const char*>(buf), std::size_t(n));
        }
        return out;
    }

    // Ends the connection: the program's side sees a hang-up (not on a cable).
    void HangUp() { port.HangUp(); }

    std::string name;  // "COM<n>"
    std::string slave; // the device the program opens
    TVirtualPort port;
};
