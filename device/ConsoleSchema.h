// The console schema: the device session (the serial port, the probe and
// upload sub-schemas and the received-data switch, wired as the window wires
// them) with recorders (device/ConsoleElements.h) in place of the visual
// elements. The command-line program, the tests and the benchmarks host it.
#pragma once

#include "device/ConsoleElements.h"
#include "device/DeviceSession.h"
#include "device/SessionLog.h"
#include "device/TClassMultiElementEx_25A91E0.h"
#include "runtime/Share.h"

#include <string>

class TConsoleSchema : public TSchema {
public:
    TConsoleSchema();
    ~TConsoleSchema() override;

    // What the port list's selection does.
    void ChoosePort(const std::string& name);
    // What a click on the write button does (on the calling thread).
    void ClickWrite();
    // Stops an upload where it stands, unless its outcome was decided first
    // (the first end wins): then the watchdog stops and the port is closed
    // (which waits for the reader thread). Dispatch stays on. True when this
    // stop decided; false when success or failure had, and the reader is
    // left to finish it (to write "PUSK", say).
    bool Stop();
    // Settles the upload before it began, as a stop from outside, with the
    // port left open: replies are no longer judged and nothing is written.
    // For a device that is not to be written but still listened to.
    void Hold();
    // Writes bytes to the port, as the probe writes "VERS".
    void Send(const std::string& bytes);
    // What closing the window does. Dispatch ends with the last console
    // schema of the process that is closed: several may run side by side,
    // one per port.
    void Close();
    // Uploads `image` (the whole image, 130,048 bytes) instead of the one
    // the program carries; before the upload starts.
    void UseImage(const std::string& image);

    // The identified device's name and firmware version, from the probe.
    std::string Device();
    std::string Version();

    TDeviceSession Session;
    BurstTap* Bursts; // between the port's reads and the switch
    OpenTap* Opened;  // between the port's open result and the probe
    Recording* Status;
    Recording* DeviceFound;
    Recording* Progress;
    Recording* Success;
    Recording* Failure;
    TextField* CrcEdit;
    ImageByteCount* ImageBytes;
    TSessionLog* Log;
    BurstTap* Replies; // between the probe's reply framing and its parsing: judged replies

    TClassMultiElementEx_25A91E0* Upload() const { return Session.Upload(); }

private:
    bool open_ = true;
};
