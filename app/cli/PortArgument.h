// A port as the user names it on the command line: "COM<n>" (any letter
// case) or a device path, which is mapped to its COM name through the port
// list.
#pragma once

#include "platform/Ports.h"

#include <string>
#include <vector>

enum class TPortArgument {
    ok,         // name holds "COM<n>"
    bad_name,   // neither a COM name (1 to 255) nor a path
    no_such,    // a path that names nothing
    not_listed, // a path that exists but is no port in the list
};

TPortArgument ResolvePortArgument(const std::string& argument, const std::vector<TPortEntry>& ports,
                                  std::string& name);
