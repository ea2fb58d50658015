// Text that came from a device (its name and version, a USB adapter's
// descriptor strings) made safe to print on a terminal or in a log line:
// control characters become visible escapes, so that such text can neither
// move the cursor, change colours nor split a line.
#pragma once

#include <string>

// UTF-8 in, UTF-8 out: "\r", "\n", "\t", "\\" and "\xHH" for the other C0
// controls, DEL and bytes that are no UTF-8; "\u0080" to "\u009F" for the
// C1 controls. Everything else stays as it is.
std::string VisibleText(const std::string& text);

// The columns a UTF-8 text takes on a terminal, one per character.
std::size_t Columns(const std::string& text);
// The text cut to fit in fewer than `columns` columns (a whole character
// at a time); as it is when `columns` is unknown (0 or less).
std::string FitColumns(const std::string& text, int columns);
