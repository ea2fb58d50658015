// Serial device on Windows: the comm API on an overlapped handle. A receiver
// thread of the device's own keeps a one-byte read pending and, whenever it
// completes, takes what else the driver holds; the bytes wait in a staged
// input queue that waits, counts and reads work on. Every read of the device
// happens on that thread, which keeps the bytes in order, and the handle's
// read timeouts stay "wait for the bytes asked for", so the read timeouts the
// caller sets are kept by this file.
#include "platform/Comm.h"

#include "platform/CommTimeouts.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// The input queue's size when none was set.
constexpr uint32_t default_in_queue = 4096;

// An event for one overlapped transfer.
struct TOverlapped {
    OVERLAPPED ov{};
    TOverlapped() { ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~TOverlapped() {
        if (ov.hEvent) CloseHandle(ov.hEvent);
    }
    TOverlapped(const TOverlapped&) = delete;
    TOverlapped& operator=(const TOverlapped&) = delete;
    void Reset() {
        HANDLE e = ov.hEvent;
        ov = OVERLAPPED{};
        ov.hEvent = e;
        ResetEvent(e);
    }
};

// Milliseconds to wait until deadline, rounded up; INFINITE for none (max).
DWORD MsUntil(Clock::time_point deadline) {
    if (deadline == Clock::time_point::max()) return INFINITE;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return DWORD(std::clamp<int64_t>(left, 0, 0x7FFFFFFF));
}

} // namespace

struct TComm::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE stopEvent = nullptr;  // ends the receiver
    HANDLE abortEvent = nullptr; // set by Purge with abort flags: ends writes
    std::atomic<uint32_t> abortGen{0};
    std::atomic<uint32_t> mask{0};
    std::atomic<bool> closed{false};

    std::mutex settingsLock;
    TCommTimeouts timeouts;
    uint32_t inQueueSize = default_in_queue;

    // The staged input queue, filled by the receiver.
    std::mutex rxLock;
    std::condition_variable rxChanged;
    std::string rxStage;
    uint64_t staged = 0;    // bytes ever staged
    bool rxFailed = false;  // the device failed or hung up: nothing more comes
    uint32_t wakeCount = 0; // bumped by SetMask and Close
    std::thread receiver;

    // The completion record of writes, made once: one write at a time.
    std::mutex writeLock;
    TOverlapped writeRecord;
    std::once_flag receiverStarted;

    // Used only by the waiting thread.
    uint64_t reportedRx = 0;
    bool rx80Reported = false;

    ~Impl() { Shut(); }

    void Shut() {
        if (closed.exchange(true)) return;
        {
            std::lock_guard lock(rxLock);
            ++wakeCount;
        }
        rxChanged.notify_all();
        if (stopEvent) SetEvent(stopEvent);
        if (receiver.joinable()) receiver.join();
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        if (stopEvent) CloseHandle(stopEvent);
        if (abortEvent) CloseHandle(abortEvent);
        stopEvent = abortEvent = nullptr;
        timeEndPeriod(1);
    }

    // The receiver starts with the first wait or read, so that opening a port
    // only to see that it can be opened changes nothing on it. Its reads wait
    // for the bytes they ask for: the handle has no read timeouts.
    void StartReceiver() {
        std::call_once(receiverStarted, [this] {
            COMMTIMEOUTS none{};
            if (closed || !SetCommTimeouts(handle, &none)) return Fail();
            try {
                receiver = std::thread([this] { Receive(); });
            } catch (...) {
                Fail();
            }
        });
    }

    uint32_t QueueSize() {
        std::lock_guard lock(settingsLock);
        return inQueueSize ? inQueueSize : default_in_queue;
    }

    // Waits for an overlapped transfer; on a stop it is cancelled first. The
    // count it moved, or -1 when it failed, -2 when it was stopped.
    long Finish(TOverlapped& t, HANDLE stop) {
        HANDLE events[2] = {t.ov.hEvent, stop};
        DWORD r = WaitForMultipleObjects(stop ? 2 : 1, events, FALSE, INFINITE);
        bool stopped = r == WAIT_OBJECT_0 + 1;
        if (stopped) CancelIoEx(handle, &t.ov);
        DWORD n = 0;
        bool ok = GetOverlappedResult(handle, &t.ov, &n, TRUE);
        if (stopped) return n > 0 ? long(n) : -2;
        return ok ? long(n) : -1;
    }

    // The receiver: one byte at a time while the line is idle, then
    // everything the driver holds, into the staged queue.
    void Receive() {
        TOverlapped t;
        char buffer[4096];
        for (;;) {
            {
                // Wait for room; a full queue leaves the bytes in the driver.
                std::unique_lock lock(rxLock);
                rxChanged.wait(lock, [&] { return closed || rxStage.size() < QueueSize(); });
                if (closed) return;
            }
            t.Reset();
            DWORD got = 0;
            if (!ReadFile(handle, buffer, 1, &got, &t.ov) && GetLastError() != ERROR_IO_PENDING) {
                Fail();
                return;
            }
            long n = Finish(t, stopEvent);
            if (n == -2) return;
            if (n < 0 && GetLastError() == ERROR_OPERATION_ABORTED && !closed) continue; // a purge
            if (n <= 0) {
                // With no read timeouts a read ends early only when the device is gone.
                Fail();
                return;
            }
            std::size_t have = 1;
            DWORD errors = 0;
            COMSTAT stat{};
            if (ClearCommError(handle, &errors, &stat) && stat.cbInQue > 0) {
                std::size_t room = QueueSize();
                {
                    std::lock_guard lock(rxLock);
                    room = room > rxStage.size() + 1 ? room - rxStage.size() - 1 : 0;
                }
                DWORD want = DWORD(std::min<std::size_t>({stat.cbInQue, room, sizeof buffer - 1}));
                if (want > 0) {
                    t.Reset();
                    if (ReadFile(handle, buffer + 1, want, &got, &t.ov) ||
                        GetLastError() == ERROR_IO_PENDING) {
                        long more = Finish(t, stopEvent);
                        if (more > 0) have += std::size_t(more);
                    }
                }
            }
            {
                std::lock_guard lock(rxLock);
                rxStage.append(buffer, have);
                staged += have;
            }
            rxChanged.notify_all();
        }
    }

    void Fail() {
        {
            std::lock_guard lock(rxLock);
            rxFailed = true;
        }
        rxChanged.notify_all();
    }

    bool WaitEvent(uint32_t& events) {
        events = 0;
        std::unique_lock lock(rxLock);
        for (;;) {
            const uint32_t watch = mask.load();
            if (watch == 0 || closed) return false;
            const uint32_t size = QueueSize();
            bool full = uint64_t(rxStage.size()) * 5 >= uint64_t(size) * 4;
            // Bytes that a read took with an earlier report are not news.
            if ((watch & ev_rxchar) && staged > reportedRx && !rxStage.empty()) events |= ev_rxchar;
            if ((watch & ev_rx80full) && full && !rx80Reported) events |= ev_rx80full;
            reportedRx = staged;
            rx80Reported = full;
            if (events) return true;
            if (rxFailed) return false;
            const uint32_t wake = wakeCount;
            const uint64_t seen = staged;
            rxChanged.wait(
                lock, [&] { return staged > seen || rxFailed || closed || wakeCount != wake; });
        }
    }

    bool WaitMoreInput(uint32_t quietUs) {
        const Clock::time_point deadline = Clock::now() + std::chrono::microseconds(quietUs);
        std::unique_lock lock(rxLock);
        const uint32_t wake = wakeCount;
        const uint64_t before = staged;
        rxChanged.wait_until(lock, deadline, [&] {
            return staged > before || rxFailed || closed || wakeCount != wake;
        });
        if (staged == before || mask.load() == 0 || closed) return false;
        reportedRx = staged; // part of the report being made
        return rxStage.size() < QueueSize();
    }

    // Reads with the caller's timeouts, from the staged queue.
    bool Read(std::string& out, std::size_t count) {
        out.clear();
        if (closed) return false;
        StartReceiver();
        TCommTimeouts t;
        {
            std::lock_guard lock(settingsLock);
            t = timeouts;
        }
        const TReadPlan plan = TReadPlan::For(t, count);
        const uint32_t gen = abortGen.load();
        std::unique_lock lock(rxLock);
        Clock::time_point lastByte{};
        for (;;) {
            std::size_t take = std::min(rxStage.size(), count - out.size());
            if (take > 0) {
                out.append(rxStage, 0, take);
                rxStage.erase(0, take);
                lastByte = Clock::now();
                rxChanged.notify_all(); // room for the receiver
            }
            if (plan.Done(out.size(), count)) break;
            if (rxFailed || closed) return !out.empty();
            const Clock::time_point deadline = plan.Deadline(out.size(), lastByte);
            const uint64_t before = staged;
            auto more = [&] {
                return staged > before || rxFailed || closed || abortGen.load() != gen;
            };
            if (deadline == Clock::time_point::max())
                rxChanged.wait(lock, more);
            else if (!rxChanged.wait_until(lock, deadline, more))
                break;
            if (abortGen.load() != gen) {
                take = std::min(rxStage.size(), count - out.size());
                out.append(rxStage, 0, take);
                rxStage.erase(0, take);
                break;
            }
        }
        return true;
    }

    bool Write(std::string_view bytes, std::size_t& written) {
        written = 0;
        if (closed) return false;
        TCommTimeouts t;
        {
            std::lock_guard lock(settingsLock);
            t = timeouts;
        }
        const Clock::time_point deadline = WriteDeadline(t, bytes.size());
        if (bytes.empty()) return true;
        const uint32_t gen = abortGen.load();
        std::lock_guard writing(writeLock);
        TOverlapped& w = writeRecord;
        w.Reset();
        DWORD n = 0;
        if (!WriteFile(handle, bytes.data(), DWORD(bytes.size()), &n, &w.ov) &&
            GetLastError() != ERROR_IO_PENDING)
            return false;
        // The write ends when it is done, at the write timeout, or on an abort.
        HANDLE events[2] = {w.ov.hEvent, abortEvent};
        for (;;) {
            DWORD r = WaitForMultipleObjects(2, events, FALSE, MsUntil(deadline));
            if (r == WAIT_OBJECT_0) break;
            if (r == WAIT_OBJECT_0 + 1 && abortGen.load() == gen) {
                ResetEvent(abortEvent); // an abort meant for an earlier write
                continue;
            }
            CancelIoEx(handle, &w.ov);
            break;
        }
        if (!GetOverlappedResult(handle, &w.ov, &n, TRUE) && n == 0 &&
            GetLastError() != ERROR_OPERATION_ABORTED)
            return false;
        written = n;
        return true;
    }
};

TComm::TComm(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TComm::~TComm() = default;

std::unique_ptr<TComm> TComm::Open(std::string_view portName) {
    std::wstring path = L"\\\\.\\";
    for (char c : portName) {
        if (c == 0 || uint8_t(c) > 0x7F) return nullptr; // port names are ASCII
        path += wchar_t(c);
    }
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->handle = h;
    impl->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    impl->abortEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Waits of a few milliseconds (the burst gap) need the fine system timer.
    timeBeginPeriod(1);
    if (!impl->stopEvent || !impl->abortEvent) return nullptr;
    return std::unique_ptr<TComm>(new TComm(std::move(impl)));
}

bool TComm::GetState(TCommState& s) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (impl_->closed || !GetCommState(impl_->handle, &dcb)) return false;
    s.BaudRate = dcb.BaudRate;
    s.Binary = dcb.fBinary;
    s.ParityCheck = dcb.fParity;
    s.OutxCtsFlow = dcb.fOutxCtsFlow;
    s.OutxDsrFlow = dcb.fOutxDsrFlow;
    s.DtrControl = uint8_t(dcb.fDtrControl);
    s.DsrSensitivity = dcb.fDsrSensitivity;
    s.TxContinueOnXoff = dcb.fTXContinueOnXoff;
    s.OutX = dcb.fOutX;
    s.InX = dcb.fInX;
    s.ErrorCharEnabled = dcb.fErrorChar;
    s.DiscardNull = dcb.fNull;
    s.RtsControl = uint8_t(dcb.fRtsControl);
    s.AbortOnError = dcb.fAbortOnError;
    s.XonLim = dcb.XonLim;
    s.XoffLim = dcb.XoffLim;
    s.ByteSize = dcb.ByteSize;
    s.Parity = dcb.Parity;
    s.StopBits = dcb.StopBits;
    s.XonChar = dcb.XonChar;
    s.XoffChar = dcb.XoffChar;
    s.ErrorChar = dcb.ErrorChar;
    s.EofChar = dcb.EofChar;
    s.EvtChar = dcb.EvtChar;
    return true;
}

bool TComm::SetState(const TCommState& s) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (impl_->closed) return false;
    GetCommState(impl_->handle, &dcb);
    dcb.BaudRate = s.BaudRate;
    dcb.fBinary = s.Binary;
    dcb.fParity = s.ParityCheck;
    dcb.fOutxCtsFlow = s.OutxCtsFlow;
    dcb.fOutxDsrFlow = s.OutxDsrFlow;
    dcb.fDtrControl = s.DtrControl;
    dcb.fDsrSensitivity = s.DsrSensitivity;
    dcb.fTXContinueOnXoff = s.TxContinueOnXoff;
    dcb.fOutX = s.OutX;
    dcb.fInX = s.InX;
    dcb.fErrorChar = s.ErrorCharEnabled;
    dcb.fNull = s.DiscardNull;
    dcb.fRtsControl = s.RtsControl;
    dcb.fAbortOnError = s.AbortOnError;
    dcb.fDummy2 = 0;
    dcb.XonLim = s.XonLim;
    dcb.XoffLim = s.XoffLim;
    dcb.ByteSize = s.ByteSize;
    dcb.Parity = s.Parity;
    dcb.StopBits = s.StopBits;
    dcb.XonChar = s.XonChar;
    dcb.XoffChar = s.XoffChar;
    dcb.ErrorChar = s.ErrorChar;
    dcb.EofChar = s.EofChar;
    dcb.EvtChar = s.EvtChar;
    if (!SetCommState(impl_->handle, &dcb)) return false;
    // Put the lines in their state at once, whatever the driver did on open;
    // devices without modem lines refuse this, which is no failure.
    if (s.DtrControl != dtr_control_handshake)
        EscapeCommFunction(impl_->handle, s.DtrControl == dtr_control_enable ? SETDTR : CLRDTR);
    if (s.RtsControl == rts_control_disable || s.RtsControl == rts_control_enable)
        EscapeCommFunction(impl_->handle, s.RtsControl == rts_control_enable ? SETRTS : CLRRTS);
    return true;
}

bool TComm::Setup(uint32_t inQueue, uint32_t outQueue) {
    if (impl_->closed) return false;
    {
        std::lock_guard lock(impl_->settingsLock);
        impl_->inQueueSize = inQueue;
    }
    impl_->rxChanged.notify_all();
    return SetupComm(impl_->handle, inQueue, outQueue);
}

bool TComm::SetTimeouts(const TCommTimeouts& timeouts) {
    if (impl_->closed) return false;
    std::lock_guard lock(impl_->settingsLock);
    impl_->timeouts = timeouts;
    return true;
}

bool TComm::SetMask(uint32_t mask) {
    if (mask != 0) impl_->StartReceiver();
    impl_->mask = mask;
    {
        std::lock_guard lock(impl_->rxLock);
        ++impl_->wakeCount;
    }
    impl_->rxChanged.notify_all();
    return !impl_->closed;
}

bool TComm::WaitEvent(uint32_t& events) {
    return impl_->WaitEvent(events);
}

bool TComm::WaitMoreInput(uint32_t quietUs) {
    return impl_->WaitMoreInput(quietUs);
}

uint32_t TComm::SupportedEvents() {
    return ev_rxchar | ev_rx80full;
}

bool TComm::ClearError(uint32_t& errors, uint32_t& inQueue) {
    errors = 0;
    inQueue = 0;
    if (impl_->closed) return false;
    DWORD flags = 0;
    COMSTAT stat{};
    if (!ClearCommError(impl_->handle, &flags, &stat)) return false;
    errors = flags;
    // Bytes still in the driver are the receiver's to take, and to report.
    std::lock_guard lock(impl_->rxLock);
    inQueue = uint32_t(impl_->rxStage.size());
    return true;
}

bool TComm::GetModemStatus(uint32_t& status) {
    status = 0;
    DWORD lines = 0;
    if (impl_->closed || !GetCommModemStatus(impl_->handle, &lines)) return false;
    status = lines & (ms_cts_on | ms_dsr_on | ms_ring_on | ms_rlsd_on);
    return true;
}

bool TComm::Read(std::string& out, std::size_t count) {
    return impl_->Read(out, count);
}

bool TComm::Write(std::string_view bytes, std::size_t& written) {
    return impl_->Write(bytes, written);
}

bool TComm::Purge(uint32_t flags) {
    if (impl_->closed) return false;
    if (flags & (purge_txabort | purge_rxabort)) {
        ++impl_->abortGen;
        SetEvent(impl_->abortEvent);
        impl_->rxChanged.notify_all();
    }
    if (flags & purge_rxclear) {
        std::lock_guard lock(impl_->rxLock);
        impl_->rxStage.clear();
    }
    impl_->rxChanged.notify_all();
    // The receiver's own read stays: aborting it would only make it start again.
    return PurgeComm(impl_->handle, flags & (purge_txabort | purge_txclear | purge_rxclear));
}

bool TComm::Flush() {
    return !impl_->closed && FlushFileBuffers(impl_->handle);
}

void TComm::Close() {
    impl_->mask = 0;
    impl_->Shut();
}
