#include "app/cli/ProgressOutput.h"

#include "platform/Console.h"

#include <algorithm>

TProgressOutput::TProgressOutput(TProgressMode mode, const std::vector<TPortJob*>& jobs)
    : mode_(mode), jobs_(jobs), plain_(jobs.size()) {
    if (mode_ == TProgressMode::bar && jobs_.size() > 1 && !StderrTakesCursorMoves())
        mode_ = TProgressMode::plain;
}

TProgressOutput::~TProgressOutput() {
    if (barLength_ > 0) ConsoleWrite(TStdStream::err, "\n");
}

std::string TProgressOutput::Erase() {
    std::string text;
    if (barLength_ > 0) {
        // One bar: blanks over it, back to its start.
        text = "\r" + std::string(Cover(TerminalColumns()), ' ') + "\r";
        barLength_ = 0;
    } else if (drawn_) {
        // Several: up to the first, and everything below erased.
        text = "\x1b[" + std::to_string(jobs_.size()) + "A\r\x1b[J";
        drawn_ = false;
    }
    return text;
}

void TProgressOutput::Above(const std::string& lines) {
    if (mode_ != TProgressMode::bar) {
        ConsoleWrite(TStdStream::err, lines);
        return;
    }
    ConsoleWrite(TStdStream::err, Erase() + lines);
    Show();
}

void TProgressOutput::Show() {
    std::string text;
    const bool several = jobs_.size() > 1;
    if (mode_ == TProgressMode::bar && !several) {
        // Redrawn in place at the terminal's width of the moment; blanks
        // cover what a longer line left behind.
        TPortJob& job = *jobs_[0];
        int columns = TerminalColumns();
        std::string line =
            ProgressBarLine(job.done.load(), kImageBlocks, job.seconds.load(), columns);
        std::size_t length = line.size();
        std::size_t cover = Cover(columns);
        if (length < cover) line.append(cover - length, ' ');
        barLength_ = std::max<std::size_t>(length, 1);
        text = "\r" + line;
    } else if (mode_ == TProgressMode::bar) {
        // One line per port, the cursor taken back up to the first.
        int columns = TerminalColumns();
        if (drawn_) text = "\x1b[" + std::to_string(jobs_.size()) + "A";
        for (TPortJob* job : jobs_) {
            std::string name = job->port;
            name.resize(std::max<std::size_t>(name.size(), 7), ' ');
            // A port that failed says so at once, while the others go on.
            std::string line;
            switch (job->state.load()) {
            case TPortJob::failed:
                line = "failed at block " + std::to_string(std::min(job->done + 1, kImageBlocks));
                break;
            case TPortJob::interrupted:
                line = "interrupted";
                break;
            default:
                line =
                    ProgressBarLine(job->done.load(), kImageBlocks, job->seconds.load(),
                                    std::max((columns > 0 ? columns : 80) - int(name.size()), 1));
            }
            text += "\r" + name + line + "\x1b[K\n";
        }
        drawn_ = true;
    } else if (mode_ == TProgressMode::plain) {
        for (std::size_t i = 0; i < jobs_.size(); ++i) {
            TPortJob& job = *jobs_[i];
            TFlasher& flasher = *job.flasher;
            auto at = [&flasher](int blocks) { return flasher.SecondsAt(blocks); };
            for (const auto& line : plain_[i].Lines(job.done.load(), kImageBlocks, at))
                text += (several ? job.port + " " : "") + line + "\n";
        }
    }
    if (!text.empty()) ConsoleWrite(TStdStream::err, text);
}
