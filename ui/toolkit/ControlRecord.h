// The making and release of a control's window record (TControl::TImpl),
// which only the backend that defines the record can compile. Each backend's
// common control source includes this once, after that definition.
#pragma once

#include "ui/toolkit/Control.h"

TControl::TImpl* TControl::NewImpl() {
    return new TImpl;
}

void TControl::TImplDeleter::operator()(TImpl* impl) const {
    delete impl;
}
