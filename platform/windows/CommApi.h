// The comm API calls of the serial backend (Comm.cpp), as a table of the
// system's own functions. A port keeps the table that was in use when it was
// opened. By default it is the real API; a test can put in a table of its
// own that plays a serial driver, to show what no device at hand can (the
// driver's error state under abort-on-error, purges, write completion).
// Events and waits on them are not in the table: a fake completes a
// transfer the way the system does, by setting the transfer's event.
#pragma once

#include <windows.h>

struct TCommApi {
    decltype(&::CreateFileW) CreateFileW;
    decltype(&::CloseHandle) CloseHandle;
    decltype(&::GetCommState) GetCommState;
    decltype(&::SetCommState) SetCommState;
    decltype(&::SetupComm) SetupComm;
    decltype(&::SetCommTimeouts) SetCommTimeouts;
    decltype(&::EscapeCommFunction) EscapeCommFunction;
    decltype(&::GetCommModemStatus) GetCommModemStatus;
    decltype(&::ClearCommError) ClearCommError;
    decltype(&::PurgeComm) PurgeComm;
    decltype(&::FlushFileBuffers) FlushFileBuffers;
    decltype(&::ReadFile) ReadFile;
    decltype(&::WriteFile) WriteFile;
    decltype(&::GetOverlappedResult) GetOverlappedResult;
    decltype(&::CancelIoEx) CancelIoEx;
};

// The system's comm API.
const TCommApi& RealCommApi();
// The table that ports opened from now on use.
const TCommApi& CurrentCommApi();
// Puts in the table for ports opened from now on (null: the real API);
// returns the one it replaces.
const TCommApi* UseCommApi(const TCommApi* api);
