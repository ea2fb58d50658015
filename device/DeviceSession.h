// The device session: the serial port with the program's line settings, the
// port selection, the probe and upload sub-schema hosts and the received-data
// switch, wired to one another. The window schema and the console schema each
// build one as a named part of their element table, and attach their own
// displays to its outputs:
//   ProbeHost->onPass[probe_status]      the status text
//   ProbeHost->onPass[probe_found]       a device was identified
//   UploadHost->onPass[upload_progress]  progress (blocks acknowledged)
//   UploadHost->onPass[upload_success]   success, [upload_failure] failure
//   UploadHost->onPass[upload_crc]       the running CRC text, which
//                                        UploadHost->srcPass[upload_crc_text]
//                                        reads back
//   SerialPort->onPort                   the port list
// and drive it through PortSelectHub (a chosen port name), UploadHost's
// inPass(upload_start) (write) and ClosePortHub (close the port). The pins'
// names are in device/SessionPins.h.
#pragma once

#include "device/SessionPins.h"
#include "runtime/MultiElementEx.h"
#include "runtime/Share.h"

class TControl;
class TQeHub;
class TQeCommutator;
class TQeComAsync;
class TQeEventFromData;
class TClassMultiElementEx_25A8C60;
class TClassMultiElementEx_25A91E0;

// The serial port's input indices, as the schemas link them.
enum TSerialInput : uint16_t {
    serial_open = 0,
    serial_close = 1,
    serial_write = 2,
    serial_read = 3,
    serial_enum_ports = 4,
    serial_burst_gap = 5,
};

// Gives the port the program's line settings (device/Protocol.h).
void ApplyProgramLineSettings(TQeComAsync& port);

struct TDeviceSession {
    TQeHub* PortWriteHub = nullptr;
    TQeMultiElementEx* ProbeHost = nullptr;
    TQeMultiElementEx* UploadHost = nullptr;
    TQeCommutator* RxSwitch = nullptr;
    TQeComAsync* SerialPort = nullptr;
    TQeEventFromData* SelectedPort = nullptr;
    TQeHub* PortSelectHub = nullptr;
    TQeHub* ClosePortHub = nullptr;

    // Creates the elements in `schema` (the hosts on `window`, or none), sets
    // their properties and stores the links between them. `schema` owns the
    // sub-schemas (their Owner).
    void Build(TSchema& schema, TControl* window);
    // Lets the hosts create the probe and the upload sub-schemas; the last
    // step of building a schema.
    void CreateSubSchemas();
    // The probe and the upload sub-schemas, once created.
    TClassMultiElementEx_25A8C60* Probe() const;
    TClassMultiElementEx_25A91E0* Upload() const;
    // Stops the timers whose ticks reach the session's elements (the probe's
    // reply wait, the upload's watchdog) and waits for a tick in progress:
    // before the elements are freed.
    void HaltTimers();
};

// Puts `tap` in front of what `link` leads to: `link` then leads to the
// tap's input, and the tap's `out` to the old target.
template <auto Input, class Tap> void InsertTap(TEventLink& link, Tap* tap) {
    tap->out = link;
    link = MakeLink<Input>(link.index, tap);
}
