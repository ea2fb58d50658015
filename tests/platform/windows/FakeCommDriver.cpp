#include "tests/platform/windows/FakeCommDriver.h"

#include "platform/windows/CommApi.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace {

HANDLE const fake_handle = reinterpret_cast<HANDLE>(intptr_t(0x7AC0));
// What OVERLAPPED.Internal holds while a transfer is pending.
constexpr ULONG_PTR pending = 0x103;

// Ends a transfer as the system does: status and count in the record, then
// its event.
void Complete(OVERLAPPED* ov, DWORD error, DWORD count) {
    ov->Internal = error;
    ov->InternalHigh = count;
    SetEvent(ov->hEvent);
}

TFakeCommDriver::State* driver = nullptr;

} // namespace

struct TFakeCommDriver::State {
    TFakeCommDriver* owner = nullptr;
    std::wstring path;
    const TCommApi* previous = nullptr;

    mutable std::mutex lock;
    std::condition_variable changed;
    bool open = false;
    bool unplugged = false;
    DCB dcb{};
    DWORD errors = 0;    // taken by ClearCommError
    bool halted = false; // the error state under abort-on-error
    uint32_t errorOnSetState = 0;
    std::string input;  // received, not yet read
    std::string output; // written, not yet gone out
    std::string line;   // gone out
    bool holdWrites = false;
    bool holdReads = false;
    bool holdOutput = false;
    DWORD failWrites = 0;
    bool purgeAbortsNothing = false;
    bool holdFlushes = false;
    bool ignoreCancels = false;
    std::size_t discarded = 0;
    std::vector<uint32_t> purges;
    int flushes = 0;

    struct {
        OVERLAPPED* ov = nullptr;
        char* buffer = nullptr;
        DWORD size = 0;
        DWORD got = 0;
    } read;
    struct {
        OVERLAPPED* ov = nullptr;
        std::string bytes;
    } write;

    // Passes the bytes on; returns those that left for the line.
    std::string Accept(std::string bytes) {
        if (holdOutput) {
            output += bytes;
            return {};
        }
        line += bytes;
        return bytes;
    }
    void FillRead() {
        if (!read.ov || holdReads) return;
        DWORD take = DWORD(std::min<std::size_t>(read.size - read.got, input.size()));
        std::memcpy(read.buffer + read.got, input.data(), take);
        input.erase(0, take);
        read.got += take;
        if (read.got == read.size) EndRead(0);
    }
    void EndRead(DWORD error) {
        if (!read.ov) return;
        Complete(read.ov, error, read.got);
        read = {};
    }
    void EndWrite(DWORD error) {
        if (!write.ov) return;
        Complete(write.ov, error, 0);
        write = {};
    }
    void RaiseLineError(uint32_t flags) {
        errors |= flags;
        if (!dcb.fAbortOnError) return;
        halted = true;
        EndRead(ERROR_OPERATION_ABORTED);
        EndWrite(ERROR_OPERATION_ABORTED);
    }
    // The error for a call that the driver refuses now, or 0.
    DWORD Refusal(HANDLE h) const {
        if (h != fake_handle || !open) return ERROR_INVALID_HANDLE;
        if (unplugged) return ERROR_ACCESS_DENIED;
        return 0;
    }
    void Tell(const std::string& bytes) {
        if (!bytes.empty() && owner->onLine) owner->onLine(bytes);
    }

    // The comm API as the driver answers it.
    static HANDLE WINAPI CreateFileW(LPCWSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD,
                                     DWORD, HANDLE) {
        std::lock_guard l(driver->lock);
        if (driver->path != name) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return INVALID_HANDLE_VALUE;
        }
        if (driver->open) {
            SetLastError(ERROR_ACCESS_DENIED);
            return INVALID_HANDLE_VALUE;
        }
        driver->open = true;
        driver->unplugged = driver->halted = false;
        driver->errors = 0;
        driver->input.clear();
        driver->dcb = DCB{};
        driver->dcb.DCBlength = sizeof(DCB);
        driver->dcb.BaudRate = 9600;
        driver->dcb.ByteSize = 8;
        return fake_handle;
    }
    static BOOL WINAPI CloseHandle(HANDLE h) {
        if (h != fake_handle) return ::CloseHandle(h);
        std::lock_guard l(driver->lock);
        driver->open = false;
        if (driver->ignoreCancels) return TRUE;
        driver->EndRead(ERROR_OPERATION_ABORTED);
        driver->EndWrite(ERROR_OPERATION_ABORTED);
        return TRUE;
    }
    static BOOL WINAPI GetCommState(HANDLE h, LPDCB dcb) {
        std::lock_guard l(driver->lock);
        if (DWORD e = driver->Refusal(h)) return SetLastError(e), FALSE;
        *dcb = driver->dcb;
        return TRUE;
    }
    static BOOL WINAPI SetCommState(HANDLE h, LPDCB dcb) {
        std::lock_guard l(driver->lock);
        if (DWORD e = driver->Refusal(h)) return SetLastError(e), FALSE;
        driver->dcb = *dcb;
        if (driver->errorOnSetState) driver->RaiseLineError(driver->errorOnSetState);
        driver->errorOnSetState = 0;
        return TRUE;
    }
    static BOOL WINAPI SetupComm(HANDLE h, DWORD, DWORD) { return Accepts(h); }
    static BOOL WINAPI SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS) { return Accepts(h); }
    static BOOL WINAPI EscapeCommFunction(HANDLE h, DWORD) { return Accepts(h); }
    static BOOL WINAPI GetCommModemStatus(HANDLE h, LPDWORD status) {
        *status = 0;
        return Accepts(h);
    }
    static BOOL Accepts(HANDLE h) {
        std::lock_guard l(driver->lock);
        if (DWORD e = driver->Refusal(h)) return SetLastError(e), FALSE;
        return TRUE;
    }
    static BOOL WINAPI ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat) {
        std::lock_guard l(driver->lock);
        if (DWORD e = driver->Refusal(h)) return SetLastError(e), FALSE;
        if (errors) *errors = driver->errors;
        driver->errors = 0;
        driver->halted = false;
        if (stat) {
            *stat = COMSTAT{};
            stat->cbInQue = DWORD(driver->input.size());
            stat->cbOutQue = DWORD(driver->output.size() + driver->write.bytes.size());
        }
        return TRUE;
    }
    static BOOL WINAPI PurgeComm(HANDLE h, DWORD flags) {
        std::lock_guard l(driver->lock);
        if (DWORD e = driver->Refusal(h)) return SetLastError(e), FALSE;
        driver->purges.push_back(flags);
        const bool aborts = !driver->purgeAbortsNothing && !driver->ignoreCancels;
        if ((flags & PURGE_TXABORT) && aborts) driver->EndWrite(ERROR_OPERATION_ABORTED);
        if ((flags & PURGE_RXABORT) && aborts) driver->EndRead(ERROR_OPERATION_ABORTED);
        if (flags & PURGE_TXCLEAR) {
            driver->discarded += driver->output.size();
            driver->output.clear();
        }
        if (flags & PURGE_RXCLEAR) driver->input.clear();
        return TRUE;
    }
    static BOOL WINAPI FlushFileBuffers(HANDLE h) {
        std::string sent;
        {
            std::unique_lock l(driver->lock);
            if (DWORD e = driver->Refusal(h)) return SetLastError(e), FALSE;
            ++driver->flushes;
            if (driver->holdFlushes) {
                l.unlock();
                for (;;)
                    Sleep(INFINITE);
            }
            sent.swap(driver->output);
            driver->line += sent;
        }
        driver->Tell(sent);
        return TRUE;
    }
    static BOOL WINAPI ReadFile(HANDLE h, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED ov) {
        std::lock_guard l(driver->lock);
        DWORD e = driver->Refusal(h);
        if (!e && driver->halted) e = ERROR_OPERATION_ABORTED;
        if (e) return SetLastError(e), FALSE;
        driver->read = {ov, static_cast<char*>(buffer), size, 0};
        ov->Internal = pending;
        driver->FillRead();
        if (ov->Internal != pending) {
            if (got) *got = DWORD(ov->InternalHigh);
            return TRUE;
        }
        driver->changed.notify_all();
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    static BOOL WINAPI WriteFile(HANDLE h, LPCVOID data, DWORD size, LPDWORD written,
                                 LPOVERLAPPED ov) {
        std::string bytes(static_cast<const char*>(data), size);
        std::string sent;
        bool done = false, held = false;
        {
            std::lock_guard l(driver->lock);
            DWORD e = driver->Refusal(h);
            if (!e && driver->halted) e = ERROR_OPERATION_ABORTED;
            if (e) return SetLastError(e), FALSE;
            if (driver->failWrites) {
                // Pending, then completed with the error.
                Complete(ov, driver->failWrites, 0);
            } else if (driver->holdWrites) {
                ov->Internal = pending;
                driver->write = {ov, std::move(bytes)};
                driver->changed.notify_all();
                held = true;
            } else {
                sent = driver->Accept(std::move(bytes));
                Complete(ov, 0, size);
                if (written) *written = size;
                done = true;
            }
        }
        driver->Tell(sent);
        if (done) return TRUE;
        if (held && driver->owner->onWritePending) driver->owner->onWritePending();
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }

    static BOOL WINAPI GetOverlappedResult(HANDLE, LPOVERLAPPED ov, LPDWORD count, BOOL wait) {
        if (wait) WaitForSingleObject(ov->hEvent, INFINITE);
        if (ov->Internal == pending) return SetLastError(ERROR_IO_INCOMPLETE), FALSE;
        *count = DWORD(ov->InternalHigh);
        if (ov->Internal != 0) return SetLastError(DWORD(ov->Internal)), FALSE;
        return TRUE;
    }
    static BOOL WINAPI CancelIoEx(HANDLE, LPOVERLAPPED ov) {
        std::lock_guard l(driver->lock);
        if (driver->ignoreCancels) return TRUE;
        bool found = false;
        if (driver->read.ov && (!ov || ov == driver->read.ov)) {
            driver->EndRead(ERROR_OPERATION_ABORTED);
            found = true;
        }
        if (driver->write.ov && (!ov || ov == driver->write.ov)) {
            driver->EndWrite(ERROR_OPERATION_ABORTED);
            found = true;
        }
        if (!found) SetLastError(ERROR_NOT_FOUND);
        return found;
    }

    static constexpr TCommApi api = {
        &CreateFileW,    &CloseHandle,         &GetCommState,       &SetCommState,
        &SetupComm,      &SetCommTimeouts,     &EscapeCommFunction, &GetCommModemStatus,
        &ClearCommError, &PurgeComm,           &FlushFileBuffers,   &ReadFile,
        &WriteFile,      &GetOverlappedResult, &CancelIoEx,
    };
};

TFakeCommDriver::TFakeCommDriver(std::string portName) : state_(std::make_unique<State>()) {
    state_->owner = this;
    state_->path = L"\\\\.\\" + std::wstring(portName.begin(), portName.end());
    driver = state_.get();
    state_->previous = UseCommApi(&State::api);
}

TFakeCommDriver::~TFakeCommDriver() {
    UseCommApi(state_->previous);
    driver = nullptr;
}

void TFakeCommDriver::Deliver(std::string_view bytes) {
    std::lock_guard l(state_->lock);
    state_->input += bytes;
    if (!state_->halted) state_->FillRead();
}

void TFakeCommDriver::LineError(uint32_t errors, std::string_view bytes) {
    std::lock_guard l(state_->lock);
    state_->input += bytes;
    state_->RaiseLineError(errors);
    if (!state_->halted) state_->FillRead();
}

void TFakeCommDriver::LineErrorOnSetState(uint32_t errors) {
    std::lock_guard l(state_->lock);
    state_->errorOnSetState = errors;
}

void TFakeCommDriver::Unplug() {
    std::lock_guard l(state_->lock);
    state_->unplugged = true;
    state_->EndRead(ERROR_OPERATION_ABORTED);
    state_->EndWrite(ERROR_OPERATION_ABORTED);
}

void TFakeCommDriver::HoldReads(bool hold) {
    std::lock_guard l(state_->lock);
    state_->holdReads = hold;
    if (!state_->halted) state_->FillRead();
}

void TFakeCommDriver::HoldWrites(bool hold) {
    std::string sent;
    {
        std::lock_guard l(state_->lock);
        state_->holdWrites = hold;
        if (hold || !state_->write.ov) return;
        OVERLAPPED* ov = state_->write.ov;
        const DWORD size = DWORD(state_->write.bytes.size());
        sent = state_->Accept(std::move(state_->write.bytes));
        state_->write = {};
        Complete(ov, 0, size);
    }
    state_->Tell(sent);
}

void TFakeCommDriver::HoldOutput(bool hold) {
    std::lock_guard l(state_->lock);
    state_->holdOutput = hold;
}

void TFakeCommDriver::FailWritesWith(uint32_t error) {
    std::lock_guard l(state_->lock);
    state_->failWrites = error;
}

void TFakeCommDriver::PurgeAbortsNothing(bool on) {
    std::lock_guard l(state_->lock);
    state_->purgeAbortsNothing = on;
}

void TFakeCommDriver::HoldFlushes(bool hold) {
    std::lock_guard l(state_->lock);
    state_->holdFlushes = hold;
}

void TFakeCommDriver::IgnoreCancels(bool on) {
    std::lock_guard l(state_->lock);
    state_->ignoreCancels = on;
}

bool TFakeCommDriver::WaitForPendingRead(int timeoutMs) {
    std::unique_lock l(state_->lock);
    return state_->changed.wait_for(l, std::chrono::milliseconds(timeoutMs),
                                    [&] { return state_->read.ov != nullptr; });
}

bool TFakeCommDriver::WaitForPendingWrite(int timeoutMs) {
    std::unique_lock l(state_->lock);
    return state_->changed.wait_for(l, std::chrono::milliseconds(timeoutMs),
                                    [&] { return state_->write.ov != nullptr; });
}

std::string TFakeCommDriver::Line() const {
    std::lock_guard l(state_->lock);
    return state_->line;
}

std::size_t TFakeCommDriver::DiscardedOutput() const {
    std::lock_guard l(state_->lock);
    return state_->discarded;
}

std::vector<uint32_t> TFakeCommDriver::Purges() const {
    std::lock_guard l(state_->lock);
    return state_->purges;
}

int TFakeCommDriver::Flushes() const {
    std::lock_guard l(state_->lock);
    return state_->flushes;
}
