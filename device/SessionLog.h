// The transcript of a device session, for support: the port and its
// settings, the identification exchange in hexadecimal and as text, one line
// per block (its number, the CRC sent, the reply, the reply's delay), every
// failure with its reason, and the outcome. Each line starts with the
// milliseconds since the port was opened.
//
// The log attaches to a device session's outputs, by taps in front of the
// linked ones and by links on those the schemas leave free; it changes no
// value and no order. The upload's CRC output is the one per-byte point it
// sees: there it only counts, and gathers the block's line when the block is
// complete.
#pragma once

#include "device/DeviceSession.h"
#include "runtime/Share.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TSessionLog : public TQeElement {
public:
    // Told of each finished line (without a line end), on the thread that
    // made it: the window's or main thread, the reader or the watchdog's.
    // Set before the session is first driven.
    std::function<void(const std::string&)> sink;
    // Told when a session has ended: its port closed, or it did not open.
    std::function<void()> ended;

    // Links the log into `session` (after the schema has linked its own
    // displays, before the sub-schemas are created).
    void Attach(TDeviceSession& session);
    // A line of the host's own (an interruption, a lost line, a summary).
    void Note(const std::string& text);
    // Every line since the log was made.
    std::vector<std::string> Lines() const;
    // The lines of the last session: from the last opening of a port.
    std::vector<std::string> LastSession() const;
    // Ends a session still in progress (its port was closed without its
    // close being told, as when a schema is freed): notes it and tells
    // `ended`.
    void Finish();

    // Inputs, as Attach links them.
    void inBeforeOpen(TData& d, uint16_t);
    void inOpen(TData& d, uint16_t);
    void inRead(TData& d, uint16_t);
    void inVers(TData& d, uint16_t);
    void inFound(TData& d, uint16_t);
    void inNotFound(TData& d, uint16_t);
    void inCrc(TData& d, uint16_t);
    void inSuccess(TData& d, uint16_t);
    void inFailure(TData& d, uint16_t);
    void inClose(TData& d, uint16_t);

private:
    using Clock = std::chrono::steady_clock;
    // The block in flight: sent, its reply gathered as it comes.
    struct TBlock {
        int number = 0; // from 1
        std::string crc;
        Clock::time_point sentAt{};
        std::string reply; // hexadecimal, pieces joined by "+"
        Clock::time_point replyAt{};
        bool open = false;
    };

    void Add(const std::string& text); // with the lock held
    void CloseBlock();                 // the block's line, with the lock held
    void End();                        // tells `ended` once per session, without the lock
    std::string Stamp(Clock::time_point at) const;

    TDeviceSession* session_ = nullptr;
    // Each tap's way on.
    TEventLink openOut_, readOut_, versOut_, foundOut_, crcOut_, successOut_, failureOut_;

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    std::size_t sessionStart_ = 0;
    Clock::time_point t0_ = Clock::now();
    bool uploading_ = false;
    bool inSession_ = false; // from an open until `ended` was told
    TBlock block_;
    // Image bytes whose CRC step has been made; touched by one thread at a
    // time (block 0 on the starting thread, then the reader).
    std::atomic<int> bytes_{0};
    std::string lastCrc_;
};

// Hexadecimal bytes separated by spaces ("56 45 52 53"), and the bytes as
// text with anything unprintable as '.' (Windows-1251 letters as UTF-8).
std::string HexBytes(const std::string& bytes);
std::string PrintableText(const std::string& bytes);
