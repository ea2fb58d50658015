// On Linux a port is a COM<n> link in the port directory.
#include "tests/platform/PortMap.h"

#include "tests/platform/PtyPort.h"

#include <algorithm>
#include <unistd.h>

namespace {

std::string LinkPath(int number) {
    return TestPortDir() + "/COM" + std::to_string(number);
}

} // namespace

TTestPortMap::~TTestPortMap() {
    for (int n : added_)
        unlink(LinkPath(n).c_str());
}

std::string TTestPortMap::Add(int number) {
    const std::string link = LinkPath(number);
    unlink(link.c_str());
    if (symlink("/dev/null", link.c_str()) != 0) return {};
    added_.push_back(number);
    return link;
}

void TTestPortMap::Remove(int number) {
    unlink(LinkPath(number).c_str());
    added_.erase(std::remove(added_.begin(), added_.end(), number), added_.end());
}
