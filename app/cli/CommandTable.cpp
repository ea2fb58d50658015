// The command table: one row per command, each defined in its command's file.
// A new command is its XCommand.cpp, which defines XCommandRow(), and a row
// here; CMake finds the file by its name.
#include "app/cli/Commands.h"

#define VARNO_CLI_COMMANDS(row)                                                                    \
    row(List) row(Identify) row(Write) row(Image) row(Station) row(Report) row(Doctor)

#define VARNO_DECLARE_ROW(name) const TCliCommand& name##CommandRow();
VARNO_CLI_COMMANDS(VARNO_DECLARE_ROW)

const std::vector<const TCliCommand*>& CliCommands() {
#define VARNO_ROW(name) &name##CommandRow(),
    static const std::vector<const TCliCommand*> rows{VARNO_CLI_COMMANDS(VARNO_ROW)};
    return rows;
}

const TCliCommand* FindCliCommand(const std::string& name) {
    for (const TCliCommand* command : CliCommands())
        if (command->name == name) return command;
    return nullptr;
}
