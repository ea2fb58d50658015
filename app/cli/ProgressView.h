// How an upload's progress is shown: a one-line bar for a terminal, or one
// plain line per tenth of the image for logs and pipes.
#pragma once

#include <string>
#include <vector>

// One line (no line end) for `done` acknowledged blocks of `total` after
// `seconds`: a bar, the block count, bytes per second and the time left.
// `columns` is the terminal's width (0: unknown).
std::string ProgressBarLine(int done, int total, double seconds, int columns);

// Plain lines: one per tenth reached since the last call ("10%" to "100%").
class TPlainProgress {
public:
    std::vector<std::string> Lines(int done, int total, double seconds);

private:
    int shown_ = 0; // tenths already shown
};
