#include "platform/UsbInfo.h"

// The USB identity of a COM port lives in the device manager's setup data
// (SetupAPI), which the program does not use yet: no adapter details on
// Windows.
TUsbInfo UsbInfoFor(const std::string&) {
    return {};
}
