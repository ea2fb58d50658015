// Asynchronous serial port: opens and configures a port, writes and reads
// byte strings, fires line events from a reader thread, lists the ports.
#pragma once

#include "platform/Comm.h"
#include "platform/LatencyTimer.h"
#include "runtime/Share.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

class TQeComAsync : public TQeElement {
public:
    TQeComAsync() = default;
    ~TQeComAsync() override;

    // Properties.
    std::string Port;
    int32_t BaudRate = 0;
    int32_t Parity = 0;
    int32_t DataBits = 0; // bits per character less 5: databits8 is 8 bits
    int32_t StopBits = 0;
    int32_t EventChar = 0;
    bool DiscardNull = false;
    bool AbortOnError = false;
    bool ParityCheck = false;
    bool ReplaceErrors = false;
    int32_t ErrorChar = 0;
    bool DsrSensitivity = false;
    bool CtsFlow = false;
    bool DsrFlow = false;
    bool TxContinueOnXoff = false;
    int32_t XoffChar = 0;
    int32_t XonChar = 0;
    bool XonXoffIn = false;
    bool XonXoffOut = false;
    int32_t InBufferSize = 0;
    int32_t OutBufferSize = 0;
    int32_t RtsControl = 0;
    int32_t DtrControl = 0;
    bool EvRxChar = false;
    bool EvRxFlag = false;
    bool EvTxEmpty = false;
    bool EvCts = false;
    bool EvDsr = false;
    bool EvRlsd = false;
    bool EvBreak = false;
    bool EvErr = false;
    bool EvRing = false;
    bool EvRx80Full = false;
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalConstant = 0;
    uint32_t ReadTotalMultiplier = 0;
    uint32_t WriteTotalConstant = 0;
    uint32_t WriteTotalMultiplier = 0;
    bool CheckPorts = false;
    bool FlushOnClose = false;
    // Received bytes that follow one another within this many microseconds
    // are one burst: one onRxChar once the line has been quiet this long,
    // and never less than BurstGapFor the line settings. The default is
    // generous: only a reply of unknown length (the identification) needs
    // it, and a USB adapter or a slow device may hand such a reply over in
    // pieces several milliseconds apart.
    uint32_t BurstGap = default_burst_gap_us;

    // Event outputs.
    TEventLink onWrite;
    TEventLink onRead;
    TEventLink onPort;
    TEventLink onRxChar;
    TEventLink onRing;
    TEventLink onCts;
    TEventLink onDsr;
    TEventLink onRlsd;
    TEventLink onRxFlag;
    TEventLink onBreak;
    TEventLink onRx80Full;
    TEventLink onTxEmpty;
    TEventLink onError;
    TEventLink onBeforeOpen;
    TEventLink onOpen;
    TEventLink onBeforeClose;
    TEventLink onClose;

    // Data outputs.
    // The bytes the last write put out: its whole length, fewer when the
    // write timeout cut it, 0 when it was refused (no port, or the port is
    // closing) or could not start. Read on the writing thread right after
    // the write, it tells whether those bytes left.
    void valWritten(TData& d, uint16_t index);

    // Data inputs.
    TEventLink srcPort;
    TEventLink srcDtr;
    TEventLink srcRts;
    TEventLink srcBaudRate;

    // Event inputs.
    void inOpen(TData& d, uint16_t index);
    void inClose(TData& d, uint16_t index);
    void inWrite(TData& d, uint16_t index);
    void inRead(TData& d, uint16_t index);
    void inEnumPorts(TData& d, uint16_t index);
    // ToInteger of the event value: the burst gap in microseconds from now
    // on (1: report bytes as they come); 0 or less: the gap of the open.
    void inBurstGap(TData& d, uint16_t index);

    // The texts of the last collected line errors.
    std::vector<std::string> ErrorTexts() const;
    // The name that the last inOpen used.
    const std::string& PortName() const { return portName_; }
    // True once the reader of the open port has ended by itself: the line
    // hung up or the device went away (an unplugged USB adapter).
    // The next open clears it.
    bool LineLost() const { return lineLost_; }
    // The gap in use since the last open, in microseconds.
    uint32_t BurstGapInUse() const { return gapUs_; }
    // What the last open did to the adapter's latency timer
    // (platform/LatencyTimer.h), and its line for the log; after a close,
    // the line that says the old value was given back (or empty).
    TLatencyHoldState LatencyHold() const;
    std::string LatencyNote() const;
    // When the last burst's first bytes were seen and when its last came
    // (before the burst gap closed it), on the steady clock; read by the
    // burst's own chain.
    std::chrono::steady_clock::time_point BurstBegan() const;
    std::chrono::steady_clock::time_point BurstEnded() const;

    // The least burst gap for the line settings: three and a half character
    // times, as serial framing conventions use.
    static uint32_t BurstGapFor(int32_t baud, int32_t dataBits, int32_t parity, int32_t stopBits);
    static constexpr uint32_t default_burst_gap_us = 30000;

private:
    bool Configure(const std::string& name, int32_t baud, int32_t dtr, int32_t rts);
    void Close();
    void FireModemLines();
    bool ReadModemStatus();
    void ReaderLoop(std::shared_ptr<TComm> comm, uint32_t generation);
    void DispatchEvents(TComm& comm, uint32_t events, uint32_t generation);
    void Watched(uint32_t generation, uint32_t events, bool hungUp);
    bool Current(uint32_t generation) const;
    void CollectErrors(TComm& comm);
    void JoinReaders();

    std::shared_ptr<TComm> comm_; // the port; guarded by commLock_
    mutable std::shared_mutex commLock_;
    uint32_t mask_ = 0;
    std::atomic<uint32_t> gapUs_{0};   // the gap in use
    std::atomic<uint32_t> openGap_{0}; // the gap the open chose
    std::atomic<bool> open_{false};
    std::atomic<bool> closing_{false}; // transfers refused from here to the end of close
    std::atomic<bool> lineLost_{false};
    std::atomic<int32_t> lastWritten_{0};
    std::atomic<bool> closeClaim_{false}; // one closer at a time
    std::atomic<uint32_t> generation_{0}; // which reader belongs to the open port
    std::atomic<bool> dsrOn_{false};
    std::atomic<bool> ctsOn_{false};
    std::atomic<bool> rlsdOn_{false};
    std::string portName_;
    std::atomic<uint32_t> written_{0}; // orders a write before the reply's handling
    std::atomic<std::chrono::steady_clock::rep> burstBegan_{0}, burstEnded_{0};

    mutable std::mutex errorLock_;
    std::vector<std::string> errorTexts_;

    // The adapter's latency timer, held from before the open to after the
    // close; guarded by latencyLock_.
    mutable std::mutex latencyLock_;
    std::unique_ptr<TLatencyHold> latencyHold_;
    TLatencyHoldState latencyState_ = TLatencyHoldState::not_needed;
    std::string latencyNote_;
    void ReleaseLatency();

    std::mutex threadLock_;             // guards the thread objects only
    std::thread reader_;                // the reader of the open port
    std::vector<std::thread> finished_; // readers whose join was deferred
};
