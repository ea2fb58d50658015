// The progress of the ports being written, on stderr: for one port a bar
// redrawn in place (or one plain line per tenth), for several one bar line
// per port redrawn together (or plain lines that start with the port).
#pragma once

#include "app/cli/CliOptions.h"
#include "app/cli/PortJobs.h"
#include "app/cli/ProgressView.h"

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

private:
    TProgressMode mode_;
    std::vector<TPortJob*> jobs_;
    std::vector<TPlainProgress> plain_;
    std::size_t barLength_ = 0; // one port: the last bar's length
    bool drawn_ = false;        // several ports: the bars are on the screen
};
