#include "app/cli/Summary.h"

#include <algorithm>
#include <cstdio>

namespace {

// Characters, not bytes: device names and the arrow are UTF-8.
std::size_t Width(const std::string& text) {
    return std::size_t(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string Pad(const std::string& text, std::size_t width) {
    return text + std::string(width > Width(text) ? width - Width(text) : 0, ' ');
}

} // namespace

double BytesPerSecond(long long bytes, double seconds) {
    return seconds > 0 ? double(bytes) / seconds : 0;
}

std::string ClosingLine(long long bytes, double seconds, const std::string& device,
                        const std::string& port, const std::string& oldVersion,
                        const std::string& newVersion) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "Wrote %lld bytes in %.1f s (%.1f kbit/s)", bytes,
                  seconds, BytesPerSecond(bytes, seconds) * 8 / 1000);
    return std::string(numbers) + " to " + device + " on " + port + ": " + oldVersion + " → " +
           newVersion;
}

std::string SummaryTable(const std::vector<TSummaryRow>& rows) {
    std::vector<std::vector<std::string>> cells = {
        {"port", "device", "version", "result", "seconds"}};
    for (const auto& row : rows) {
        char seconds[32] = "-";
        if (row.seconds >= 0) std::snprintf(seconds, sizeof seconds, "%.1f", row.seconds);
        std::string version =
            row.oldVersion.empty() ? "-" : row.oldVersion + " → " + row.newVersion;
        cells.push_back(
            {row.port, row.device.empty() ? "-" : row.device, version, row.result, seconds});
    }
    std::vector<std::size_t> widths(5, 0);
    for (const auto& line : cells)
        for (std::size_t i = 0; i < 5; ++i)
            widths[i] = std::max(widths[i], Width(line[i]));
    std::string table;
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t i = 0; i < 5; ++i)
            text += i + 1 < 5 ? Pad(line[i], widths[i] + 2) : line[i];
        table += text + "\n";
    }
    return table;
}
