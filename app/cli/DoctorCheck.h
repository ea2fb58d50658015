// The port doctor's check of one port: the adapter behind it, whether the
// program may open it, its latency timer outside and during a session, three
// "VERS" round trips through the same device session that write uses, the
// time a write would take on this line, and each problem with its fix.
#pragma once

#include "platform/Interrupt.h"
#include "platform/LatencyTimer.h"
#include "platform/UsbInfo.h"

#include <functional>
#include <string>
#include <vector>

// One "VERS" sent and its reply, in milliseconds from the request.
struct TRoundTrip {
    bool answered = false;
    double firstMs = 0; // the reply's first bytes were in
    double wholeMs = 0; // its last byte was in
};

// A problem that slows the port or keeps its device from answering, and
// what to do about it, in one line each.
struct TDoctorProblem {
    std::string problem;
    std::string fix;
};

struct TDoctorPort {
    std::string port;   // COM name
    std::string device; // what opens it
    TUsbInfo usb;
    std::string access = "ok"; // ok, missing, busy, no permission, could not be opened
    TLatencyReading outside;   // before the program opens the port
    TLatencyReading during;    // while the session holds it
    bool duringRead = false;   // a session was open to read it
    TLatencyHoldState hold = TLatencyHoldState::not_needed;
    std::string holdNote; // what the session did to the timer
    std::vector<TRoundTrip> tries;
    bool answered = false;    // a Varnomiksal bootloader answered
    bool otherAnswer = false; // something else answered
    bool interrupted = false;
    std::string name, version;   // the device's, UTF-8
    double roundTripMs = 0;      // the median first-byte time of the answered tries
    double predictedSeconds = 0; // a write on this line
    std::vector<TDoctorProblem> problems;
    bool slow = false; // a device answered, but something slows it
};

// The line time of a write: 508 blocks of 256 bytes at 38462 baud, 10 bits
// a byte; and the prediction with one round trip a block.
double WriteLineSeconds();
double PredictWriteSeconds(double roundTripMs);

// Round trips longer than this slow a write noticeably (508 of them: 2.5 s).
inline constexpr double kSlowRoundTripMs = 5.0;
// Timers longer than this are an adapter's default, not low latency.
inline constexpr int kSlowTimerMs = 2;

// Checks `port` (its COM name) with `rounds` round trips, each on a session
// of its own, waiting timeoutMs at most for each answer. Its session logs go
// to `log`, one try at a time.
TDoctorPort CheckPort(const std::string& port, TInterruptWatch& watch, int timeoutMs, int rounds,
                      const std::function<void(std::vector<std::string>)>& log);

// Fills in the round trip, the prediction, the problems and `slow` from
// what was measured.
void Diagnose(TDoctorPort& d);
