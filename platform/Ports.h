// The serial ports installed on the machine, named "COM<n>" (n 1..255), and
// the device behind each name.
//
// On Linux the names come from two places:
//  - system serial devices (/sys/class/tty/*/device; ttyS entries without a
//    UART are skipped) have fixed numbers for k < 32: ttyS<k> is COM<k+1>,
//    ttyUSB<k> is COM<k+33>, ttyACM<k> is COM<k+65>; every other device takes
//    the free numbers from 129 upward, in name order;
//  - the port directory holds symlinks named COM<n> to device nodes; they add
//    ports or override the numbers above. Links whose target is missing are
//    ignored.
// Numbers above 255 are never listed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct TPortEntry {
    int number = 0;     // n of "COM<n>"
    std::string name;   // "COM<n>"
    std::string device; // the device node, e.g. "/dev/ttyUSB0"
};

// The port directory: $VARNOMIKSAL_PORT_DIR when set, else
// ${XDG_STATE_HOME:-$HOME/.local/state}/varnomiksal/ports.
std::string PortDirectory();

// Every port, ordered by number.
std::vector<TPortEntry> ListPorts();
// The same from a given sysfs tty class folder and port directory.
std::vector<TPortEntry> ListPortsFrom(const std::string& sysClassTty, const std::string& portDir);

// The device behind "COM<n>" (any letter case, no leading zeros); false when
// the name is no port name or names no installed port.
bool ResolvePort(std::string_view name, std::string& device);
