#include "app/cli/PortArgument.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// n of "COM<n>" (any letter case, no leading zero, 1 to 255); 0 otherwise.
int ComNumber(const std::string& s) {
    if (s.size() < 4 || s.size() > 6) return 0;
    for (int i = 0; i < 3; ++i)
        if ((s[std::size_t(i)] & ~0x20) != "COM"[i]) return 0;
    if (s[3] == '0') return 0;
    int n = 0;
    for (std::size_t i = 3; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return 0;
        n = n * 10 + (s[i] - '0');
    }
    return n <= 255 ? n : 0;
}

bool LooksLikePath(const std::string& s) {
    return s.find('/') != std::string::npos || s.find('\\') != std::string::npos;
}

} // namespace

TPortArgument ResolvePortArgument(const std::string& argument, const std::vector<TPortEntry>& ports,
                                  std::string& name) {
    name.clear();
    if (int n = ComNumber(argument)) {
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
