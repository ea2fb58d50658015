#include "platform/windows/CommApi.h"

#include <atomic>

namespace {

const TCommApi real_api = {
    &::CreateFileW,    &::CloseHandle,         &::GetCommState,       &::SetCommState,
    &::SetupComm,      &::SetCommTimeouts,     &::EscapeCommFunction, &::GetCommModemStatus,
    &::ClearCommError, &::PurgeComm,           &::FlushFileBuffers,   &::ReadFile,
    &::WriteFile,      &::GetOverlappedResult, &::CancelIoEx,
};

std::atomic<const TCommApi*> current_api{&real_api};

} // namespace

const TCommApi& RealCommApi() {
    return real_api;
}

const TCommApi& CurrentCommApi() {
    return *current_api.load();
}

const TCommApi* UseCommApi(const TCommApi* api) {
    return current_api.exchange(api ? api : &real_api);
}
