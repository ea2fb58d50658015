// The TComm operations that only hand over to the backend's open device
// (TComm::Impl), alike on every system. Each backend's Comm.cpp includes this
// once, after the header that defines its TComm::Impl.
#pragma once

#include "platform/Comm.h"

TComm::TComm(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TComm::~TComm() = default;

bool TComm::WaitEvent(uint32_t& events) {
    return impl_->WaitEvent(events);
}

bool TComm::WaitMoreInput(uint32_t quietUs) {
    return impl_->WaitMoreInput(quietUs);
}

bool TComm::Read(std::string& out, std::size_t count) {
    return impl_->Read(out, count);
}

bool TComm::Write(std::string_view bytes, std::size_t& written) {
    return impl_->Write(bytes, written);
}
