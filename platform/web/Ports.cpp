// The ports of the page: the serial devices the user has granted it through
// the browser's chooser, numbered COM1, COM2, ... in the order they were
// first seen by this page (WebSerial.js keeps the numbers).
#include "platform/Ports.h"

#include <emscripten/emscripten.h>

#include <string>

EM_JS(int, varno_serial_list, (int* numbers, int max),
      { return Module.varnoSerial.list(numbers, max); });

std::string PortDirectory() {
    return {};
}

std::vector<TPortEntry> ListPorts() {
    int numbers[255];
    const int n = varno_serial_list(numbers, 255);
    std::vector<TPortEntry> ports;
    for (int i = 0; i < n; ++i) {
        TPortEntry e;
        e.number = numbers[i];
        e.name = "COM" + std::to_string(numbers[i]);
        e.device = "web-serial:" + std::to_string(numbers[i]);
        ports.push_back(e);
    }
    return ports;
}
