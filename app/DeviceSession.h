// The device session: the serial port with the program's line settings, the
// port selection, the probe and upload sub-schema hosts and the received-data
// switch, wired to one another. The window schema and the console schema each
// build one as a named part of their element table, and attach their own
// displays to its outputs:
//   ProbeHost->onPass[1]   the status text
//   ProbeHost->onPass[4]   a device was identified
//   UploadHost->onPass[0]  progress (blocks acknowledged)
//   UploadHost->onPass[2]  success, UploadHost->onPass[3] failure
//   UploadHost->onPass[4]  the running CRC text, which UploadHost->srcPass[0]
//                          reads back
//   SerialPort->onPort     the port list
// and drive it through PortSelectHub (a chosen port name), UploadHost's
// inPass[1] (write) and ClosePortHub (close the port).
#pragma once

#include "runtime/MultiElementEx.h"
#include "runtime/Share.h"

class TControl;
class TQeHub;
class TQeCommutator;
class TQeComAsync;
class TQeEventFromData;
class TClassMultiElementEx_25A8C60;
class TClassMultiElementEx_25A91E0;

// What the probe host's outputs and data outputs carry.
enum TProbeOut : uint16_t {
    probe_write = 0,     // "VERS", to be written to the port
    probe_status = 1,    // the status text
    probe_open = 2,      // open the chosen port
    probe_not_found = 3, // no device
    probe_found = 4,     // a device was identified (its signature)
};
enum TProbeValue : uint16_t {
    probe_route = 0,   // 1 once a device has been identified, else 0
    probe_device = 1,  // the device's name from its reply
    probe_version = 2, // its firmware version
};

// What the upload host's inputs and outputs carry.
enum TUploadIn : uint16_t {
    upload_reply = 0, // a received burst
    upload_start = 1, // start the transfer
    upload_stop = 2,  // stop it from outside, unless its outcome was decided first
};
enum TUploadOut : uint16_t {
    upload_progress = 0, // blocks acknowledged
    upload_write = 1,    // bytes to write to the port
    upload_success = 2,  // the final acknowledgement as hexadecimal text
    upload_failure = 3,  // an unmatched reply as hexadecimal text, the integer 3 (silence),
                         // or "PUSK" (the start command did not go out)
    upload_crc = 4,      // the running CRC text, which data input 0 reads back
    upload_burst = 5,    // every received burst, unchanged
    upload_gap = 6,      // the port's burst gap during the transfer and after it
};

// The serial port's input indices, as the schemas link them.
enum TSerialInput : uint16_t {
    serial_open = 0,
    serial_close = 1,
    serial_write = 2,
    serial_read = 3,
    serial_enum_ports = 4,
    serial_burst_gap = 5,
};

// The line settings the program gives its serial port: 38462 baud, 8 data
// bits, no parity, one stop bit, no flow control, abort on error, 4096-byte
// queues, received characters watched, reads that return at once, writes
// bounded by 1000 ms plus 100 ms a byte, and only openable ports listed.
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
    // their properties and stores the links between them.
    void Build(TSchema& schema, TControl* window, void* ownerSchema);
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
