// One slot of a station: a port where devices are seated one after another.
// The slot asks "VERS" every poll; a device that answers twice in a row is
// written at once; then the slot waits for it to leave (three polls without
// an answer, or the port gone) before it takes the next one. A device is
// thus written once per seating, however long it stays or answers, and a
// contact that bounces on arrival is still one device.
#pragma once

#include "app/cli/Flasher.h"
#include "app/cli/ImageFile.h"
#include "platform/Interrupt.h"
#include "platform/Ports.h"

#include <atomic>
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
    // arrived, started, progress, passed, failed, wrong-device, left,
    // missing (the port went away), back (it came back)
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

enum class TSlotState {
    waiting,        // no device; asking every poll
    arrived,        // a device answered once; written at its next answer
    writing,        // uploading
    passed,         // written and started; waiting for it to leave
    failed,         // failed; waiting for it to be reset, or to leave
    wrong_device,   // another device than expected; waiting for it to leave
    interrupted,    // the upload was interrupted
    not_bootloader, // something answered, but not a Varnomiksal bootloader
    missing,        // the port is gone
    unavailable,    // the port cannot be opened (busy, no permission)
};

// What the screen shows of a slot.
struct TSlotView {
    TSlotState state = TSlotState::waiting;
    int percent = 0;
    std::string device, version;
    std::string note; // why the port cannot be opened
    int passed = 0, failed = 0, wrong = 0;
};

// What a slot needs of its station.
class TSlotHost {
public:
    virtual ~TSlotHost() = default;
    // Whether new devices are still taken (not after Ctrl+C, or --count).
    virtual bool Taking() const = 0;
    // Shows or prints an event; from the slot's thread.
    virtual void Tell(const TSlotPlace& place, const TSlotEvent& event) = 0;
    // Records an attempt (passed, failed, wrong-device, interrupted) and
    // returns once it is on disk; the slot takes no device before.
    virtual void Record(const TSlotPlace& place, const TSlotEvent& attempt) = 0;
    // The session log's new lines.
    virtual void Log(const TSlotPlace& place, std::vector<std::string> lines) = 0;
};

struct TSlotSettings {
    int pollMs = 500;
    std::string expectDevice;           // empty: any
    const TWriteImage* image = nullptr; // written instead of the carried image when a file
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
    enum class TAnswer { none, bootloader, other, gone, unavailable, interrupted };
    // The port that sits at the slot's place now; false when none does.
    bool FindPort(std::string& device);
    enum class TPhase { empty, seated, leaving };

    // One poll on the current flasher (opening one first if there is none):
    // "VERS", then up to one poll's time for the answer.
    TAnswer Poll();
    void Write();
    void Leave(const char* kind);
    void Set(TSlotState state);
    void Tell(TSlotEvent event);

    TSlotHost& host_;
    TInterruptWatch& watch_;
    mutable std::mutex placeMutex_; // the port changes when the slot follows its place
    TSlotPlace place_;
    const TSlotSettings settings_;
    std::unique_ptr<TFlasher> flasher_;
    TIdentifyResult found_; // the last bootloader's answer
    TPhase phase_ = TPhase::empty;
    int silent_ = 0;        // polls in a row without an answer
    bool answered_ = false; // the last poll was answered by a bootloader

    mutable std::mutex viewMutex_;
    TSlotView view_;
};

// The time as ISO 8601 UTC with milliseconds: "2026-12-08T16:58:01.123Z".
std::string UtcNow();
