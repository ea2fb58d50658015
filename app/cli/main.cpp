// varnomiksal-cli: the updater for scripts, service benches and production
// lines. It hosts the console schema (the same probe and upload sub-schemas
// as the window), one per port, and reports in English, with exit codes.
#include "app/cli/CliOptions.h"
#include "app/cli/Commands.h"
#include "app/cli/HelpText.h"
#include "device/Flasher.h"
#include "platform/Console.h"
#include "resources/ImageLabel.h"

#include <string>
#include <vector>

#ifndef VARNO_VERSION
#define VARNO_VERSION "0.0.0"
#endif

int main(int argc, char** argv) {
    // Output to a closed pipe must not end an upload half way.
    IgnoreBrokenPipe();
    TRun run;
    std::string error;
    if (!ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), run.options, error))
        return Fail(run, exit_usage, error + " (try --help)");
    const TImageLabel& image = EmbeddedImageLabel();
    if (run.options.help) {
        ConsoleWrite(TStdStream::out, CliHelpText(ImageTitle(image)));
        return exit_ok;
    }
    if (run.options.version) {
        ConsoleWrite(TStdStream::out, "varnomiksal-cli " + std::string(VARNO_VERSION) +
                                          " carries " + ImageTitle(image) + "\n");
        return exit_ok;
    }
    return run.options.command->run(run);
}
