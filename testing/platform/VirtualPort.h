// A virtual serial port whose far end the program opens like a real port;
// the device simulator and the tests play the device on it. On Linux it is a
// pseudo-terminal, registered as COM<n> in the port directory. On Windows it
// is the far end of a virtual null-modem cable (tools/nullmodem): the
// program's COM<n> is joined to COM<n + cable_offset>, which this side opens.
#pragma once

#include "platform/Comm.h"

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

    // The line settings the driver holds for the program's side, read
    // through a handle of our own; false where the system cannot tell.
    bool HeldLineState(TCommState& state) const;
    // Whether the port is the far end of a cable, which cannot hang the
    // program's side up and (under wine) keeps only standard baud rates.
    static bool IsCable();
    // The cable's far end of COM<n> is COM<n + cable_offset>.
    static constexpr int cable_offset = 1000;

private:
    std::unique_ptr<TComm> cable_; // the far end, on Windows
    int number_ = 0;               // the announced port, on Windows
    int master_ = -1;
    int keeper_ = -1; // our own handle on the far end, so the port never idles in hang-up
    int wake_ = -1;
    std::string devicePath_;
    std::string link_;
};
