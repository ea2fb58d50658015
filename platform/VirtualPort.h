// A virtual serial port: a pseudo-terminal whose far end the program opens
// like a real port. Used by the device simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TVirtualPort {
public:
    TVirtualPort() = default;
    TVirtualPort(const TVirtualPort&) = delete;
    TVirtualPort& operator=(const TVirtualPort&) = delete;
    ~TVirtualPort();

    // Creates the port in raw mode. False with a message on failure.
    bool Open(std::string& error);
    // The device node the program opens.
    const std::string& DevicePath() const { return devicePath_; }

    // Makes the port known as COM<number> through a symlink in `directory`
    // (created if missing). Replaces an existing entry of that name.
    bool Register(const std::string& directory, int number, std::string& error);
    void Unregister();

    // Waits up to timeoutMs for bytes. Returns the count read, 0 on time-out
    // or wake-up, -1 once the port has been hung up.
    long Read(uint8_t* buffer, std::size_t size, int timeoutMs);
    // Writes every byte; false once the port has been hung up.
    bool Write(const void* data, std::size_t size);
    // Ends the connection: the program's side sees a hang-up.
    void HangUp();
    // Makes a Read in progress on another thread return at once.
    void Wake();

private:
    int master_ = -1;
    int keeper_ = -1; // our own handle on the far end, so the port never idles in hang-up
    int wake_ = -1;
    std::string devicePath_;
    std::string link_;
};
