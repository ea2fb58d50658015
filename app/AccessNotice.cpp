#include "app/AccessNotice.h"

#include "platform/PortAccess.h"
#include "platform/Ports.h"
#include "runtime/Text1251.h"
#include "ui/toolkit/Application.h"

#include <algorithm>

std::string AccessNoticeText(const std::vector<std::string>& ports,
                             const std::vector<std::string>& groups) {
    if (ports.empty()) return {};
    std::string names, joined;
    for (const auto& p : ports)
        names += (names.empty() ? "" : ", ") + p;
    for (const auto& g : groups)
        joined += (joined.empty() ? "" : ", ") + g;
    std::string text = (ports.size() == 1 ? "Порт " + names +
                                                " не показан в списке: нет прав на "
                                                "доступ к нему."
                                          : "Порты " + names +
                                                " не показаны в списке: нет прав на "
                                                "доступ к ним.");
    std::string first = groups.empty() ? "dialout" : groups[0];
    return text + "\r\nДобавьте себя в группу " + (joined.empty() ? first : joined) +
           " (sudo usermod -aG " + first + " $USER) и войдите в систему заново.";
}

void TAccessNotice::inCreate(TData& d, uint16_t) {
    Fire(out, d);
    std::vector<std::string> ports, groups;
    for (const TPortEntry& port : ListPorts()) {
        if (!PortAccessDenied(port.device)) continue;
        ports.push_back(port.name);
        std::string group = PortAccessGroup(port.device);
        if (!group.empty() && std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    std::string text = AccessNoticeText(ports, groups);
    if (!text.empty()) ShowMessageBox("Varnomiksal bootloader", Cp1251(text));
}
