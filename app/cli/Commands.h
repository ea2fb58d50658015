// The commands of varnomiksal-cli: a table with a row per command
// (CommandTable.cpp). Each command's file (XCommand.cpp, or one beside it)
// holds its row: its name, its usage and help lines, the options it takes
// (shared ones from SharedOptions.h and its own), its rules between them,
// and the function that runs it.
#pragma once

#include "app/cli/CliOption.h"
#include "app/cli/CliRun.h"
#include "platform/Interrupt.h"

#include <string>
#include <vector>

struct TCliCommand {
    std::string name;
    TCliHelp help;             // "write [PORT...]" and its lines under Commands
    std::size_t mostWords = 0; // the most ports (report: files) it takes
    std::string needsWords{};  // the usage error when none is given; empty: none needed
    std::vector<const TCliOption*> options; // the shared options it takes, and its own
    std::vector<TCliHelp> optionHelp{};     // its own options' entries under Options
    // Its rules between options, once every option given is one it takes;
    // nullptr: none.
    bool (*check)(const TCliOptions& options, std::string& error) = nullptr;
    // Runs it; returns the exit code.
    int (*run)(TRun& run) = nullptr;
};

// A command that stops at Ctrl+C, run with the interrupt watch installed.
template <int (*command)(TRun&, TInterruptWatch&)> int Watched(TRun& run) {
    TInterruptWatch watch;
    return command(run, watch);
}

// The rows, in the order --help lists them.
const std::vector<const TCliCommand*>& CliCommands();
// The row of the command named, or nullptr.
const TCliCommand* FindCliCommand(const std::string& name);

// The ports a command is to use: those given, else $VARNOMIKSAL_PORT, else
// none (found by probing every port).
std::vector<std::string> PortsToUse(const TRun& run);
