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
