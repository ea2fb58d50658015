// The latency timer of the USB serial adapter behind a port: how long the
// adapter holds received bytes before it passes a short reply on (16 ms by
// default on an FTDI adapter, unless low latency is asked for). Read for the
// port doctor, and held at 1 ms for a session where the system's serial
// driver does not do it itself.
#pragma once

#include <memory>
#include <string>

struct TLatencyReading {
    bool known = false;      // ms holds the timer
    int ms = 0;              // the timer, in milliseconds
    bool lowLatency = false; // the driver runs the port at low latency
    std::string source;      // where it was read ("sysfs", "D2XX", "the driver's registry value")
    std::string problem;     // why it is not known, or empty
};

// Reads the timer of the adapter behind `device` (a device path on Linux,
// \\.\COMn on Windows), without opening the port. Not known for ports that
// have no such timer (a built-in UART, a pty, adapters of other makers).
TLatencyReading ReadLatencyTimer(const std::string& device);

// What a session did to the port's latency timer.
enum class TLatencyHoldState {
    not_needed, // no timer to set, or the serial driver lowers it itself (Linux)
    held,       // set to 1 ms for the session
    failed,     // an FTDI adapter whose timer could not be set
};

// Holds the latency timer of an FTDI adapter's port at 1 ms for a session,
// where the system's driver does not do it when the port is opened
// (Windows, through FTDI's D2XX library if it is installed). Taken before the
// port opens; Release (or the destructor), after the port has closed, gives
// the old value back. Never fails an open: what happened is in Note().
class TLatencyHold {
public:
    explicit TLatencyHold(const std::string& portName);
    ~TLatencyHold();
    TLatencyHold(const TLatencyHold&) = delete;
    TLatencyHold& operator=(const TLatencyHold&) = delete;

    TLatencyHoldState State() const { return state_; }
    // One line for the session log; empty when there is nothing to say.
    const std::string& Note() const { return note_; }
    // Gives the old value back, once; returns a line for the log (or empty).
    std::string Release();

private:
    std::string port_;
    TLatencyHoldState state_ = TLatencyHoldState::not_needed;
    std::string note_;
    [[maybe_unused]] int old_ = 0; // the value to give back, where a hold sets one
    bool released_ = false;
};

// What a timer that cannot be set costs, and how to set it by hand, in one
// sentence for a user of `portName`.
std::string LatencyTimerAdvice(const std::string& portName);
