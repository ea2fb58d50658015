// Puts a port's line at `baud` with 8 data bits, no parity and one stop bit,
// keeping its other settings.
#pragma once

#include "platform/Comm.h"

inline bool SetEightNoneOne(TComm& comm, uint32_t baud) {
    TCommState s;
    comm.GetState(s);
    s.BaudRate = baud;
    s.ByteSize = 8;
    s.Parity = noparity;
    s.StopBits = onestopbit;
    return comm.SetState(s);
}
