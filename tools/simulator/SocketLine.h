// A line on a stream socket. Either the simulator connects to a listening
// unix socket, such as a QEMU character device started with server=on, and
// the virtual machine's serial device (a 16550 UART, a USB serial adapter)
// carries the bytes to the program inside it; or it listens on a loopback TCP
// port and takes the first connection (the page's stand-in for Web Serial,
// through WebSocketLine). Closing the connection is the hang-up.
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
    // Listens on 127.0.0.1 at `port` (0: any free port); Port() tells which.
    bool Listen(int port, std::string& error);
    int Port() const { return port_; }
    // Takes the first connection as the line, within timeoutMs.
    bool Accept(int timeoutMs, std::string& error);

    long Read(uint8_t* buffer, std::size_t size, int timeoutMs) override;
    bool Write(const void* data, std::size_t size) override;
    void HangUp() override;
    void Wake() override;
    double ArrivedAt() const override { return arrivedAt_; }

private:
    bool Opened(std::string& error);

    int fd_ = -1;
    int wake_ = -1;
    int listen_ = -1;
    int port_ = 0;
    bool stamped_ = false; // the kernel stamps what arrives
    double arrivedAt_ = 0;
};
