#include "app/cli/HelpText.h"

#include "app/cli/Commands.h"
#include "app/cli/SharedOptions.h"

#include <algorithm>

namespace {

// The column where the entries' text begins.
constexpr std::size_t kTextColumn = 23;

const char* kPorts = R"(PORT is COM<n> (1 to 255) or a device path such as /dev/ttyUSB0, which is
mapped to its COM name through the port list. Without PORT, the environment
variable VARNOMIKSAL_PORT names the port, if set.
)";

const char* kExitCodes = R"(Exit codes:
  0    success
  1    transfer failed (a wrong or missing acknowledgement)
  2    no device answered, or the port could not be opened (missing, busy,
       or no permission)
  3    usage error (unknown command or option, bad port name, a port named
       twice, an empty file name, an image file of the wrong size, devices
       on several ports when none was named, or the placeholder image
       without --allow-placeholder)
  130  interrupted (Ctrl+C, or a lost terminal before the upload began), or
       the write was declined at the prompt
When several ports are written, the exit code is the worst of theirs, in the
order 1, 2, 130, 0: any failed transfer gives 1, else any port without a
device 2, else any interruption 130.

Ctrl+C before the upload begins writes nothing to any port. Ctrl+C during an
upload stops it at once and releases the port; a lost terminal (SIGHUP)
does not, and the upload runs to its end. After an
interrupted or failed write the device is still in the middle of the
transfer and answers nothing: reset or power-cycle it into its bootloader,
then run the write again.
)";

// "  usage   text": a usage too wide for its column stands on a line of its
// own; the text's further lines are indented to the column.
std::string Entry(const TCliHelp& entry) {
    std::string out = "  " + entry.usage;
    if (out.size() < kTextColumn)
        out.resize(kTextColumn, ' ');
    else
        out += "\n" + std::string(kTextColumn, ' ');
    for (char c : entry.text) {
        out += c;
        if (c == '\n') out += std::string(kTextColumn, ' ');
    }
    return out + "\n";
}

} // namespace

std::string CliHelpText(const std::string& imageTitle) {
    std::string help = "Usage: varnomiksal-cli COMMAND [options]\n\n"
                       "Flashes Varnomiksal devices over a serial line with the image this "
                       "program\ncarries: " +
                       imageTitle + ", 508 blocks of 256 bytes.\n\nCommands:\n";
    std::vector<TCliHelp> options = SharedOptionHelp();
    for (const TCliCommand* command : CliCommands()) {
        help += Entry(command->help);
        options.insert(options.end(), command->optionHelp.begin(), command->optionHelp.end());
    }
    help += std::string("\n") + kPorts + "\nOptions:\n";
    std::stable_sort(options.begin(), options.end(),
                     [](const TCliHelp& a, const TCliHelp& b) { return a.place < b.place; });
    for (const TCliHelp& option : options)
        help += Entry(option);
    return help + "\n" + kExitCodes;
}
