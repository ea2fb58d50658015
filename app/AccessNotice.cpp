#include "app/AccessNotice.h"

#include "platform/PortAccess.h"
#include "platform/Ports.h"
#include "platform/Text1251.h"
#include "ui/toolkit/Application.h"

#include <algorithm>

std::string AccessNoticeText(const std::vector<std::string>& ports,
                             const std::vector<std::string>& groups, bool rootOnly) {
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
    if (!groups.empty())
        text += "\r\nДобавьте себя в группу " + joined + " (sudo usermod -aG " + groups[0] +
                " $USER) и войдите в систему заново.";
    // A port only root may open: no group to join helps.
    if (rootOnly)
        text += "\r\nОткрыть " + std::string(groups.empty() ? "их" : "часть из них") +
                " может только root: дайте доступ правилом udev (GROUP=\"dialout\", "
                "MODE=\"0660\") или через группу последовательных портов вашего дистрибутива.";
    return text;
}

void TAccessNotice::inCreate(TData& d, uint16_t) {
    Fire(out, d);
    std::vector<std::string> ports, groups;
    bool rootOnly = false;
    for (const TPortEntry& port : ListPorts()) {
        if (!PortAccessDenied(port.device)) continue;
        ports.push_back(port.name);
        std::string group = PortAccessGroup(port.device);
        rootOnly |= group.empty();
        if (!group.empty() && std::find(groups.begin(), groups.end(), group) == groups.end())
            groups.push_back(group);
    }
    std::string text = AccessNoticeText(ports, groups, rootOnly);
    if (!text.empty()) ShowMessageBox("Varnomiksal bootloader", Cp1251(text));
}
