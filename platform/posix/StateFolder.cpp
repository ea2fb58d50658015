#include "platform/StateFolder.h"

#include <cstdlib>

std::filesystem::path StateFolder() {
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        return std::filesystem::path(state) / "varnomiksal";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local" / "state" / "varnomiksal";
    return {};
}
