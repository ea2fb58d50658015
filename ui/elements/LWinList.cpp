#include "ui/elements/LWinList.h"

std::vector<std::string> SplitItemLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines.push_back(line);
            line.clear();
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

void TQeLWinList::SetItems(const std::string& text) {
    BeginUpdate(text.size());
    if (!text.empty())
        for (const std::string& line : SplitItemLines(text))
            AddItem(line);
    EndUpdate();
}
