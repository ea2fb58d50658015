// One slot of a station: a port where boards are seated one after another.
// The rules of a seating:
// - An empty slot asks "VERS" every poll. A bootloader's answer arrives; the
//   slot then listens, sending nothing, for the settle time. Another burst in
//   that time, or a lost line, is a bounce: the board is asked again on a new
//   session. Otherwise the board has arrived: a device of another name than
//   expected is refused, and any other is written on the session that
//   answered, with nothing sent in between.
// - After its attempt a board's result stays shown until the next board
//   arrives; after a quiet start time the slot asks "VERS" on a new session
//   every poll:
//   - after a failure, a bootloader's answer is an arrival: the board was
//     reset into its bootloader, or another one was seated;
//   - after a pass, an answer to the first poll (awaited kLeaveMs) is the
//     board staying in its bootloader (held, not written again); an answer
//     of the same name after silence, but within kReturnWindowMs of "PUSK",
//     is the board back in its bootloader, or a board seated sooner than
//     the slot tells apart from it: shown, recorded and held, not written;
//     a later answer, or one of another name, is an arrival.
// - A held board (refused, staying or back) is not written; it has left
//   once kPollsToLeave polls in a row, and kLeaveMs, go without its answer.
//   A bootloader of another name or version in its place is an arrival (a
//   version that begins with the other's is the same: a late answer run
//   into the next, in either answer).
// - A port that goes away ends any seating.
#pragma once

#include "device/Flasher.h"
#include "platform/Interrupt.h"
#include "platform/Ports.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// Where a slot sits.
struct TSlotPlace {
    std::string name;      // its location where the system knows it, else the COM name
    bool located = false;  // the name is a location: the slot follows it to whatever
                           // port sits there (an adapter plugged in again may get
                           // another COM name)
    std::string port;      // "COM<n>", now
    std::string usb;       // "vendor:product:serial" where known, else empty
    std::string usbSerial; // the adapter's serial, or empty
};

// The place of the port: its location where the system knows it.
TSlotPlace PlaceOf(const TPortEntry& port);

// What a slot does, as its events and record lines tell it.
struct TSlotEvent {
    TSlotEvent(std::string what = {}) : kind(std::move(what)) {}
    // arrived, started, progress, passed, failed, interrupted, wrong-device,
    // returned (back in its bootloader after "PUSK"), not-written (the station
    // stopped before its write), left, missing (the port went away), back
    // (it came back), unavailable (it cannot be opened)
    std::string kind;
    std::string time; // ISO 8601 UTC
    std::string device, version;
    int percent = -1;      // progress: 10, 20, ... 90
    int blocks = 0;        // passed, failed: blocks written whole
    double seconds = -1;   // passed, failed: the upload's seconds
    std::string failure;   // failed: unexpected_reply, silence, line_lost, start_not_sent
    std::string message;   // failed, wrong-device: in words
    std::string startTime; // attempts: when the upload began (or the device was refused)
};

// How long after "PUSK" a bootloader's answer is taken for the same board
// back in its bootloader; the listening time before a write; the polls in a
// row without its answer after which a held board has left.
inline constexpr int kReturnWindowMs = 3000;
inline constexpr int kSettleMs = 200;
// After an attempt the port stays open this long with nothing sent: the
// device takes "PUSK" and starts (opening the port anew purges its output).
inline constexpr int kStartQuietMs = 500;
inline constexpr int kPollsToLeave = 3;
// A held board has left once it has not answered for this long (and
// kPollsToLeave polls); the first poll after an attempt waits this long for
// its answer. Replies a loaded machine delays are not taken for silence.
inline constexpr int kLeaveMs = 1000;

enum class TSlotState {
    waiting,        // no device; asking every poll
    arrived,        // a device has arrived; waiting for its turn to be written
    writing,        // uploading
    passed,         // written and started; waiting for it to leave
    failed,         // failed; waiting for it to be reset, or to leave
    wrong_device,   // another device than expected; waiting for it to leave
    returned,       // back in its bootloader soon after "PUSK"; not written again
    interrupted,    // the upload was interrupted
    not_written,    // the station stopped before its write
    not_bootloader, // something answered, but not a Varnomiksal bootloader
    missing,        // the port is gone
    unavailable,    // the port cannot be opened (busy, no permission)
};

// What a host shows of a slot.
struct TSlotView {
    TSlotState state = TSlotState::waiting;
    int percent = 0;
    std::string device, version;
    std::string note; // why the port cannot be opened
    // The last board, once it has left (none while lastDevice is empty): its
    // state when it left.
    TSlotState lastState = TSlotState::waiting;
    std::string lastDevice, lastVersion;
    int passed = 0, failed = 0, wrong = 0;
};

// What a slot needs of its station.
class TSlotHost {
public:
    virtual ~TSlotHost() = default;
    // Whether new devices are still taken (not after Ctrl+C, --count, or a
    // record that could not be written).
    virtual bool Taking() const = 0;
    // Asks to start a write, and tells `started` if it may: false once the
    // station stops taking devices, or while the writes under way could
    // still reach --count. EndWrite follows every granted write, after its
    // Record.
    virtual bool BeginWrite(const TSlotPlace& place, const TSlotEvent& started) = 0;
    virtual void EndWrite() = 0;
    // Shows or prints an event; from the slot's thread.
    virtual void Tell(const TSlotPlace& place, const TSlotEvent& event) = 0;
    // Records an attempt (passed, failed, wrong-device, interrupted) and
    // returns once it is on disk; the slot takes no device before.
    virtual void Record(const TSlotPlace& place, const TSlotEvent& attempt) = 0;
    // The session log's new lines.
    virtual void Log(const TSlotPlace& place, std::vector<std::string> lines) = 0;
    // Why the port did not open (busy, no permission), in words for the
    // view and the event.
    virtual std::string OpenProblem(const std::string& port) const = 0;
};

struct TSlotSettings {
    int pollMs = 500;
    std::string expectDevice;           // empty: any
    const std::string* image = nullptr; // written instead of the carried image, when given
};

class TStationSlot {
public:
    TStationSlot(TSlotHost& host, TInterruptWatch& watch, TSlotPlace place, TSlotSettings settings);

    // The slot's life, until the station stops taking devices (and any
    // upload has ended); on a thread of its own.
    void Run();

    TSlotView View() const;
    TSlotPlace Place() const;

private:
    using Clock = std::chrono::steady_clock;
    enum class TAnswer { none, bootloader, other, gone, unavailable, interrupted };
    // The port that sits at the slot's place now; false when none does.
    bool FindPort(std::string& device);
    // empty: no board; held: a board not to be written; done: a board's
    // attempt has ended.
    enum class TPhase { empty, held, done };

    // One poll on the current session (opening one first if there is none):
    // "VERS", then up to one poll's time for the answer.
    TAnswer Poll();
    // Sleeps out the rest of the poll's time, unless the station stops.
    void RestOfPoll() const;
    void OnSilence(bool otherAnswer);
    void OnBootloader();
    void Arrive();
    void Refuse(const char* kind, const std::string& message, TSlotState state);
    void Write();
    void Hold();
    void Leave(const char* kind);
    void Set(TSlotState state);
    void Tell(TSlotEvent event);
    TSlotEvent Attempt(const char* kind) const;
    void Unavailable(const std::string& note);

    TSlotHost& host_;
    TInterruptWatch& watch_;
    mutable std::mutex placeMutex_; // the port changes when the slot follows its place
    TSlotPlace place_;
    const TSlotSettings settings_;
    std::unique_ptr<TFlasher> flasher_;
    TIdentifyResult found_;   // the last bootloader's answer
    TIdentifyResult held_;    // the held board's answer
    TIdentifyResult written_; // the last board written
    TPhase phase_ = TPhase::empty;
    int silent_ = 0;              // held: polls in a row without its answer
    Clock::time_point heardAt_{}; // held: its last answer
    bool passed_ = false;         // done: the attempt passed
    bool quietSince_ = false;     // done: a poll has gone unanswered since
    Clock::time_point puskAt_{};  // done: when the attempt ended
    std::string unavailable_;     // why the port cannot be opened, once told
    Clock::time_point pollStart_{};

    mutable std::mutex viewMutex_;
    TSlotView view_;
};

// The time as ISO 8601 UTC with milliseconds: "2026-12-08T16:58:01.123Z".
std::string UtcNow();
