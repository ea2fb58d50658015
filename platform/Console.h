// The console a command-line program runs in: whether its standard streams
// are terminals, and how wide the terminal is.
#pragma once

bool StdinIsTerminal();
bool StdoutIsTerminal();
// The terminal's width in columns; 0 when unknown.
int TerminalColumns();
