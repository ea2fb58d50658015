// Why a serial device cannot be opened, so that a program can say what to do
// about it. Asked only after an open has failed.
#pragma once

#include <string>

enum class TPortProblem {
    none,    // it opens now
    missing, // no such device (unplugged, wrong name)
    busy,    // another program holds it
    denied,  // no permission (on Linux: not in the dialout group)
    other,
};

TPortProblem CheckPortAccess(const std::string& device);

// True when the user may not open the device at all (on Linux: its mode
// and group leave the user out); asked without opening it, so listing the
// ports disturbs no line. Always false on Windows, which has no such case.
bool PortAccessDenied(const std::string& device);
// The group whose members may open the device ("dialout"); empty when
// unknown, and on Windows.
std::string PortAccessGroup(const std::string& device);
