// What the system knows of the USB adapter behind a serial device.
#pragma once

#include <string>

struct TUsbInfo {
    bool usb = false;         // the device sits on a USB adapter
    std::string vendorId;     // "0403"
    std::string productId;    // "6001"
    std::string serial;       // may be empty
    std::string manufacturer; // may be empty
    std::string product;      // may be empty
    std::string driver;       // the serial driver as the system names it ("ftdi_sio"), or empty
};

// On Linux from sysfs (the tty's device and its USB parent); a device path
// that is a link is followed first. Not a USB device, or nothing known: usb
// is false.
TUsbInfo UsbInfoFor(const std::string& device);

// Where the serial device sits, as the system names the place: the
// /dev/serial/by-path name on Linux, the location path on Windows. It stays
// the same when an adapter is plugged into the same socket again, and after
// a restart. Empty where the system does not know it (a virtual port).
// $VARNOMIKSAL_BY_PATH_DIR, when set, stands for /dev/serial/by-path.
std::string PortLocation(const std::string& device);
