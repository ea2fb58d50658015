#include "app/cli/CliOptions.h"

#include "app/cli/Commands.h"
#include "app/cli/SharedOptions.h"

#include <algorithm>

namespace {

// Every option the program knows: its own, then each command's in the
// table's order. Options a command does not take are checked in this order.
const std::vector<const TCliOption*>& KnownOptions() {
    static const std::vector<const TCliOption*> known = [] {
        std::vector<const TCliOption*> all = ProgramOptions();
        for (const TCliCommand* command : CliCommands())
            for (const TCliOption* option : command->options)
                if (std::find(all.begin(), all.end(), option) == all.end()) all.push_back(option);
        return all;
    }();
    return known;
}

bool Names(const TCliOption& option, const std::string& a) {
    if (a == option.name || (option.shortName && a == option.shortName)) return true;
    const std::string prefix = std::string(option.name) + "=";
    return option.takesValue && a.rfind(prefix, 0) == 0;
}

// Reads the option at args[i] (and the value after it, if it has one).
bool TakeOption(const TCliOption& option, const std::vector<std::string>& args, std::size_t& i,
                TCliOptions& options, std::string& error) {
    TOptionArg arg{option};
    const std::string& a = args[i];
    if (option.takesValue && a != option.name) {
        arg.hasValue = true;
        arg.value = a.substr(std::string(option.name).size() + 1);
    } else if (option.takesValue && i + 1 < args.size()) {
        arg.hasValue = true;
        arg.value = args[++i];
    }
    if (!option.take(arg, options, error)) return false;
    auto& given = options.given;
    given.erase(std::remove(given.begin(), given.end(), option.name), given.end());
    if (arg.given) given.push_back(option.name);
    return true;
}

// The usage error of an option given to a command that does not take it.
bool OnlyOptionsTaken(const TCliCommand& command, const TCliOptions& options, std::string& error) {
    for (const TCliOption* option : KnownOptions()) {
        if (!option->elsewhere || !options.Given(option->name)) continue;
        if (std::find(command.options.begin(), command.options.end(), option) !=
            command.options.end())
            continue;
        error = option->elsewhere;
        return false;
    }
    return true;
}

} // namespace

bool TCliOptions::Given(const std::string& name) const {
    return std::find(given.begin(), given.end(), name) != given.end();
}

bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options,
                     std::string& error) {
    std::vector<std::string> words;
    // Asked for JSON, a usage error is answered in JSON too.
    for (const auto& a : args)
        if (a == kJsonOption.name) options.json = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto& known = KnownOptions();
        auto option = std::find_if(known.begin(), known.end(),
                                   [&](const TCliOption* o) { return Names(*o, a); });
        if (option != known.end()) {
            if (!TakeOption(**option, args, i, options, error)) return false;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option '" + a + "'";
            return false;
        } else {
            words.push_back(a);
        }
    }
    // --help and --version win over everything else on the line.
    if (options.help || options.version) return true;
    if (words.empty()) {
        error = "no command given";
        return false;
    }
    const TCliCommand* command = FindCliCommand(words[0]);
    if (!command) {
        error = "unknown command '" + words[0] + "'";
        return false;
    }
    options.command = command;
    if (words.size() < 2 && !command->needsWords.empty()) {
        error = command->needsWords;
        return false;
    }
    if (words.size() > command->mostWords + 1) {
        error = "unexpected argument '" + words[command->mostWords + 1] + "'";
        return false;
    }
    options.ports.assign(words.begin() + 1, words.end());
    if (!options.ports.empty()) options.port = options.ports[0];
    if (!OnlyOptionsTaken(*command, options, error)) return false;
    return !command->check || command->check(options, error);
}
