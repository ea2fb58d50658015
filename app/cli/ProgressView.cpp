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

} // namespace

std::string ProgressBarLine(int done, int total, double seconds, int columns) {
    done = std::clamp(done, 0, total);
    double rate = Rate(done, seconds);
    double left = rate > 0 ? double(total - done) * block_bytes / rate : -1;
    char tail[96];
    std::snprintf(tail, sizeof tail, " block %d/%d  %5.0f B/s  %s left", done, total, rate,
                  Clock(left).c_str());
    // The bar takes what the terminal leaves, between 10 and 40 cells.
    int room = (columns > 0 ? columns - 1 : 80) - int(std::string(tail).size()) - 2;
    int width = std::clamp(room, 10, 40);
    int filled = total > 0 ? done * width / total : 0;
    return "[" + std::string(std::size_t(filled), '#') +
           std::string(std::size_t(width - filled), '.') + "]" + tail;
}

std::vector<std::string> TPlainProgress::Lines(int done, int total, double seconds) {
    std::vector<std::string> lines;
    if (total <= 0) return lines;
    int tenths = std::clamp(done * 10 / total, 0, 10);
    for (; shown_ < tenths; ++shown_) {
        int at = (shown_ + 1) == 10 ? total : (shown_ + 1) * total / 10;
        char line[96];
        std::snprintf(line, sizeof line, "progress: %3d%%  block %d/%d  %.1f s", (shown_ + 1) * 10,
                      shown_ + 1 == tenths ? done : at, total, seconds);
        lines.emplace_back(line);
    }
    return lines;
}
