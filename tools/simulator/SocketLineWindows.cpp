// Sockets are not offered on Windows: there the simulator answers on the
// far end of a null-modem cable only.
#include "tools/simulator/SocketLine.h"

SocketLine::~SocketLine() = default;

bool SocketLine::Connect(const std::string& path, std::string& error) {
    error = "cannot connect to " + path + ": unix sockets are not supported on Windows";
    return false;
}

bool SocketLine::Listen(int, std::string& error) {
    error = "listening is not supported on Windows";
    return false;
}

bool SocketLine::Accept(int, std::string& error) {
    error = "listening is not supported on Windows";
    return false;
}

long SocketLine::Read(uint8_t*, std::size_t, int) {
    return -1;
}

bool SocketLine::Write(const void*, std::size_t) {
    return false;
}

void SocketLine::HangUp() {}

void SocketLine::Wake() {}
