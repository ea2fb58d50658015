#include "app/cli/PortArgument.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool LooksLikePath(const std::string& s) {
    return s.find('/') != std::string::npos || s.find('\\') != std::string::npos;
}

} // namespace

TPortArgument ResolvePortArgument(const std::string& argument, const std::vector<TPortEntry>& ports,
                                  std::string& name) {
    name.clear();
    if (int n = PortNumber(argument)) {
        name = "COM" + std::to_string(n);
        return TPortArgument::ok;
    }
    if (!LooksLikePath(argument)) return TPortArgument::bad_name;
    // A path and a list entry name the same port when they lead to the same
    // device node (list entries may be links, the argument too).
    std::error_code ec;
    fs::path wanted = fs::canonical(argument, ec);
    if (ec) {
        // Windows device paths ("\\.\COM3") are no files: compare the text.
        for (const auto& port : ports)
            if (port.device == argument) {
                name = port.name;
                return TPortArgument::ok;
            }
        return TPortArgument::no_such;
    }
    for (const auto& port : ports) {
        std::error_code ec2;
        if (port.device == argument || fs::canonical(port.device, ec2) == wanted) {
            name = port.name;
            return TPortArgument::ok;
        }
    }
    return TPortArgument::not_listed;
}
