#include "station/SlotPlaces.h"

#include "platform/Ports.h"

#include <algorithm>

std::vector<TSlotPlace> NewSlotPlaces(const std::vector<TSlotPlace>& slots,
                                      const std::vector<std::string>& named) {
    std::vector<TSlotPlace> all = slots, added;
    auto add = [&](const TSlotPlace& place) {
        all.push_back(place);
        added.push_back(place);
    };
    if (!named.empty()) {
        const std::vector<TPortEntry> ports = ListPorts();
        for (const std::string& name : named) {
            if (std::any_of(all.begin(), all.end(),
                            [&](const TSlotPlace& here) { return here.port == name; }))
                continue;
            TPortEntry entry{PortNumber(name), name, {}};
            for (const TPortEntry& p : ports)
                if (p.name == name) entry = p;
            add(PlaceOf(entry));
        }
        return added;
    }
    for (const TPortEntry& port : ListPorts()) {
        const TSlotPlace place = PlaceOf(port);
        const bool taken = std::any_of(all.begin(), all.end(), [&](const TSlotPlace& here) {
            if (place.located && here.located) return here.name == place.name;
            return here.port == place.port;
        });
        if (!taken) add(place);
    }
    return added;
}
