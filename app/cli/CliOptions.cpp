#include "app/cli/CliOptions.h"

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

} // namespace

bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options,
                     std::string& error) {
    std::vector<std::string> words;
    bool help = false, version = false;
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
    std::size_t wanted = 2;
    if (command == "list") {
        options.command = TCliCommand::list;
        wanted = 1;
    } else if (command == "identify") {
        options.command = TCliCommand::identify;
    } else if (command == "write") {
        options.command = TCliCommand::write;
    } else {
        error = "unknown command '" + command + "'";
        return false;
    }
    if (words.size() < wanted) {
        error = "'" + command + "' needs a port, e.g. COM3 or /dev/ttyUSB0";
        return false;
    }
    if (words.size() > wanted) {
        error = "unexpected argument '" + words[wanted] + "'";
        return false;
    }
    if (wanted == 2) options.port = words[1];
    return true;
}
