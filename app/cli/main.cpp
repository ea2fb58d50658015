// varnomiksal-cli: the updater for scripts, service benches and production
// lines. It hosts the console schema (the same probe and upload sub-schemas
// as the window), one per port, and reports in English, with exit codes.
#include "app/cli/CliOptions.h"
#include "app/cli/Commands.h"
#include "device/Flasher.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"
#include "resources/ImageLabel.h"

#include <string>
#include <vector>

#ifndef VARNO_VERSION
#define VARNO_VERSION "0.0.0"
#endif

namespace {

const char* kHelp = R"(Usage: varnomiksal-cli COMMAND [options]

Flashes Varnomiksal devices over a serial line with the image this program
carries: %s, 508 blocks of 256 bytes.

Commands:
  list                 list the serial ports: COM name, device path and, for
                       USB adapters, vendor:product, serial and maker; ports
                       you may not open are marked "no permission", with the
                       group to join
  identify [PORT]      send "VERS" and print the device's name and firmware
                       version; waits %d s for the answer. Without PORT every
                       listed port is asked at once, and every device that
                       answered is printed
  write [PORT...]      identify the devices, show them and the image, ask for
                       confirmation, upload and report the result. Several
                       ports are written at once, each on its own; at the end
                       a table shows each port's result. Without PORT, the
                       one port where a device answers is used
  image                show the image: version, size, the CRC-16 the device
                       reports after the last block, and SHA-256
  station [PORT...]    a fixture or production line: each port is a slot;
                       every device seated in a slot is written once, at
                       once and without asking, on the session where it
                       answered, and its result stays shown until the next
                       board arrives (see the man page for the rules). Without PORT (or with
                       --all) every port is a slot, and every port that
                       appears while it runs. Runs until Ctrl+C or --count
  report FILE...       sum up station record files (--record), or the line's
                       database (report odbc:CONNECTION): per station
                       and slot the passes, failures, wrong devices, yield,
                       and median and worst seconds; the failure reasons
  doctor [PORT]        check every listed port, or PORT: the adapter, whether
                       the port opens, its latency timer, a "VERS" round
                       trip (--rounds N: N of them) and the time a write
                       would take; each problem with its fix. Sends nothing
                       but "VERS"; a bootloader that answers it only once
                       then waits for its image: reset it. Exit code 0: a
                       device answered and nothing slows it; 1: something
                       slows it; 2: no device answered

PORT is COM<n> (1 to 255) or a device path such as /dev/ttyUSB0, which is
mapped to its COM name through the port list. Without PORT, the environment
variable VARNOMIKSAL_PORT names the port, if set.

Options:
  -y, --yes            write without asking; without it, write asks only
                       when stdin is a terminal (with --json too)
  --all                write: every port where a device answers
  --image FILE         write (or show) FILE instead of the carried image; it
                       must be exactly 130048 bytes (an empty FILE is a
                       usage error, never the carried image)
  --allow-placeholder  write the placeholder image that a build without the
                       vendor's image carries (for test devices and the
                       simulator); without it such a write is refused
  --log FILE           write the session's log to FILE: the port and its
                       settings, the identification exchange in hex and as
                       text, one line per block (CRC sent, reply, delay),
                       failures with their reasons and the outcome, each line
                       with the seconds since the port opened
  -v, --verbose        print the same log on stderr
  --progress=MODE      auto (default: a bar when stderr is a terminal, else
                       plain), bar, plain (one line per 10 %%) or none; the
                       progress goes to stderr, the results to stdout; with
                       several ports one line per port
  --json               print one JSON result object on stdout at the end
                       instead of the messages, usage errors included (for
                       several ports, or --all, an array of them);
                       on a terminal, write still asks unless --yes is given
  --count N            station: stop after N passes
  --record FILE        station: append one JSON line per attempt to FILE
                       (several stations may share one file)
  --record odbc:CONNECTION
                       station: insert one row per attempt into the line's
                       database (table varnomiksal_attempts), through ODBC
                       and a local spool; the password comes from the DSN or
                       from VARNOMIKSAL_DB_PASSWORD, never from CONNECTION
  --spool FILE         station: the database's spool (default: one in the
                       state folder)
  --spool-limit N      station: attempts the spool holds while the database
                       is away before devices wait (default 10000)
  --since TIME, --until TIME
                       report: only records that ended at or after TIME, or
                       before it (UTC: 2026-12-09 or 2026-12-09T14:30)
  --tag TEXT           station: recorded with every attempt (an operator,
                       a work order, a batch)
  --expect-device NAME station: write only devices that give this name; any
                       other is shown and recorded as a wrong device
  --poll-ms MS         station: how often a slot asks "VERS" (default 500)
  --rounds N           doctor: "VERS" round trips per port (default 1)
  -h, --help           show this text
  -V, --version        show the program's version and the image it carries

Exit codes:
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

} // namespace

int main(int argc, char** argv) {
    // Output to a closed pipe must not end an upload half way.
    IgnoreBrokenPipe();
    TRun run;
    std::string error;
    if (!ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), run.options, error))
        return Fail(run, exit_usage, error + " (try --help)");
    const TImageLabel& image = EmbeddedImageLabel();
    switch (run.options.command) {
    case TCliCommand::help:
        ConsoleWrite(TStdStream::out,
                     Format(kHelp, ImageTitle(image).c_str(), kIdentifyTimeoutMs / 1000));
        return exit_ok;
    case TCliCommand::version:
        ConsoleWrite(TStdStream::out, "varnomiksal-cli " + std::string(VARNO_VERSION) +
                                          " carries " + ImageTitle(image) + "\n");
        return exit_ok;
    case TCliCommand::list:
        return ListCommand(run);
    case TCliCommand::image:
        return ImageCommand(run);
    case TCliCommand::identify: {
        TInterruptWatch watch;
        return IdentifyCommand(run, watch);
    }
    case TCliCommand::write: {
        TInterruptWatch watch;
        return WriteCommand(run, watch);
    }
    case TCliCommand::station: {
        TInterruptWatch watch;
        return StationCommand(run, watch);
    }
    case TCliCommand::report:
        return ReportCommand(run);
    case TCliCommand::doctor: {
        TInterruptWatch watch;
        return DoctorCommand(run, watch);
    }
    case TCliCommand::none:
        break;
    }
    return exit_usage;
}
