// The command line of varnomiksal-cli: the command, its port and options.
#pragma once

#include <string>
#include <vector>

enum class TCliCommand { none, help, version, list, identify, write };
enum class TProgressMode { automatic, bar, plain, none };

struct TCliOptions {
    TCliCommand command = TCliCommand::none;
    std::string port;
    bool yes = false;
    bool json = false;
    bool allowPlaceholder = false; // write the placeholder image too
    TProgressMode progress = TProgressMode::automatic;
};

// Parses the arguments after the program name. False with a message on a
// usage error; `options.json` then still tells whether --json was given.
bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options,
                     std::string& error);
