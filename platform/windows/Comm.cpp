// Serial device on Windows: the public calls on the open device's state
// (CommDevice.h).
#include "platform/Comm.h"

#include "platform/shared/CommTimeouts.h"
#include "platform/windows/CommApi.h"
#include "platform/windows/CommDevice.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// After the definition of the open device.
#include "platform/shared/CommForwards.h"

std::unique_ptr<TComm> TComm::Open(std::string_view portName) {
    std::wstring path = L"\\\\.\\";
    for (char c : portName) {
        if (c == 0 || uint8_t(c) > 0x7F) return nullptr; // port names are ASCII
        path += wchar_t(c);
    }
    const TCommApi& api = CurrentCommApi();
    HANDLE h =
        api.CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    auto impl = std::make_unique<Impl>(api);
    impl->handle = h;
    // Waits of a few milliseconds (the burst gap) need the fine system timer.
    timeBeginPeriod(1);
    if (!impl->stopEvent || !impl->txAbortEvent || !impl->receiverOut) return nullptr;
    return std::unique_ptr<TComm>(new TComm(std::move(impl)));
}

bool TComm::GetState(TCommState& s) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (impl_->closed || !impl_->api.GetCommState(impl_->handle, &dcb)) return false;
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
    impl_->api.GetCommState(impl_->handle, &dcb);
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
    if (!impl_->api.SetCommState(impl_->handle, &dcb)) return false;
    // Put the lines in their state at once, whatever the driver did on open;
    // devices without modem lines refuse this, which is no failure.
    if (s.DtrControl != dtr_control_handshake)
        impl_->api.EscapeCommFunction(impl_->handle,
                                      s.DtrControl == dtr_control_enable ? SETDTR : CLRDTR);
    if (s.RtsControl == rts_control_disable || s.RtsControl == rts_control_enable)
        impl_->api.EscapeCommFunction(impl_->handle,
                                      s.RtsControl == rts_control_enable ? SETRTS : CLRRTS);
    return true;
}

bool TComm::Setup(uint32_t inQueue, uint32_t outQueue) {
    if (impl_->closed) return false;
    {
        std::lock_guard lock(impl_->settingsLock);
        impl_->inQueueSize = inQueue;
    }
    impl_->rxChanged.notify_all();
    return impl_->api.SetupComm(impl_->handle, inQueue, outQueue);
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

// Line events come through WaitEvent on the reader's own thread.
bool TComm::Watch(TCommEvents, std::function<uint32_t()>) {
    return false;
}

uint32_t TComm::SupportedEvents() {
    return ev_rxchar | ev_rx80full | ev_err | ev_break;
}

bool TComm::ClearError(uint32_t& errors, uint32_t& inQueue) {
    errors = 0;
    inQueue = 0;
    if (impl_->closed) return false;
    if (!impl_->TakeErrors()) return false;
    // Bytes still in the driver are the receiver's to take, and to report.
    std::lock_guard lock(impl_->rxLock);
    errors = impl_->lineErrors;
    impl_->lineErrors = 0;
    inQueue = uint32_t(impl_->rxStage.size());
    return true;
}

bool TComm::GetModemStatus(uint32_t& status) {
    status = 0;
    DWORD lines = 0;
    if (impl_->closed || !impl_->api.GetCommModemStatus(impl_->handle, &lines)) return false;
    status = lines & (ms_cts_on | ms_dsr_on | ms_ring_on | ms_rlsd_on);
    return true;
}

bool TComm::Purge(uint32_t flags) {
    if (impl_->closed) return false;
    if (flags & purge_txabort) {
        std::lock_guard lock(impl_->abortLock);
        ++impl_->txAbortGen;
        SetEvent(impl_->txAbortEvent);
        impl_->txAbortSet = true;
    }
    if (flags & purge_rxabort) {
        // Taken under the lock, so that a read about to wait sees it.
        std::lock_guard lock(impl_->rxLock);
        ++impl_->rxAbortGen;
    }
    if (flags & purge_rxclear) {
        std::lock_guard lock(impl_->rxLock);
        impl_->rxStage.clear();
    }
    impl_->rxChanged.notify_all();
    // The receiver's own read stays: aborting it would only make it start again.
    return impl_->api.PurgeComm(impl_->handle,
                                flags & (purge_txabort | purge_txclear | purge_rxclear));
}

bool TComm::Flush() {
    if (impl_->closed) return false;
    // The driver completes the flush once every byte written before it has
    // gone out; on a line that flow control holds that would be never, so
    // such a line is reported as not drained instead.
    DWORD errors = 0;
    COMSTAT stat{};
    if (impl_->api.ClearCommError(impl_->handle, &errors, &stat) &&
        (stat.fCtsHold || stat.fDsrHold || stat.fRlsdHold || stat.fXoffHold))
        return false;
    // A driver may hold the flush all the same: it is waited for within the
    // write timeout of the bytes queued, and never longer than the limit.
    TCommTimeouts t;
    {
        std::lock_guard lock(impl_->settingsLock);
        t = impl_->timeouts;
    }
    uint64_t ms = flush_limit_ms;
    if (t.WriteTotalMultiplier || t.WriteTotalConstant)
        ms = std::clamp<uint64_t>(uint64_t(t.WriteTotalMultiplier) * stat.cbOutQue +
                                      t.WriteTotalConstant,
                                  flush_least_ms, flush_limit_ms);
    return FlushWithin(impl_->api, impl_->handle, DWORD(ms));
}

void TComm::Close() {
    impl_->mask = 0;
    impl_->Shut();
}
