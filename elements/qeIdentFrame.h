// IdentFrame: frames the device's identification reply by what it must hold.
// A reply is its signature, a delimiter, the device's name, a delimiter and
// the version. Bursts are joined while the bytes so far can still begin a
// reply and its head (signature and name) has not ended: while they are a
// prefix of the signature and its delimiter, or hold fewer delimiters than
// the head has. Then they go on as one reply (the version ends where the
// burst that completed the head ends). Bytes that cannot begin a reply go on
// at once; so do those held when the wait limit passes without the head.
// The limit is kept by one platform timer that all frames of the process
// share, and that runs only while some frame holds bytes or waits.
//
// It also tells of silence: once the request has gone out (inRequest), no
// byte for SilenceLimit ms fires onSilence, once; a reply that comes later
// is framed as any other.
#pragma once

#include "runtime/Share.h"

#include <chrono>
#include <mutex>
#include <string>

class TQeIdentFrame : public TQeElement {
public:
    ~TQeIdentFrame() override;

    std::string Signature;    // the reply's first token
    std::string Delimiter;    // what ends each token of the head
    int32_t Delimiters = 2;   // delimiters that end the head
    uint8_t IgnoreCase = 0;   // 1: letter case does not count in the signature
    int32_t WaitLimit = 1000; // milliseconds from the first byte held
    int32_t SilenceLimit = 0; // milliseconds from the request; 0: never told
    TEventLink onFrame;       // a reply to parse, or bytes that cannot be one
    TEventLink onSilence;     // nothing came within SilenceLimit of the request

    // A received burst (the reader thread).
    void inAdd(TData& d, uint16_t index);
    // Drops what is held, and any wait for a reply (a new port is chosen).
    void inClear(TData& d, uint16_t index);
    // The request has gone out: silence is timed from now.
    void inRequest(TData& d, uint16_t index);

    // Stops the wait limit's checks of this frame and waits until a check in
    // progress has left it (not when called from that check).
    void Halt();
    // Passes on what is held once the limit has passed; the shared timer
    // calls it.
    void Expire(std::chrono::steady_clock::time_point now);

private:
    using Clock = std::chrono::steady_clock;
    // Whether `bytes` must wait for more.
    bool Incomplete(const std::string& bytes) const;

    std::mutex judge_;      // one reply is passed on at a time, in order
    std::mutex state_;      // held_ and due_
    std::string held_;      // the bytes so far
    Clock::time_point due_; // when the held bytes go on, or silence is told
    bool silent_ = false;   // waiting for the first byte after the request
};
