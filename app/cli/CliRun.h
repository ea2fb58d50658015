// What every command of varnomiksal-cli shares: its options, the JSON result,
// the exit codes and the way results, errors and the JSON object are given.
#pragma once

#include "app/cli/CliOptions.h"
#include "runtime/JsonResult.h"

#include <string>

enum : int {
    exit_ok = 0,
    exit_transfer_failed = 1,
    exit_no_device = 2,
    exit_usage = 3,
    exit_record_lost = 4, // station: an attempt could not be recorded
    exit_interrupted = 130,
};

// The worse of two exit codes of ports written together: a failed transfer
// over no device over an interruption over success (a usage error above all).
int WorseExit(int a, int b);

struct TRun {
    TCliOptions options;
    TJsonResult json;
};

std::string Format(const char* format, ...);

// Results go to stdout, unless JSON was asked for; errors to stderr.
void Say(const TRun& run, const std::string& line);
void Error(const std::string& line);
// Ends the command with `code`: the JSON object (when asked for) gets the
// code and the message.
int Finish(TRun& run, int code, const std::string& message);
// As Finish, after the message has gone to stderr.
int Fail(TRun& run, int code, const std::string& message);

// What to do with a device left in the middle of a transfer.
inline const char* kRecover = "reset or power-cycle the device into its bootloader, then run "
                              "the write again";
