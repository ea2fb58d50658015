// The console schema: the serial port element, the probe and upload
// sub-schemas and the received-data switch, wired the way the main window
// wires them, with recorders (app/ConsoleElements.h) in place of the visual
// elements. The command-line program and the tests host it.
#pragma once

#include "app/ConsoleElements.h"
#include "app/TClassMultiElementEx_25A8C60.h"
#include "app/TClassMultiElementEx_25A91E0.h"
#include "runtime/MultiElementEx.h"
#include "runtime/Share.h"
#include "runtime/qeCommutator.h"
#include "runtime/qeEventFromData.h"
#include "runtime/qeHub.h"
#include "serial/qeComAsync.h"

#include <string>

class TConsoleSchema : public TSchema {
public:
    TConsoleSchema();
    ~TConsoleSchema() override;

    // What the port list's selection does.
    void ChoosePort(const std::string& name);
    // What a click on the write button does (on the calling thread).
    void ClickWrite();
    // Stops an upload where it stands: the watchdog stops and the port is
    // closed (which waits for the reader thread). Dispatch stays on.
    void Abort();
    // What closing the window does; dispatch ends.
    void Close();

    TQeHub* PortWriteHub;
    WriteTap* Writes;
    TQeMultiElementEx* ProbeHost;
    TQeMultiElementEx* UploadHost;
    TQeCommutator* RxSwitch;
    TQeComAsync* SerialPort;
    BurstTap* Bursts;
    OpenTap* Opened;
    TQeEventFromData* SelectedPort;
    TQeHub* PortSelectHub;
    TQeHub* ClosePortHub;
    Recording* Status;
    Recording* DeviceFound;
    Recording* Progress;
    Recording* Success;
    Recording* Failure;
    TextField* CrcEdit;

    TClassMultiElementEx_25A91E0* Upload() const;
};
