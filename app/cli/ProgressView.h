// How an upload's progress is shown: a one-line bar for a terminal, or one
// plain line per tenth of the image for logs and pipes.
#pragma once

#include <functional>
#include <string>
#include <vector>

// One line (no line end) for `done` acknowledged blocks of `total` after
// `seconds`: a bar, the percentage, the block count, bytes per second and
// the time left. It fits in `columns` - 1 (0: unknown, taken as 80): a
// narrow terminal loses the bar, then the line's end.
std::string ProgressBarLine(int done, int total, double seconds, int columns);

// Plain lines: one per tenth reached since the last call ("10%" to "100%"),
// each naming the block that reached it (block 51 of 508 is the first at
// 10 %) and when that block was acknowledged.
class TPlainProgress {
public:
    // `secondsAt(k)`: when the k-th block was acknowledged.
    std::vector<std::string> Lines(int done, int total,
                                   const std::function<double(int)>& secondsAt);

private:
    int shown_ = 0; // tenths already shown
};
