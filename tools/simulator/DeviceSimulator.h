// A fake Varnomiksal bootloader on a virtual serial port.
#pragma once

#include "tools/simulator/SimLine.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Faults the device can be told to make. A block number k counts from 0;
// -1 means never.
struct SimFaults {
    int wrongCrcAt = -1;       // acknowledge block k with a wrong CRC
    int splitAckAt = -1;       // send the acknowledgement of block k in two bursts (halves)
    int strayAt = -1;          // send stray bytes right after the acknowledgement of block k
    int silenceFrom = -1;      // acknowledge nothing from block k on
    int hangupAt = -1;         // hang the line up once block k has arrived
    int splitReplyAt = -1;     // send the identification reply in two bursts, cut after this byte
    bool ordinaryLast = false; // acknowledge the last block like any other
    int strayBurstAt = -1;     // before the acknowledgement of block k, a stray byte of its own
    int lateAckAt = -1;        // acknowledge block k lateAckMs late
    int lateAckMs = 0;
    int ackSplitMs = -1; // send every acknowledgement in two pieces, this many ms apart
    int xoffAt = -1;     // stop the line with XOFF, then acknowledge block k
};

// One device of a fixture's day (SimConfig::day): seated, written (or not),
// and removed.
struct SimSeating {
    SimFaults faults;
    std::string reply;    // the answer to "VERS"; empty: SimConfig::reply
    bool other = false;   // a device not to be written: removed after its first answer
    bool bounce = false;  // the contact bounces on arrival: after the first answer the
                          // device hears nothing for SimConfig::bounceMs
    bool stays = false;   // goes on answering "VERS" after "PUSK", until removed
    bool doubled = false; // its first answer comes twice in one burst, as a late
                          // answer run into the next
    int swapMs = -1;      // seated this long after the one before left; -1: SimConfig::swapMs
};

struct SimConfig {
    std::string reply = "VARNOMIKSAL VMX-1 8.3"; // answer to "VERS"
    int baud = 0;                                // 0: instant; else bytes take 10 bits each
    int burstGapMs = 30;                         // pause between the two halves of a split burst
    int dribbleUs = 0; // send every reply byte by byte, this many microseconds apart
    // After this many ms without a byte in the middle of a transfer, return
    // to the bootloader's start (as a bootloader's watchdog may): the partial
    // image is dropped and "VERS" is answered again. -1: never; the device
    // then waits for the rest of the image for ever, as it does without one.
    int resetAfterMs = -1;
    // This many ms after "PUSK", return to the bootloader's start, as a
    // device that was reset into it: "VERS" is answered again and a new
    // image is taken. -1: never (the device runs its new firmware).
    int restartAfterPuskMs = -1;
    // A USB adapter's latency timer (an FTDI chip's is 16 ms unless low
    // latency is asked for): a reply waits for the timer's next tick on a
    // free-running clock, so up to this many ms, unless 62 bytes are
    // waiting, which the chip sends at once. 0: no adapter in the way.
    int holdMs = 0;
    // The answer to "VERS" leaves this many ms after the request, as behind
    // an adapter that holds every short reply for its whole latency timer.
    int replyAfterMs = 0;
    SimFaults faults;
    // A fixture's day: these devices one after another. A device's session
    // ends with "PUSK", with its fault (the wrong CRC sent, its silence
    // begun) or, for another device, with its first answer. It is removed
    // leaveMs later, the slot is empty for swapMs, and the next one is
    // seated; after the last the slot stays empty. Empty: one device for ever.
    std::vector<SimSeating> day;
    int leaveMs = 500;
    int swapMs = 1500;
    // A device of the day that has had no image byte this many ms after its
    // first answer is removed, as an operator takes away a board the station
    // left unwritten. -1: it stays.
    int unwrittenLeaveMs = -1;
    int bounceMs = 150;
    // A bootloader that answers "VERS" once per session: every byte after
    // its answer is image data, a second "VERS" included.
    bool strict = false;
};

// Parses a day: devices separated by ';', each a list of words separated by
// ',': ok, bounce, stays, doubled, other=TEXT, reply=TEXT,
// wrong-crc-at=K, silence-from=K, swap=MS. False on a bad word.
bool ParseSimDay(const std::string& text, std::vector<SimSeating>& day);

struct SimReport {
    std::size_t received = 0;    // image bytes received (beyond the image included)
    uint16_t crc = 0xFFFF;       // running CRC-16/MODBUS over them
    bool matchesImage = false;   // exactly the embedded image, byte for byte
    std::size_t beyondImage = 0; // bytes received after the image was complete
    int versRequests = 0;
    int blocksAcknowledged = 0;
    bool finalSent = false;
    bool pusk = false;
    bool hungUp = false;
    bool lineLost = false;           // the far end closed the line
    std::vector<uint8_t> afterFinal; // bytes that came after the final acknowledgement
    int wrongCrcs = 0;               // acknowledgements sent with a wrong CRC
    int resets = 0;                  // returns to the start after a silence (resetAfterMs)
    int restarts = 0;                // returns to the start after "PUSK" (restartAfterPuskMs)
    int wholeImages = 0;             // times the whole image arrived (a rewrite counts twice)
    std::size_t imageBytes = 0;      // image bytes received in all, across restarts
    bool imageBegun = false;         // the image's first bytes arrived (not just stray ones)
};

class DeviceSimulator {
public:
    static constexpr int BlockSize = 256;
    static constexpr int BlockCount = 508;
    static constexpr std::size_t ImageSize = std::size_t(BlockSize) * BlockCount;

    explicit DeviceSimulator(SimConfig config);
    ~DeviceSimulator();

    // Creates the port, registers it as COM<number> in `portDirectory` and
    // starts answering on a thread of its own.
    bool Start(const std::string& portDirectory, int number, std::string& error);
    // Starts answering on a line of the caller's (a socket, for example).
    void Start(std::unique_ptr<SimLine> line);
    void Stop();

    // The port's device node; empty on a line given to Start.
    const std::string& DevicePath() const { return port_ ? port_->DevicePath() : noPath_; }
    SimReport Report() const;
    // A day's devices so far, each with its own report, in order.
    std::vector<SimReport> Seatings() const;
    // The day's last device has been removed.
    bool DayOver() const;
    // The image bytes received so far, in order.
    std::vector<uint8_t> Received() const;
    // Waits until `done` holds for the report, or the time runs out.
    bool WaitFor(const std::function<bool(const SimReport&)>& done, int timeoutMs) const;

private:
    // Waits until `t` seconds on the steady clock, to within microseconds.
    void SleepUntil(double t);
    void Run();
    void OnBytes(const uint8_t* data, std::size_t size);
    void OnBlockComplete(int block);
    void Send(const std::vector<uint8_t>& bytes);
    void SendBurst(const std::vector<uint8_t>& bytes);
    void SendSplit(const std::vector<uint8_t>& bytes, std::size_t cut, int gapMs);
    void WaitForLine();
    void ResetToStart();
    // A fixture's day: the session is over; the next step of the day is due.
    void EndSeating();
    void NextOfDay();
    // Whether the line carries nothing now: the slot is empty, or the contact bounces.
    bool Unseated() const;
    const SimFaults& Faults() const;
    std::string Reply() const;

    SimConfig config_;
    std::unique_ptr<SimLine> line_;
    TVirtualPort* port_ = nullptr; // the line's port, if it is one
    std::string noPath_;
    std::thread thread_;
    std::atomic<bool> stop_{false};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    SimReport report_;
    std::vector<uint8_t> image_;   // received image bytes
    std::vector<uint8_t> command_; // bytes of a command being received
    bool transferring_ = false;
    double puskAt_ = 0; // when "PUSK" came, for a restart after it

    // A fixture's day: the device seated, its state, and what the earlier ones saw.
    enum class DayState { seated, leaving, empty };
    std::size_t seating_ = 0;
    DayState dayState_ = DayState::seated;
    double dayAt_ = 0;         // when leaving or empty ends
    double bounceUntil_ = 0;   // the bouncing contact hears nothing until then
    bool answered_ = false;    // the seated device has answered "VERS"
    bool versHeard_ = false;   // this session has answered "VERS" (strict: no second one)
    double firstAnswerAt_ = 0; // when the seated device first answered
    std::vector<SimReport> history_;

    double lineTime_ = 0; // seconds per byte; 0 for an instant device
    double lineBusyUntil_ = 0;
    // How late the system wakes this device's sleeps, learnt as it goes.
    std::atomic<double> lateness_{0};
};
