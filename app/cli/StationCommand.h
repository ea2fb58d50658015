// station: runs the station (StationCommand.cpp); its row, options and rules
// are in StationOptions.cpp.
#pragma once

#include "app/cli/Commands.h"

int StationCommand(TRun& run, TInterruptWatch& watch);
