// The commands of varnomiksal-cli, one file each; each returns the exit code.
#pragma once

#include "app/cli/CliRun.h"
#include "platform/Interrupt.h"

int ListCommand(TRun& run);
int IdentifyCommand(TRun& run, TInterruptWatch& watch);
int WriteCommand(TRun& run, TInterruptWatch& watch);
int ImageCommand(TRun& run);
int StationCommand(TRun& run, TInterruptWatch& watch);
int ReportCommand(TRun& run);
int DoctorCommand(TRun& run, TInterruptWatch& watch);

// The ports a command is to use: those given, else $VARNOMIKSAL_PORT, else
// none (found by probing every port).
std::vector<std::string> PortsToUse(const TRun& run);
