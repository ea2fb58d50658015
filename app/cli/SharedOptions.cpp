#include "app/cli/SharedOptions.h"

#include "app/cli/CliOptions.h"

namespace {

constexpr const char* kAllAlone = "--all goes with write or station alone, without ports";

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

bool TakeProgress(TOptionArg& arg, TCliOptions& o, std::string& error) {
    if (!arg.hasValue) {
        error = "--progress needs a value: auto, bar, plain or none";
        return false;
    }
    if (ParseProgress(arg.value, o.progress)) return true;
    error = "unknown progress mode '" + arg.value + "': use auto, bar, plain or none";
    return false;
}

const TCliOption kHelpOption{"--help", "-h", false, [](TOptionArg&, TCliOptions& o, std::string&) {
                                 o.help = true;
                                 return true;
                             }};
const TCliOption kVersionOption{"--version", "-V", false,
                                [](TOptionArg&, TCliOptions& o, std::string&) {
                                    o.version = true;
                                    return true;
                                }};

} // namespace

const TCliOption kYesOption{"--yes", "-y", false, [](TOptionArg&, TCliOptions& o, std::string&) {
                                o.yes = true;
                                return true;
                            }};
const TCliOption kAllOption{"--all", nullptr, false,
                            [](TOptionArg&, TCliOptions& o, std::string&) {
                                o.all = true;
                                return true;
                            },
                            kAllAlone};
const TCliOption kImageOption{"--image", nullptr, true, TakeFile<&TCliOptions::imageFile>,
                              "--image goes with write, station or image"};
const TCliOption kAllowPlaceholderOption{"--allow-placeholder", nullptr, false,
                                         [](TOptionArg&, TCliOptions& o, std::string&) {
                                             o.allowPlaceholder = true;
                                             return true;
                                         }};
const TCliOption kLogOption{"--log", nullptr, true, TakeFile<&TCliOptions::logFile>};
const TCliOption kVerboseOption{"--verbose", "-v", false,
                                [](TOptionArg&, TCliOptions& o, std::string&) {
                                    o.verbose = true;
                                    return true;
                                }};
const TCliOption kProgressOption{"--progress", nullptr, true, TakeProgress};
const TCliOption kJsonOption{"--json", nullptr, false,
                             [](TOptionArg&, TCliOptions& o, std::string&) {
                                 o.json = true;
                                 return true;
                             }};

const std::vector<const TCliOption*>& ProgramOptions() {
    static const std::vector<const TCliOption*> options{&kHelpOption, &kVersionOption};
    return options;
}

const std::vector<TCliHelp>& SharedOptionHelp() {
    static const std::vector<TCliHelp> help{
        {10, "-y, --yes", R"(write without asking; without it, write asks only
when stdin is a terminal (with --json too))"},
        {20, "--all", "write: every port where a device answers"},
        {30, "--image FILE", R"(write (or show) FILE instead of the carried image; it
must be exactly 130048 bytes (an empty FILE is a
usage error, never the carried image))"},
        {40, "--allow-placeholder", R"(write the placeholder image that a build without the
vendor's image carries (for test devices and the
simulator); without it such a write is refused)"},
        {50, "--log FILE", R"(write the session's log to FILE: the port and its
settings, the identification exchange in hex and as
text, one line per block (CRC sent, reply, delay),
failures with their reasons and the outcome, each line
with the seconds since the port opened)"},
        {60, "-v, --verbose", "print the same log on stderr"},
        {70, "--progress=MODE", R"(auto (default: a bar when stderr is a terminal, else
plain), bar, plain (one line per 10 %) or none; the
progress goes to stderr, the results to stdout; with
several ports one line per port)"},
        {80, "--json", R"(print one JSON result object on stdout at the end
instead of the messages, usage errors included (for
several ports, or --all, an array of them);
on a terminal, write still asks unless --yes is given)"},
        {900, "-h, --help", "show this text"},
        {910, "-V, --version", "show the program's version and the image it carries"},
    };
    return help;
}

bool AllWithoutPorts(const TCliOptions& options, std::string& error) {
    if (!options.all || options.ports.empty()) return true;
    error = kAllAlone;
    return false;
}
