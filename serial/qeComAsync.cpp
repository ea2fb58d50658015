#include "serial/qeComAsync.h"

#include "platform/Ports.h"
#include "platform/ThreadPriority.h"

#include <algorithm>
#include <system_error>

namespace {

// n of a port name "COM" n: at most 6 characters, "COM" in any letter case,
// then the decimal digits up to the first other byte; 0 when it fails.
int PortNumberOf(const std::string& name) {
    if (name.size() > 6 || name.size() < 3) return 0;
    for (int i = 0; i < 3; ++i) {
        char c = name[i];
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
        if (c != "COM"[i]) return 0;
    }
    int n = 0;
    for (std::size_t i = 3; i < name.size() && name[i] >= '0' && name[i] <= '9'; ++i)
        n = n * 10 + (name[i] - '0');
    return n >= 1 && n <= 255 ? n : 0;
}

uint32_t Bit(bool on, uint32_t bit) {
    return on ? bit : 0;
}

} // namespace

uint32_t TQeComAsync::BurstGapFor(int32_t baud, int32_t dataBits, int32_t parity,
                                  int32_t stopBits) {
    if (baud <= 0) return 0;
    // Bits of one character, in halves: start, data, parity, stop (1, 1.5 or 2).
    const int64_t halfBits =
        2 * (1 + dataBits + 5 + (parity != noparity ? 1 : 0)) + (stopBits == one5stopbits  ? 3
                                                                 : stopBits == twostopbits ? 4
                                                                                           : 2);
    // 3.5 characters = 7 halves of a character.
    const int64_t us = halfBits * 7 * 1000000 / (4 * int64_t(baud));
    return uint32_t(std::min<int64_t>(us, 1000000));
}

TQeComAsync::~TQeComAsync() {
    Close();
    JoinReaders();
    // Only a reader that destroys its own element is left: let it run out.
    std::lock_guard lock(threadLock_);
    for (auto& t : finished_)
        t.detach();
    finished_.clear();
}

void TQeComAsync::inOpen(TData& d, uint16_t) {
    if (open_ || closeClaim_) return;
    FireNull(onBeforeOpen);
    std::string name = ReadString(d, srcPort, Port);
    portName_ = name;
    int n = PortNumberOf(name);
    if (n == 0) {
        FireInteger(onOpen, 0);
        return;
    }
    int32_t dtr = ReadInteger(d, srcDtr, DtrControl);
    int32_t rts = ReadInteger(d, srcRts, RtsControl);
    int32_t baud = ReadInteger(d, srcBaudRate, BaudRate);
    if (!Configure(name, baud, dtr, rts)) {
        FireInteger(onOpen, 0);
        return;
    }
    if (ReadModemStatus()) FireModemLines();
    FireInteger(onOpen, n);
}

void TQeComAsync::inClose(TData&, uint16_t) {
    Close();
}

void TQeComAsync::inWrite(TData& d, uint16_t) {
    // A string is written from the record itself; other values as text.
    const std::string text = d.type == data_str ? std::string() : ToString(d);
    const std::string_view bytes = d.type == data_str ? d.sdata.view() : text;
    // Read back on this thread only: no ordering is needed.
    lastWritten_.store(0, std::memory_order_relaxed);
    if (!open_ || closing_) return;
    std::size_t written = 0;
    bool started;
    {
        std::shared_lock lock(commLock_);
        if (!comm_) return;
        // Everything the writer did before these bytes left is visible to
        // whichever thread handles the device's reply to them.
        written_.fetch_add(1, std::memory_order_release);
        started = comm_->Write(bytes, written);
    }
    if (!started) return;
    lastWritten_.store(int32_t(written), std::memory_order_relaxed);
    FireInteger(onWrite, int32_t(written));
}

void TQeComAsync::valWritten(TData& d, uint16_t) {
    SetInteger(d, lastWritten_.load(std::memory_order_relaxed));
}

void TQeComAsync::inRead(TData& d, uint16_t) {
    int32_t count = ToInteger(d);
    if (!open_ || closing_) return;
    std::string bytes;
    bool started;
    {
        std::shared_lock lock(commLock_);
        if (!comm_) return;
        written_.load(std::memory_order_acquire);
        started = comm_->Read(bytes, count > 0 ? std::size_t(count) : 0);
    }
    if (started) FireString(onRead, std::move(bytes));
}

void TQeComAsync::inEnumPorts(TData&, uint16_t) {
    for (const TPortEntry& port : ListPorts()) {
        if (!CheckPorts) {
            FireString(onPort, port.name);
            continue;
        }
        // Only a port that can be opened now is offered.
        if (std::unique_ptr<TComm> probe = TComm::Open(port.name)) {
            FireString(onPort, port.name);
            probe.reset();
        }
    }
}

void TQeComAsync::inBurstGap(TData& d, uint16_t) {
    const int32_t us = ToInteger(d);
    gapUs_ = us > 0 ? uint32_t(us) : openGap_.load();
}

void TQeComAsync::ReleaseLatency() {
    std::lock_guard lock(latencyLock_);
    if (!latencyHold_) return;
    latencyNote_ = latencyHold_->Release();
    latencyHold_.reset();
}

std::chrono::steady_clock::time_point TQeComAsync::BurstBegan() const {
    using Clock = std::chrono::steady_clock;
    return Clock::time_point(Clock::duration(burstBegan_.load()));
}

std::chrono::steady_clock::time_point TQeComAsync::BurstEnded() const {
    using Clock = std::chrono::steady_clock;
    return Clock::time_point(Clock::duration(burstEnded_.load()));
}

TLatencyHoldState TQeComAsync::LatencyHold() const {
    std::lock_guard lock(latencyLock_);
    return latencyState_;
}

std::string TQeComAsync::LatencyNote() const {
    std::lock_guard lock(latencyLock_);
    return latencyNote_;
}

std::vector<std::string> TQeComAsync::ErrorTexts() const {
    std::lock_guard lock(errorLock_);
    return errorTexts_;
}

bool TQeComAsync::Configure(const std::string& name, int32_t baud, int32_t dtr, int32_t rts) {
    JoinReaders();
    // An adapter's latency timer is set before its port opens (D2XX cannot
    // reach an adapter whose port is open), and given back after the close.
    {
        auto hold = std::make_unique<TLatencyHold>(name);
        std::lock_guard lock(latencyLock_);
        latencyState_ = hold->State();
        latencyNote_ = hold->Note();
        latencyHold_ = std::move(hold);
    }
    std::unique_ptr<TComm> opened = TComm::Open(name);
    if (!opened) {
        ReleaseLatency();
        return false;
    }
    std::shared_ptr<TComm> comm = std::move(opened);
    {
        std::unique_lock lock(commLock_);
        comm_ = comm;
    }
    closing_ = false;
    lineLost_ = false;
    const uint32_t generation = ++generation_;
    open_ = true;

    if (uint32_t(rts) > 3) rts = 0;
    if (uint32_t(dtr) > 2) dtr = 0;

    TCommState s;
    comm->GetState(s);
    s.BaudRate = uint32_t(baud);
    s.Binary = true;
    s.ParityCheck = ParityCheck;
    s.OutxCtsFlow = CtsFlow;
    s.OutxDsrFlow = DsrFlow;
    s.DtrControl = uint8_t(dtr);
    s.DsrSensitivity = DsrSensitivity;
    s.TxContinueOnXoff = TxContinueOnXoff;
    s.OutX = XonXoffOut;
    s.InX = XonXoffIn;
    s.ErrorCharEnabled = ParityCheck && ReplaceErrors;
    s.DiscardNull = DiscardNull;
    s.RtsControl = uint8_t(rts);
    s.AbortOnError = AbortOnError;
    s.XonLim = uint16_t(InBufferSize / 4);
    s.XoffLim = uint16_t(InBufferSize / 4);
    s.ByteSize = uint8_t(DataBits + 5);
    s.Parity = uint8_t(Parity);
    s.StopBits = uint8_t(StopBits);
    s.XonChar = char(XonChar);
    s.XoffChar = char(XoffChar);
    s.EvtChar = char(EventChar);
    if (ParityCheck && ReplaceErrors) s.ErrorChar = char(ErrorChar);

    mask_ = Bit(EvRxChar, ev_rxchar) | Bit(EvRxFlag, ev_rxflag) | Bit(EvTxEmpty, ev_txempty) |
            Bit(EvCts, ev_cts) | Bit(EvDsr, ev_dsr) | Bit(EvRlsd, ev_rlsd) |
            Bit(EvBreak, ev_break) | Bit(EvErr, ev_err) | Bit(EvRing, ev_ring) |
            Bit(EvRx80Full, ev_rx80full);

    TCommTimeouts t;
    t.ReadIntervalTimeout = ReadIntervalTimeout;
    t.ReadTotalMultiplier = ReadTotalMultiplier;
    t.ReadTotalConstant = ReadTotalConstant;
    t.WriteTotalMultiplier = WriteTotalMultiplier;
    t.WriteTotalConstant = WriteTotalConstant;

    bool ok = comm->Purge(purge_txclear | purge_rxclear);
    comm->Setup(uint32_t(InBufferSize), uint32_t(OutBufferSize));
    ok = ok && comm->SetState(s) && comm->SetTimeouts(t) && comm->SetMask(mask_);
    if (!ok) {
        Close();
        return false;
    }

    openGap_ = std::max(BurstGap, BurstGapFor(baud, DataBits, Parity, StopBits));
    gapUs_ = openGap_.load();
    // Where the system reports line events by callback (the browser), they
    // come without a reader thread.
    if (mask_ != 0 &&
        comm->Watch([this, generation](uint32_t events,
                                       bool hungUp) { Watched(generation, events, hungUp); },
                    [this] { return gapUs_.load(); }))
        return true;
    if (mask_ != 0) {
        try {
            std::lock_guard lock(threadLock_);
            reader_ = std::thread(&TQeComAsync::ReaderLoop, this, comm, generation);
        } catch (const std::system_error&) {
            Close();
            return false;
        }
    }
    return true;
}

// Reads the modem lines into the element's state; only while open.
bool TQeComAsync::ReadModemStatus() {
    if (!open_) return false;
    uint32_t status = 0;
    {
        std::shared_lock lock(commLock_);
        if (!comm_ || !comm_->GetModemStatus(status)) return false;
    }
    ctsOn_ = (status & ms_cts_on) != 0;
    dsrOn_ = (status & ms_dsr_on) != 0;
    rlsdOn_ = (status & ms_rlsd_on) != 0;
    return true;
}

void TQeComAsync::FireModemLines() {
    if (ctsOn_) FireInteger(onCts, 1);
    if (dsrOn_) FireInteger(onDsr, 1);
    if (rlsdOn_) FireInteger(onRlsd, 1);
}

// The reader of one open port. It holds its own reference to the device, so
// that a close from inside one of its chains leaves it a valid (closed)
// device to fail on. Received bytes are reported as whole bursts: once the
// line has been quiet for the gap in use after the last of them. Its exit
// discards only received bytes: what was written may still be on its way.
void TQeComAsync::ReaderLoop(std::shared_ptr<TComm> comm, uint32_t generation) {
    RaiseCurrentThreadPriority();
    uint32_t events = 0;
    while (comm->WaitEvent(events)) {
        if (events & ev_rxchar) {
            auto now = [] { return std::chrono::steady_clock::now().time_since_epoch().count(); };
            burstBegan_ = now();
            burstEnded_ = burstBegan_.load();
            while (comm->WaitMoreInput(gapUs_.load()))
                burstEnded_ = now();
        }
        if (!Current(generation)) break;
        DispatchEvents(*comm, events, generation);
    }
    if (Current(generation)) lineLost_ = true;
    comm->SetMask(0);
    comm->Purge(purge_rxclear);
}

// The reader's work for a device that reports its events by callback: the
// same dispatch, and the same end when the line hangs up.
void TQeComAsync::Watched(uint32_t generation, uint32_t events, bool hungUp) {
    std::shared_ptr<TComm> comm;
    {
        std::shared_lock lock(commLock_);
        comm = comm_;
    }
    if (!comm) return;
    if (hungUp) {
        if (Current(generation)) lineLost_ = true;
        comm->SetMask(0);
        comm->Purge(purge_rxclear);
        return;
    }
    if (Current(generation)) DispatchEvents(*comm, events, generation);
}

bool TQeComAsync::Current(uint32_t generation) const {
    return open_ && !closing_ && generation_ == generation;
}

// Fires the completed events in a fixed order; stops when a handler closed
// the port.
void TQeComAsync::DispatchEvents(TComm& comm, uint32_t events, uint32_t generation) {
    if (events & ev_rxchar) {
        uint32_t errors = 0, inQueue = 0;
        if (comm.ClearError(errors, inQueue)) FireInteger(onRxChar, int32_t(inQueue));
    }
    if ((events & ev_txempty) && Current(generation)) FireNull(onTxEmpty);
    if ((events & ev_break) && Current(generation)) FireNull(onBreak);
    if ((events & ev_ring) && Current(generation)) FireNull(onRing);
    if ((events & ev_cts) && Current(generation) && ReadModemStatus())
        FireInteger(onCts, ctsOn_ ? 1 : 0);
    if ((events & ev_dsr) && Current(generation) && ReadModemStatus())
        FireInteger(onDsr, dsrOn_ ? 1 : 0);
    if ((events & ev_rxflag) && Current(generation)) FireNull(onRxFlag);
    if ((events & ev_rlsd) && Current(generation) && ReadModemStatus())
        FireInteger(onRlsd, rlsdOn_ ? 1 : 0);
    if ((events & ev_err) && Current(generation)) {
        if (!AbortOnError) CollectErrors(comm);
        FireNull(onError);
    }
    if ((events & ev_rx80full) && Current(generation)) FireNull(onRx80Full);
}

void TQeComAsync::CollectErrors(TComm& comm) {
    if (!open_) return;
    uint32_t errors = 0, inQueue = 0;
    if (!comm.ClearError(errors, inQueue)) return;
    std::lock_guard lock(errorLock_);
    errorTexts_.clear();
    if (errors & ce_frame) errorTexts_.push_back("Receive Framing Error");
    if ((errors & ce_rxparity) && ParityCheck) errorTexts_.push_back("Receive Parity Error");
    if (errors & ce_overrun) errorTexts_.push_back("Receive Overrun Error");
    if (errors & ce_rxover) errorTexts_.push_back("Receive Queue overflow");
    if (errors & ce_txfull) errorTexts_.push_back("TX Queue is full");
    if (errors & ce_break) errorTexts_.push_back("Break Detected");
    if (errors & ce_ioe) errorTexts_.push_back("Port I/O Error");
    if (errors & ce_mode) errorTexts_.push_back("Requested mode unsupported");
}

// Closes the port. The reader is woken (mask 0), its transfer in progress is
// aborted, the chain it runs returns and it is joined before the device is
// closed. Called on the reader itself, the join is left to a later open,
// close or the destructor. What was written before the close still goes
// out: the output is drained (within the write timeout) before any purge,
// whatever FlushOnClose says, so a closing command such as "PUSK" is never
// thrown away. No lock is held while events fire.
void TQeComAsync::Close() {
    if (!open_) return;
    bool expected = false;
    if (!closeClaim_.compare_exchange_strong(expected, true)) {
        // Another thread is closing: wait for its reader unless it is us.
        JoinReaders();
        return;
    }
    FireNull(onBeforeClose);
    closing_ = true;
    {
        std::shared_lock lock(commLock_);
        if (comm_) {
            comm_->SetMask(0);
            comm_->Purge(purge_txabort | purge_rxabort);
        }
    }
    JoinReaders();
    {
        std::unique_lock lock(commLock_);
        if (comm_) {
            // Output that cannot drain (a line held by flow control) is
            // discarded rather than left to hold the close up.
            const bool drained = comm_->Flush();
            comm_->Purge(purge_txabort | purge_rxabort | purge_rxclear |
                         (drained ? 0u : uint32_t(purge_txclear)));
        }
    }
    FireInteger(onCts, 0);
    FireInteger(onDsr, 0);
    FireInteger(onRlsd, 0);
    {
        std::unique_lock lock(commLock_);
        if (comm_) comm_->Close();
        comm_.reset();
    }
    ReleaseLatency();
    FireNull(onClose);
    open_ = false;
    closing_ = false;
    closeClaim_ = false;
}

// Joins every reader thread but the calling one, whose join is deferred.
void TQeComAsync::JoinReaders() {
    std::vector<std::thread> joinable;
    {
        std::lock_guard lock(threadLock_);
        const auto self = std::this_thread::get_id();
        if (reader_.joinable()) finished_.push_back(std::move(reader_));
        for (auto it = finished_.begin(); it != finished_.end();) {
            if (it->get_id() != self) {
                joinable.push_back(std::move(*it));
                it = finished_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // The reader may be inside a call that waits for the window thread.
    if (!joinable.empty())
        WaitForOtherThread([&] {
            for (auto& t : joinable)
                t.join();
        });
}
