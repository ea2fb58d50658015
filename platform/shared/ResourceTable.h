// The table of embedded resources, generated at build time (Linux and the
// browser; Windows keeps its resources in the module).
#pragma once

#include <cstddef>

struct TResourceEntry {
    const char* name; // nullptr ends the table
    int type;
    const unsigned char* data;
    std::size_t size;
};

extern const TResourceEntry kResourceTable[];
