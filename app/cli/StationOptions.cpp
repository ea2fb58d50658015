// station's row of the command table: its usage and help, the options it
// takes (its own declared here) and their rules.
#include "app/cli/SharedOptions.h"
#include "app/cli/StationCommand.h"

namespace {

constexpr const char* kStationOnly =
    "--count, --record, --spool, --spool-limit, --tag and --expect-device go with station";

const TCliOption kCountOption{"--count", nullptr, true, TakeNumber<&TCliOptions::count, 1, 1000000>,
                              kStationOnly};
const TCliOption kRecordOption{"--record", nullptr, true, TakeFile<&TCliOptions::recordFile>,
                               kStationOnly};
const TCliOption kSpoolOption{"--spool", nullptr, true, TakeFile<&TCliOptions::spoolFile>,
                              kStationOnly};
const TCliOption kSpoolLimitOption{"--spool-limit", nullptr, true,
                                   TakeNumber<&TCliOptions::spoolLimit, 1, 10000000>, kStationOnly};
// An empty tag is no tag.
const TCliOption kTagOption{"--tag", nullptr, true,
                            [](TOptionArg& arg, TCliOptions& o, std::string& error) {
                                if (!NeedValue(arg, error)) return false;
                                o.tag = arg.value;
                                arg.given = !o.tag.empty();
                                return true;
                            },
                            kStationOnly};
const TCliOption kExpectDeviceOption{"--expect-device", nullptr, true,
                                     [](TOptionArg& arg, TCliOptions& o, std::string& error) {
                                         if (!NeedValue(arg, error)) return false;
                                         o.expectDevice = arg.value;
                                         if (!o.expectDevice.empty()) return true;
                                         error = "--expect-device was given an empty name";
                                         return false;
                                     },
                                     kStationOnly};
// Other commands ignore it.
const TCliOption kPollMsOption{"--poll-ms", nullptr, true,
                               TakeNumber<&TCliOptions::pollMs, 50, 10000>};

bool CheckStation(const TCliOptions& o, std::string& error) {
    if (!AllWithoutPorts(o, error)) return false;
    if ((o.Given("--spool") || o.Given("--spool-limit")) && o.recordFile.rfind("odbc:", 0) != 0) {
        error = "--spool and --spool-limit go with --record odbc:...";
        return false;
    }
    return true;
}

} // namespace

const TCliCommand& StationCommandRow() {
    static const TCliCommand row{
        .name = "station",
        .help = {0, "station [PORT...]", R"(a fixture or production line: each port is a slot;
every device seated in a slot is written once, at
once and without asking, on the session where it
answered, and its result stays shown until the next
board arrives (see the man page for the rules). Without PORT (or with
--all) every port is a slot, and every port that
appears while it runs. Runs until Ctrl+C or --count)"},
        .mostWords = 255,
        .options = {&kAllOption, &kImageOption, &kAllowPlaceholderOption, &kLogOption,
                    &kVerboseOption, &kJsonOption, &kCountOption, &kRecordOption, &kSpoolOption,
                    &kSpoolLimitOption, &kTagOption, &kExpectDeviceOption, &kPollMsOption},
        .optionHelp =
            {
                {100, "--count N", "station: stop after N passes"},
                {110, "--record FILE", R"(station: append one JSON line per attempt to FILE
(several stations may share one file))"},
                {120, "--record odbc:CONNECTION",
                 R"(station: insert one row per attempt into the line's
database (table varnomiksal_attempts), through ODBC
and a local spool; the password comes from the DSN or
from VARNOMIKSAL_DB_PASSWORD, never from CONNECTION)"},
                {130, "--spool FILE", R"(station: the database's spool (default: one in the
state folder))"},
                {140, "--spool-limit N", R"(station: attempts the spool holds while the database
is away before devices wait (default 10000))"},
                // report's --since and --until stand here, at 150.
                {160, "--tag TEXT", R"(station: recorded with every attempt (an operator,
a work order, a batch))"},
                {170, "--expect-device NAME",
                 R"(station: write only devices that give this name; any
other is shown and recorded as a wrong device)"},
                {180, "--poll-ms MS", "station: how often a slot asks \"VERS\" (default 500)"},
            },
        .check = CheckStation,
        .run = Watched<StationCommand>,
    };
    return row;
}
