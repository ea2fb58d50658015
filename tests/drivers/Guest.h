// The host's side of the real-driver guest (guest.sh): its console, on which
// guest-init.sh runs commands, QEMU's monitor, and the serial lines on which
// the device simulator answers.
#pragma once

#include "tools/simulator/DeviceSimulator.h"

#include <memory>
#include <string>
#include <vector>

// What guest.sh left: the folder of the guest's sockets, or why it cannot
// start.
struct GuestState {
    std::string runDir;
    std::string skipReason;
};
GuestState ReadGuestState();

// One varnomiksal-cli run in the guest.
struct CliRun {
    int rc = -1;
    std::string json;                                // its standard output: the one JSON line
    std::vector<std::string> err;                    // its standard error
    std::string Field(const std::string& key) const; // a top-level JSON value, strings unquoted
    std::string Describe() const;
};

class GuestConsole {
public:
    explicit GuestConsole(const std::string& runDir);
    ~GuestConsole();
    GuestConsole(const GuestConsole&) = delete;
    GuestConsole& operator=(const GuestConsole&) = delete;

    // Sends a command to the guest's init and returns its answer's lines;
    // fails the test (and returns what came) when no answer ends in time.
    std::vector<std::string> Command(const std::string& command, int timeoutMs = 60000);
    // Pings until the guest answers; false if it does not in time.
    bool WaitReady(int timeoutMs);

    CliRun Run(const std::string& arguments, int timeoutMs = 60000);
    void Start(const std::string& name, const std::string& arguments);
    CliRun Result(const std::string& name, int timeoutMs = 60000);
    // Reads a file of the guest (a sysfs attribute), without its line end.
    std::string Read(const std::string& path);

private:
    bool ReadLine(std::string& line, int timeoutMs);

    int fd_ = -1;
    int next_ = 0;
    std::string buffer_;
};

// Runs a command on QEMU's human monitor and returns its output.
std::string Monitor(const std::string& runDir, const std::string& command);

// Starts the simulator on the serial line `chardev` ("uart" or "ftdi") and
// waits until QEMU has taken the connection.
std::unique_ptr<DeviceSimulator> StartDevice(const std::string& runDir, const std::string& chardev,
                                             SimConfig config);
