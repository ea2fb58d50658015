// Test ports in the system's own port map, removed again by the destructor.
// Each system's tests/platform/<system>/PortMap.cpp knows how its port list
// learns of a port.
#pragma once

#include <string>
#include <vector>

class TTestPortMap {
public:
    TTestPortMap() = default;
    ~TTestPortMap();
    TTestPortMap(const TTestPortMap&) = delete;
    TTestPortMap& operator=(const TTestPortMap&) = delete;

    // Makes COM<number> known to the port list; returns the device that
    // ResolvePort should give for it.
    std::string Add(int number);
    void Remove(int number);

private:
    std::vector<int> added_;
};
