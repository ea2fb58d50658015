#include "app/cli/CliOptions.h"

#include <cctype>
#include <cstdlib>

namespace {

bool ParseProgress(const std::string& value, TProgressMode& mode) {
    if (value == "auto")
        mode = TProgressMode::automatic;
    else if (value == "bar")
        mode = TProgressMode::bar;
    else if (value == "plain")
        mode = TProgressMode::plain;
    else if (value == "none")
        mode = TProgressMode::none;
    else
        return false;
    return true;
}

// The value of an option given as "--name=value" or "--name value".
bool OptionValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                 std::string& value, std::string& error) {
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return false;
        }
        value = args[++i];
    } else {
        value = a.substr(name.size() + 1);
    }
    return true;
}

// An option that names a file never stands empty: an unset shell variable
// behind "--image=" must not fall back to the carried image, nor "--log="
// to no log.
bool FileValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value, std::string& error) {
    if (!OptionValue(args, i, name, value, error)) return false;
    if (!value.empty()) return true;
    error = name + " was given an empty file name";
    return false;
}

// A bound of report's records: a UTC date (2026-12-09), or a date and a
// time to the minute or second, with or without its Z. Records' times are
// compared with it as text, which orders them in time.
bool IsTimeBound(const std::string& t) {
    const std::string shape = "dddd-dd-ddTdd:dd:dd";
    std::size_t n = t.size() && t.back() == 'Z' ? t.size() - 1 : t.size();
    if (n != 10 && n != 16 && n != 19) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[i])) : t[i] != shape[i])
            return false;
    return true;
}

bool IsOption(const std::string& a, const std::string& name) {
    return a == name || a.rfind(name + "=", 0) == 0;
}

// A whole number from `least` to `most`.
bool NumberValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                 int least, int most, int& number, std::string& error) {
    std::string value;
    if (!OptionValue(args, i, name, value, error)) return false;
    char* end = nullptr;
    long n = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != 0 || n < least || n > most) {
        error = name + " takes a whole number from " + std::to_string(least) + " to " +
                std::to_string(most) + ", not '" + value + "'";
        return false;
    }
    number = int(n);
    return true;
}

} // namespace

bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options,
                     std::string& error) {
    std::vector<std::string> words;
    bool help = false, version = false, roundsGiven = false, spoolLimitGiven = false;
    // Asked for JSON, a usage error is answered in JSON too.
    for (const auto& a : args)
        if (a == "--json") options.json = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--version" || a == "-V") {
            version = true;
        } else if (a == "--yes" || a == "-y") {
            options.yes = true;
        } else if (a == "--json") {
            options.json = true;
        } else if (a == "--allow-placeholder") {
            options.allowPlaceholder = true;
        } else if (a == "--all") {
            options.all = true;
        } else if (a == "-v" || a == "--verbose") {
            options.verbose = true;
        } else if (IsOption(a, "--log")) {
            if (!FileValue(args, i, "--log", options.logFile, error)) return false;
        } else if (IsOption(a, "--image")) {
            if (!FileValue(args, i, "--image", options.imageFile, error)) return false;
        } else if (IsOption(a, "--record")) {
            if (!FileValue(args, i, "--record", options.recordFile, error)) return false;
        } else if (IsOption(a, "--spool")) {
            if (!FileValue(args, i, "--spool", options.spoolFile, error)) return false;
        } else if (IsOption(a, "--spool-limit")) {
            if (!NumberValue(args, i, "--spool-limit", 1, 10000000, options.spoolLimit, error))
                return false;
            spoolLimitGiven = true;
        } else if (IsOption(a, "--since") || IsOption(a, "--until")) {
            const bool since = IsOption(a, "--since");
            std::string& bound = since ? options.since : options.until;
            if (!OptionValue(args, i, since ? "--since" : "--until", bound, error)) return false;
            if (!IsTimeBound(bound)) {
                error = std::string(since ? "--since" : "--until") +
                        " takes a UTC date or time "
                        "such as 2026-12-09 or 2026-12-09T14:30, not '" +
                        bound + "'";
                return false;
            }
            if (bound.back() == 'Z') bound.pop_back();
        } else if (IsOption(a, "--tag")) {
            if (!OptionValue(args, i, "--tag", options.tag, error)) return false;
        } else if (IsOption(a, "--expect-device")) {
            if (!OptionValue(args, i, "--expect-device", options.expectDevice, error)) return false;
            if (options.expectDevice.empty()) {
                error = "--expect-device was given an empty name";
                return false;
            }
        } else if (IsOption(a, "--count")) {
            if (!NumberValue(args, i, "--count", 1, 1000000, options.count, error)) return false;
        } else if (IsOption(a, "--rounds")) {
            if (!NumberValue(args, i, "--rounds", 1, 20, options.rounds, error)) return false;
            roundsGiven = true;
        } else if (IsOption(a, "--poll-ms")) {
            if (!NumberValue(args, i, "--poll-ms", 50, 10000, options.pollMs, error)) return false;
        } else if (a.rfind("--progress=", 0) == 0 || a == "--progress") {
            std::string value;
            if (a == "--progress") {
                if (i + 1 >= args.size()) {
                    error = "--progress needs a value: auto, bar, plain or none";
                    return false;
                }
                value = args[++i];
            } else {
                value = a.substr(11);
            }
            if (!ParseProgress(value, options.progress)) {
                error = "unknown progress mode '" + value + "': use auto, bar, plain or none";
                return false;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else {
            words.push_back(a);
        }
    }
    // --help and --version win over everything else on the line.
    if (help) {
        options.command = TCliCommand::help;
        return true;
    }
    if (version) {
        options.command = TCliCommand::version;
        return true;
    }
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const std::string& command = words[0];
    // The most ports the command takes.
    std::size_t most = 0;
    if (command == "list") {
        options.command = TCliCommand::list;
    } else if (command == "image") {
        options.command = TCliCommand::image;
    } else if (command == "identify") {
        options.command = TCliCommand::identify;
        most = 1;
    } else if (command == "write") {
        options.command = TCliCommand::write;
        most = 255;
    } else if (command == "station") {
        options.command = TCliCommand::station;
        most = 255;
    } else if (command == "report") {
        options.command = TCliCommand::report;
        most = std::size_t(-2);
        if (words.size() < 2) {
            error = "report needs one or more record files";
            return false;
        }
    } else if (command == "doctor") {
        options.command = TCliCommand::doctor;
        most = 1;
    } else {
        error = "unknown command '" + command + "'";
        return false;
    }
    if (words.size() > most + 1) {
        error = "unexpected argument '" + words[most + 1] + "'";
        return false;
    }
    options.ports.assign(words.begin() + 1, words.end());
    if (!options.ports.empty()) options.port = options.ports[0];
    const bool writes =
        options.command == TCliCommand::write || options.command == TCliCommand::station;
    if (options.all && (!writes || !options.ports.empty())) {
        error = "--all goes with write or station alone, without ports";
        return false;
    }
    if (!options.imageFile.empty() && !writes && options.command != TCliCommand::image) {
        error = "--image goes with write, station or image";
        return false;
    }
    if (roundsGiven && options.command != TCliCommand::doctor) {
        error = "--rounds goes with doctor";
        return false;
    }
    bool stationOption = options.count > 0 || !options.recordFile.empty() || !options.tag.empty() ||
                         !options.expectDevice.empty() || !options.spoolFile.empty() ||
                         spoolLimitGiven;
    if (stationOption && options.command != TCliCommand::station) {
        error = "--count, --record, --spool, --spool-limit, --tag and --expect-device go with "
                "station";
        return false;
    }
    if ((!options.spoolFile.empty() || spoolLimitGiven) &&
        options.recordFile.rfind("odbc:", 0) != 0) {
        error = "--spool and --spool-limit go with --record odbc:...";
        return false;
    }
    if ((!options.since.empty() || !options.until.empty()) &&
        options.command != TCliCommand::report) {
        error = "--since and --until go with report";
        return false;
    }
    return true;
}
