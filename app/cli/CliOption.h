// An option of varnomiksal-cli: how it is written, how it is read into
// TCliOptions, and what a command that does not take it makes of it.
#pragma once

#include "app/cli/CliOptions.h"

#include <string>

struct TOptionArg;

struct TCliOption {
    const char* name;      // "--log"
    const char* shortName; // "-v"; nullptr: none
    bool takesValue;       // "--name=value" or "--name value"
    // Reads the option (and its value) into the options; false with the usage error.
    bool (*take)(TOptionArg& arg, TCliOptions& options, std::string& error);
    // The usage error when a command that does not take the option is given
    // it; nullptr: such a command ignores it.
    const char* elsewhere = nullptr;
};

// An option as it stands on the line.
struct TOptionArg {
    const TCliOption& option;
    bool hasValue = false; // a value option was given its value
    std::string value{};
    // Cleared by an option whose value means the same as not giving it.
    bool given = true;
};

// One entry of --help's lists: what is typed, and what it does in lines
// wrapped as they are shown. `place` orders the Options list.
struct TCliHelp {
    int place = 0;
    std::string usage;
    std::string text;
};

// The value of a value option; false with "--name needs a value".
bool NeedValue(const TOptionArg& arg, std::string& error);
// A file name, never empty: an unset shell variable behind "--image=" must
// not fall back to the carried image, nor "--log=" to no log.
bool FileValue(const TOptionArg& arg, std::string& file, std::string& error);
// Keeps the option's value (or "" for an option without one) in
// `options.values` under its long name: the `take` of a command's own option
// that needs no field of its own.
bool KeepValue(TOptionArg& arg, TCliOptions& options, std::string& error);
// A whole number from `least` to `most`.
bool NumberValue(const TOptionArg& arg, int least, int most, int& number, std::string& error);

// `take` functions that read a value option into a field of TCliOptions: a
// file name (as FileValue), or a whole number from `least` to `most`.
template <std::string TCliOptions::*field>
bool TakeFile(TOptionArg& arg, TCliOptions& options, std::string& error) {
    return FileValue(arg, options.*field, error);
}
template <int TCliOptions::*field, int least, int most>
bool TakeNumber(TOptionArg& arg, TCliOptions& options, std::string& error) {
    return NumberValue(arg, least, most, options.*field, error);
}
