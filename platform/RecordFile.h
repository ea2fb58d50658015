// A file of records, one per line, that several writers append to at once:
// threads of this process, other processes, and processes on other machines
// through a shared folder. Each line goes out whole, under the file's lock,
// in one write, and is on disk before the call returns: lines never
// interleave, and a writer killed at any point leaves only whole lines.
#pragma once

#include <functional>
#include <string>

// Appends `line` (its line end included). A line left torn by a crash of
// the machine is ended first, so the new line stands on its own. An empty
// `line` only checks that the file can be appended to (creating it).
// False with a message when the file cannot be opened or written. The lock
// is held from the look at the file's last byte until the line is on disk;
// `whileLocked`, when given, is called with it held, right before the flush
// (for checks of the lock).
bool AppendRecordLine(const std::string& path, const std::string& line, std::string& error,
                      const std::function<void()>& whileLocked = {});

// Holds a file (created when missing) for one owner while the object lives:
// a second holder, in this process or another, is refused at once. A
// station holds its spool this way; the hold ends with the process.
class TFileHold {
public:
    TFileHold() = default;
    ~TFileHold();
    TFileHold(const TFileHold&) = delete;
    TFileHold& operator=(const TFileHold&) = delete;
    // False with a message when the file cannot be made or is held already.
    bool Take(const std::string& path, std::string& error);

private:
    long long handle_ = -1;
};
