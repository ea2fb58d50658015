#include "app/cli/CliOption.h"

#include "app/cli/CliOptions.h"

#include <cstdlib>

bool NeedValue(const TOptionArg& arg, std::string& error) {
    if (arg.hasValue) return true;
    error = std::string(arg.option.name) + " needs a value";
    return false;
}

bool KeepValue(TOptionArg& arg, TCliOptions& options, std::string& error) {
    if (arg.option.takesValue && !NeedValue(arg, error)) return false;
    options.values[arg.option.name] = arg.value;
    return true;
}

bool FileValue(const TOptionArg& arg, std::string& file, std::string& error) {
    if (!NeedValue(arg, error)) return false;
    file = arg.value;
    if (!file.empty()) return true;
    error = std::string(arg.option.name) + " was given an empty file name";
    return false;
}

bool NumberValue(const TOptionArg& arg, int least, int most, int& number, std::string& error) {
    if (!NeedValue(arg, error)) return false;
    const std::string& value = arg.value;
    char* end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != 0 || n < least || n > most) {
        error = std::string(arg.option.name) + " takes a whole number from " +
                std::to_string(least) + " to " + std::to_string(most) + ", not '" + value + "'";
        return false;
    }
    number = int(n);
    return true;
}
