// The page's share of the system services that have no counterpart in a
// browser: there is no thread priority to raise, no host name, and access to
// a port is what the user granted in the chooser.
#include "platform/HostName.h"
#include "platform/PortAccess.h"
#include "platform/StateFolder.h"
#include "platform/ThreadPriority.h"

void RaiseCurrentThreadPriority() {}

std::string HostName() {
    return {};
}

TPortProblem CheckPortAccess(const std::string&) {
    return TPortProblem::other;
}

bool PortAccessDenied(const std::string&) {
    return false;
}

std::string PortAccessGroup(const std::string&) {
    return {};
}

// The page's files live in its memory: WebFiles.js offers them as downloads.
std::filesystem::path StateFolder() {
    return "/varnomiksal";
}
