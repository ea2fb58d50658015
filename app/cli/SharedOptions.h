// The options more than one command takes, declared once, and the program's
// own (--help, --version). A command lists the shared options it takes.
#pragma once

#include "app/cli/CliOption.h"

#include <vector>

extern const TCliOption kYesOption;
extern const TCliOption kAllOption;
extern const TCliOption kImageOption;
extern const TCliOption kAllowPlaceholderOption;
extern const TCliOption kLogOption;
extern const TCliOption kVerboseOption;
extern const TCliOption kProgressOption;
extern const TCliOption kJsonOption;

// --help and --version: they answer whatever else the line holds.
const std::vector<const TCliOption*>& ProgramOptions();
// The entries of the shared and the program's options in --help.
const std::vector<TCliHelp>& SharedOptionHelp();

// --all, with write or station: no ports may be named beside it.
bool AllWithoutPorts(const TCliOptions& options, std::string& error);
