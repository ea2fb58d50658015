// Where the session log goes: a file (--log FILE) and stderr (-v). Lines are
// written from the command's own thread, never from the reader's; with
// several ports each line starts with its port.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class TLogOutput {
public:
    TLogOutput() = default;
    ~TLogOutput();
    TLogOutput(const TLogOutput&) = delete;
    TLogOutput& operator=(const TLogOutput&) = delete;

    // Opens the file, emptied or (a station's log, kept across its runs)
    // appended to; false with a message when it cannot.
    bool Open(const std::string& file, bool toStderr, std::string& error, bool append = false);
    bool Active() const { return file_ || toStderr_; }
    // Writes the lines, each after `prefix` (empty, or "COM3 ").
    void Write(const std::vector<std::string>& lines, const std::string& prefix);

    // Where -v's lines go on stderr; while progress bars are drawn, they are
    // given to the bars, which print them above themselves.
    std::function<void(const std::string&)> toStderr;

private:
    std::FILE* file_ = nullptr;
    bool toStderr_ = false;
};
