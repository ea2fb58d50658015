#include "app/cli/ProgressView.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int block_bytes = 256;

std::string Clock(double seconds) {
    if (seconds < 0) return "--:--";
    long s = long(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

double Rate(int done, double seconds) {
    return seconds > 0 ? double(done) * block_bytes / seconds : 0;
}

// The first block count that reaches `tenths` tenths of `total`.
int BlockAtTenths(int tenths, int total) {
    return (tenths * total + 9) / 10;
}

} // namespace

std::string ProgressBarLine(int done, int total, double seconds, int columns) {
    done = std::clamp(done, 0, total);
    double rate = Rate(done, seconds);
    double left = rate > 0 ? double(total - done) * block_bytes / rate : -1;
    int percent = total > 0 ? done * 100 / total : 0;
    char tail[128];
    // The rate in the closing line's unit.
    std::snprintf(tail, sizeof tail, " %3d%%  block %d/%d  %5.1f kbit/s  %s left", percent, done,
                  total, rate * 8 / 1000, Clock(left).c_str());
    // The bar takes what the terminal leaves, up to 40 cells; under 10 it
    // is left out. The last column stays free, or the terminal would wrap.
    int usable = (columns > 0 ? columns : 80) - 1;
    int width = std::min(usable - int(std::string(tail).size()) - 2, 40);
    std::string line;
    if (width >= 10) {
        int filled = total > 0 ? done * width / total : 0;
        line = "[" + std::string(std::size_t(filled), '#') +
               std::string(std::size_t(width - filled), '.') + "]" + tail;
    } else {
        line = tail + 1;
    }
    if (int(line.size()) > usable) line.resize(std::size_t(std::max(usable, 0)));
    return line;
}

std::vector<std::string> TPlainProgress::Lines(int done, int total,
                                               const std::function<double(int)>& secondsAt) {
    std::vector<std::string> lines;
    if (total <= 0) return lines;
    for (; shown_ < 10 && BlockAtTenths(shown_ + 1, total) <= done; ++shown_) {
        int at = BlockAtTenths(shown_ + 1, total);
        char line[96];
        std::snprintf(line, sizeof line, "progress: %3d%%  block %d/%d  %.1f s", (shown_ + 1) * 10,
                      at, total, secondsAt(at));
        lines.emplace_back(line);
    }
    return lines;
}
