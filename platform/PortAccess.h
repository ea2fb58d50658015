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
// The group whose members may read and write the device ("dialout"), and
// so the one a user may join to open it; empty when there is none (the
// group may not both read and write it, or it is root's own: then only root
// may open the device), when unknown, and on Windows.
std::string PortAccessGroup(const std::string& device);

// How to give access to a device that only root may open, in one sentence.
inline const char* kRootOnlyAdvice =
    "only root may open it: give access with a udev rule (for example "
    "SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB*\", GROUP=\"dialout\", MODE=\"0660\" in a file "
    "under /etc/udev/rules.d/), or through your distribution's serial group, then plug the "
    "adapter in again";
