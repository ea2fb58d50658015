// The device's end of a serial line, on which the simulator reads and answers:
// a virtual serial port that the program opens, or a unix socket that a
// virtual machine's serial device is joined to (SocketLine.h).
#pragma once

#include "testing/platform/VirtualPort.h"

#include <cstddef>
#include <cstdint>

class SimLine {
public:
    virtual ~SimLine() = default;
    // Waits up to timeoutMs for bytes. Returns the count read, 0 on time-out
    // or wake-up, -1 once the line has been hung up.
    virtual long Read(uint8_t* buffer, std::size_t size, int timeoutMs) = 0;
    // Writes every byte; false once the line has been hung up.
    virtual bool Write(const void* data, std::size_t size) = 0;
    // Ends the connection: the program's side sees a hang-up.
    virtual void HangUp() = 0;
    // Makes a Read in progress on another thread return at once.
    virtual void Wake() = 0;
    // When the bytes of the last Read reached the line, in seconds on the
    // steady clock, if the line can tell (else 0): a device hears bytes as
    // they arrive, however late the simulator's thread wakes to read them.
    virtual double ArrivedAt() const { return 0; }
};

// The virtual serial port (a pseudo-terminal on Linux) as a line.
class PortLine final : public SimLine {
public:
    long Read(uint8_t* buffer, std::size_t size, int timeoutMs) override {
        return port.Read(buffer, size, timeoutMs);
    }
    bool Write(const void* data, std::size_t size) override { return port.Write(data, size); }
    void HangUp() override { port.HangUp(); }
    void Wake() override { port.Wake(); }

    TVirtualPort port;
};
