// A serial driver played inside the test process: while it lives, ports
// opened by name go to it instead of the system (platform/windows/CommApi.h).
// It behaves as the Windows serial driver documents:
// - under abort-on-error a line error ends the pending read and write with
//   ERROR_OPERATION_ABORTED, and every read and write fails the same way
//   until ClearCommError has taken the error;
// - purges abort the pending transfers and discard the queues;
// - writes complete at once (their bytes leave for the line) unless held;
//   a flush completes once the output queue has gone out.
// It can also misbehave as a faulty driver may: hold a flush for good, and
// ignore cancels, purges and the close, keeping its pending transfers.
// The test plays the device: it hears what leaves on the line and delivers
// what the device sends. One driver, for one port, at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TFakeCommDriver {
public:
    explicit TFakeCommDriver(std::string portName);
    ~TFakeCommDriver();
    TFakeCommDriver(const TFakeCommDriver&) = delete;
    TFakeCommDriver& operator=(const TFakeCommDriver&) = delete;

    // Told of the bytes that leave for the line, on the writing thread, with
    // no lock held: the device may answer from here.
    std::function<void(std::string_view)> onLine;

    // The device sends these bytes.
    void Deliver(std::string_view bytes);
    // A line error (ce_ flags) with the bytes it leaves in the input queue.
    void LineError(uint32_t errors, std::string_view bytes = {});
    // A line error when the port's line settings are set, as a device that
    // resets while the port opens makes one.
    void LineErrorOnSetState(uint32_t errors);
    // The device is gone: pending transfers end, every later call fails.
    void Unplug();

    // Received bytes stay in the input queue, and a pending read pending,
    // until released: a read that completes late, as wine's may.
    void HoldReads(bool hold);
    // Writes stay pending until released (or aborted).
    void HoldWrites(bool hold);
    // Written bytes stay in the output queue until a flush.
    void HoldOutput(bool hold);
    // Every write completes with this error (0: none).
    void FailWritesWith(uint32_t error);
    // ERROR_GEN_FAILURE: a device that failed a transfer.
    static constexpr uint32_t error_gen_failure = 31;
    // Purges leave pending transfers alone, as wine's serial driver does.
    void PurgeAbortsNothing(bool on);
    // A flush never returns: the thread that calls it stays in the call for
    // the rest of the process (and touches nothing of this driver).
    void HoldFlushes(bool hold);
    // Pending transfers stay pending through cancels, purges and the close;
    // a later delivery or release still completes them.
    void IgnoreCancels(bool on);
    // Called inside WriteFile once a held write is pending, with no lock held.
    std::function<void()> onWritePending;

    // Waits until a read, or a write, is pending; false after timeoutMs.
    bool WaitForPendingRead(int timeoutMs = 5000);
    bool WaitForPendingWrite(int timeoutMs = 5000);

    std::string Line() const;             // every byte that went out
    std::size_t DiscardedOutput() const;  // bytes that purges discarded
    std::vector<uint32_t> Purges() const; // the flags of every purge
    int Flushes() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};
