// The progress of the ports being written, on stderr: for one port a bar
// redrawn in place (or one plain line per tenth), for several one bar line
// per port redrawn together (or plain lines that start with the port).
#pragma once

#include "app/cli/CliOptions.h"
#include "app/cli/PortJobs.h"
#include "app/cli/ProgressView.h"

#include <algorithm>
#include <string>
#include <vector>

class TProgressOutput {
public:
    // `mode` is bar, plain or none; bar falls back to plain for several
    // ports on a terminal that cannot move its cursor.
    TProgressOutput(TProgressMode mode, const std::vector<TPortJob*>& jobs);
    // Ends the bars' last line.
    ~TProgressOutput();
    // Shows what the jobs have reached.
    void Show();
    // Prints whole lines (ending in a line end) on stderr above the bars:
    // the bars are taken away, the lines printed, and the bars drawn anew
    // below them, so that neither tears the other.
    void Above(const std::string& lines);

private:
    // The text that takes the bars off the screen, the cursor left where
    // they began.
    std::string Erase();
    // How much of the last bar blanks must cover: never past the line's end.
    std::size_t Cover(int columns) const {
        return std::min<std::size_t>(barLength_, columns > 1 ? std::size_t(columns - 1) : 79);
    }

    TProgressMode mode_;
    std::vector<TPortJob*> jobs_;
    std::vector<TPlainProgress> plain_;
    std::size_t barLength_ = 0; // one port: the last bar's length
    bool drawn_ = false;        // several ports: the bars are on the screen
};
