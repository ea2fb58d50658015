// Reads back a line of JSON that this program wrote: one flat object whose
// values are strings, numbers, true, false or null.
#pragma once

#include <map>
#include <string>

struct TJsonValue {
    bool isString = false;
    std::string text; // a string's text (UTF-8), or the value as written
    double number = 0;
};

// False when the line is no such object (a torn or foreign line).
bool ParseJsonLine(const std::string& line, std::map<std::string, TJsonValue>& object);
