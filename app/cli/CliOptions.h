// The command line of varnomiksal-cli: the command, its ports and options.
#pragma once

#include <map>
#include <string>
#include <vector>

// A row of the command table (app/cli/Commands.h).
struct TCliCommand;

enum class TProgressMode { automatic, bar, plain, none };

struct TCliOptions {
    const TCliCommand* command = nullptr; // none with --help or --version
    bool help = false;
    bool version = false;
    std::vector<std::string> given; // the options on the line, by their long names
    std::vector<std::string> ports; // as given; none: found by probing (or $VARNOMIKSAL_PORT);
                                    // for report, the record files
    std::string port;               // the first of them, or empty
    bool all = false;               // write: every port where a device answered
    bool yes = false;
    bool json = false;
    bool allowPlaceholder = false; // write the placeholder image too
    bool verbose = false;          // the session log on stderr too
    std::string logFile;           // the session log's file, or empty
    std::string imageFile;         // the image to write instead of the carried one
    TProgressMode progress = TProgressMode::automatic;
    // The commands' own options (declared in their rows) keep their values
    // here too, as plain data the commands read.
    // station:
    int count = 0;            // stop after this many passes; 0: no limit
    std::string recordFile;   // one line per attempt appended here, or "odbc:..."; or empty
    std::string spoolFile;    // a database's spool; empty: one in the state folder
    int spoolLimit = 10000;   // attempts the spool holds before devices wait
    std::string tag;          // recorded with every attempt (an operator, a batch)
    std::string expectDevice; // write only devices of this name; empty: any
    int pollMs = 500;         // how often an empty slot is asked "VERS"
    // report: records that ended at or after `since` and before `until`
    // (ISO 8601 UTC, a date or a date and time; empty: no bound)
    std::string since, until;
    // doctor:
    int rounds = 1; // "VERS" round trips per port
    // Any other command's own options (read by KeepValue), by long name:
    // a new command needs no field here.
    std::map<std::string, std::string> values;

    bool Given(const std::string& name) const;
};

// Parses the arguments after the program name by the command table: the
// command's row names the options it takes and its rules between them.
// False with a message on a usage error; `options.json` then still tells
// whether --json was given.
bool ParseCliOptions(const std::vector<std::string>& args, TCliOptions& options,
                     std::string& error);
