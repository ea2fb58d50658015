// What a device instance id of the device manager tells of a USB adapter:
// "USB\VID_0403&PID_6001\A50285BI" (a serial after the last "\"; a
// generated one holds '&'), or a vendor driver's bus, as FTDI's
// "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000" (the serial with the port's
// letter after it).
#pragma once

#include "platform/UsbInfo.h"

#include <string>

// Fills vendorId, productId and serial from `id`; false when it names no USB
// vendor and product.
bool ParseUsbInstanceId(const std::string& id, TUsbInfo& info);
