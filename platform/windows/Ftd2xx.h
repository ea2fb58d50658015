// FTDI's D2XX library (ftd2xx.dll), which FTDI's driver installs, loaded at
// run time when first needed: never shipped with the program nor linked to
// it. Only the calls that reach an adapter's latency timer are used, declared
// here from FTDI's published programmer's guide.
//
// A test can put in a seam (UseFtdiSeam): a library of its own in place of
// the system's, and a port taken for an FTDI adapter's.
#pragma once

#include <string>

struct TFtdiSeam {
    std::wstring library; // the D2XX library's full path
    std::string ftdiPort; // this port ("COM7") sits on an FTDI adapter
};
// Puts in a seam for what follows (null: the system's); returns the old one.
const TFtdiSeam* UseFtdiSeam(const TFtdiSeam* seam);

// True when the port (COM<n>) belongs to an FTDI adapter (USB vendor 0403).
bool IsFtdiPort(const std::string& portName);

// An FTDI adapter opened through D2XX, found by its COM port number. D2XX
// cannot open an adapter whose COM port is open, so this is used only while
// the port is closed.
class TFtdiDevice {
public:
    // Opens the adapter of COM<comNumber>; Ok() tells whether it did, and
    // Problem() why not.
    explicit TFtdiDevice(int comNumber);
    ~TFtdiDevice();
    TFtdiDevice(const TFtdiDevice&) = delete;
    TFtdiDevice& operator=(const TFtdiDevice&) = delete;

    bool Ok() const { return handle_ != nullptr; }
    const std::string& Problem() const { return problem_; }
    bool GetLatency(int& ms);
    bool SetLatency(int ms);

private:
    void* handle_ = nullptr;
    std::string problem_;
};
