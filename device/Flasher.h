// The command-line program's two jobs on the console schema: identify the
// device on a port, and upload the image to it. Everything runs on the
// calling thread except what the serial port's reader and the upload's
// watchdog do inside the element graph; those only record and wake. Several
// flashers may run side by side, each on a thread of its own; an interrupt
// stops them all.
#pragma once

#include "device/ConsoleSchema.h"
#include "device/Protocol.h"
#include "device/UploadOutcome.h"
#include "platform/Interrupt.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

enum class TIdentify { found, open_failed, no_answer, not_bootloader, interrupted };

struct TIdentifyResult {
    TIdentify outcome = TIdentify::no_answer;
    std::string device;  // UTF-8
    std::string version; // UTF-8
    std::string port;    // the port's COM name
};

enum class TUpload { success, failed, interrupted };

struct TUploadResult {
    TUpload outcome = TUpload::failed;
    // On success the blocks sent; otherwise the blocks the device
    // acknowledged (the failed or interrupted one is the next).
    int blocks = 0;
    long long bytes = 0;                                       // image bytes written to the port
    double seconds = 0;                                        // from the first byte to the end
    TUploadFailure failure = TUploadFailure::unexpected_reply; // when failed
    std::string reply;    // an unexpected reply as hexadecimal text
    std::string expected; // the running CRC the reply should have carried
};

class TFlasher {
public:
    explicit TFlasher(TInterruptWatch& watch);
    ~TFlasher();

    // Opens the port and asks the device who it is; waits timeoutMs at most.
    TIdentifyResult Identify(const std::string& comName, int timeoutMs);
    // Uploads the image to the identified device. `show` is called on this
    // thread with the acknowledged blocks and the seconds so far, at most
    // ten times a second and once at the end. A Ctrl+C stops it, unless
    // the outcome was decided first: after the final acknowledgement (and
    // "PUSK") it is a success.
    TUploadResult Upload(const std::function<void(int, double)>& show);
    // Seconds from the upload's start until the device had acknowledged
    // `blocks` blocks (the last one with the final acknowledgement); for
    // counts reached by the time `show` is called.
    double SecondsAt(int blocks) const;
    // A station's flashers stop only at the second interrupt request: the
    // first one stops it taking new devices and lets its uploads finish.
    void StopOnlyAfter(int requests) { stopAfter_ = requests; }

    // Listening to a port between writes, as a station does. Writes "VERS"
    // (the probe judges the reply until it has found a device).
    void Poll() { schema_.Send(kIdentifyCommand); }
    // Bursts received, replies the probe judged, and whether it found a device.
    std::size_t Heard() const { return schema_.Bursts->Handled(); }
    std::size_t Arrived() const { return schema_.Bursts->Entered(); }
    std::size_t Judged() const { return schema_.Replies->Handled(); }
    bool Identified() const { return schema_.DeviceFound->Count() > 0; }
    // The line hung up, or the adapter went away.
    bool LineLost();
    // Sleeps until done() holds, an interrupt or the end of timeoutMs; done()'s answer.
    bool Listen(int timeoutMs, const std::function<bool()>& done);

    // Closes the port and ends dispatch. After a success the port first
    // lets "PUSK" leave the output queue: the program closes at once, where
    // the window waits for the user's OK.
    void Close();

    // Adds a line to the session log (an interruption, a lost line).
    void Note(const std::string& text) { schema_.Log->Note(text); }
    // The session log's lines made since the last call, oldest first.
    std::vector<std::string> TakeLog();

    TConsoleSchema& Schema() { return schema_; }

private:
    using Clock = std::chrono::steady_clock;

    // Sleeps until Wake(), an interrupt or the end of timeoutMs; true when
    // interrupted. Interrupts are seen within a short slice.
    bool Wait(int timeoutMs);
    void Wake();
    bool Interrupted() const {
        return stopAfter_ <= 1 ? watch_.Interrupted() : watch_.Requests() >= stopAfter_;
    }

    TInterruptWatch& watch_;
    int stopAfter_ = 1;
    std::mutex wakeMutex_;
    std::condition_variable wakeup_;
    bool woken_ = false;
    std::mutex logMutex_;
    std::vector<std::string> log_;
    TConsoleSchema schema_;
    std::atomic<int32_t> openResult_{-1};
    std::atomic<int> progress_{0};
    std::atomic<bool> ended_{false};
    std::atomic<Clock::rep> endTicks_{0};
    Clock::time_point start_{};
    // When each block count was reached, as the reader thread saw it.
    std::array<std::atomic<Clock::rep>, kImageBlocks + 1> ackTicks_{};
};
