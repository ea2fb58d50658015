// The console a command-line program runs in: whether its standard streams
// are terminals, how wide the terminal is, and writing text to it.
#pragma once

#include <string>

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();
// The width in columns of the terminal on standard error, where progress is
// drawn; 0 when unknown. Asked anew each time: the user may resize it.
int TerminalColumns();

// True when the terminal on standard error takes the cursor-up and
// erase-line sequences (ESC [ n A, ESC [ K) that redraw several lines in
// place; on Windows this turns the console's sequence handling on first,
// until the program ends.
bool StderrTakesCursorMoves();
// Puts back the terminal settings that this program changed, as they were
// found. Done by itself when the program ends (a return from main or exit);
// safe to call more than once.
void RestoreConsoleModes();

enum class TStdStream { out, err };

// Writes UTF-8 text to standard output or error, unbuffered. A console is
// given the text as characters, whatever its code page (on Windows through
// the console's wide-character call); a pipe or file gets the UTF-8 bytes as
// they are. A program without standard handles (a window program started
// from a console) writes to the console it was started from, if any.
// False when the text could not be written (a closed pipe, no console).
bool ConsoleWrite(TStdStream stream, const std::string& text);

// Makes a write to a pipe whose reader has gone fail with an error instead
// of ending the process, so that an upload is never cut off by the pipe its
// output goes to.
void IgnoreBrokenPipe();
