// A line on a unix stream socket: the simulator connects to a listening
// socket, such as a QEMU character device started with server=on, and the
// virtual machine's serial device (a 16550 UART, a USB serial adapter) carries
// the bytes to the program inside it. Closing the connection is the hang-up.
#pragma once

#include "tools/simulator/SimLine.h"

#include <string>

class SocketLine final : public SimLine {
public:
    SocketLine() = default;
    SocketLine(const SocketLine&) = delete;
    SocketLine& operator=(const SocketLine&) = delete;
    ~SocketLine() override;

    // Connects to the socket at `path`. False with a message on failure.
    bool Connect(const std::string& path, std::string& error);

    long Read(uint8_t* buffer, std::size_t size, int timeoutMs) override;
    bool Write(const void* data, std::size_t size) override;
    void HangUp() override;
    void Wake() override;

private:
    int fd_ = -1;
    int wake_ = -1;
};
