// The port list on Linux. The names come from two places:
//  - system serial devices (/sys/class/tty/*/device; ttyS entries without a
//    UART are skipped) have fixed numbers for k < 32: ttyS<k> is COM<k+1>,
//    ttyUSB<k> is COM<k+33>, ttyACM<k> is COM<k+65>; every other device takes
//    the free numbers from 129 upward, in name order;
//  - the port directory (PortDirectory) holds symlinks named COM<n> to device
//    nodes; they add ports or override the numbers above. Links whose target
//    is missing are ignored.
// Numbers above 255 are never listed.
#pragma once

#include "platform/Ports.h"

// ListPorts from a given sysfs tty class folder and port directory.
std::vector<TPortEntry> ListPortsFrom(const std::string& sysClassTty, const std::string& portDir);
