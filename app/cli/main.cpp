// varnomiksal-cli: the updater for scripts and service benches. It hosts the
// console schema (the same probe and upload sub-schemas as the window) and
// reports in English, with exit codes.
#include "app/cli/CliOptions.h"
#include "app/cli/Flasher.h"
#include "app/cli/JsonResult.h"
#include "app/cli/PortArgument.h"
#include "app/cli/ProgressView.h"
#include "platform/Console.h"
#include "platform/Interrupt.h"
#include "platform/PortAccess.h"
#include "platform/Ports.h"
#include "platform/UsbInfo.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#ifndef VARNO_VERSION
#define VARNO_VERSION "0.0.0"
#endif

namespace {

enum : int {
    exit_ok = 0,
    exit_transfer_failed = 1,
    exit_no_device = 2,
    exit_usage = 3,
    exit_interrupted = 130,
};

const char* kHelp = R"(Usage: varnomiksal-cli COMMAND [options]

Flashes Varnomiksal devices over a serial line with the firmware image this
program carries (version %s, 508 blocks of 256 bytes).

Commands:
  list                 list the serial ports: COM name, device path and, for
                       USB adapters, vendor:product, serial and maker
  identify PORT        send "VERS" and print the device's name and firmware
                       version; waits %d s for the answer
  write PORT           identify the device, show it and the image's version,
                       ask for confirmation, upload and report the result

PORT is COM<n> (1 to 255) or a device path such as /dev/ttyUSB0, which is
mapped to its COM name through the port list.

Options:
  -y, --yes            write without asking (also when stdin is no terminal)
  --progress=MODE      auto (default: a bar on a terminal, else plain), bar,
                       plain (one line per 10 %%) or none
  --json               print one JSON result object on stdout at the end
                       instead of the messages (errors still go to stderr)
  -h, --help           show this text
  -V, --version        show the program's version

Exit codes:
  0    success
  1    transfer failed (a wrong or missing acknowledgement)
  2    no device answered, or the port could not be opened (missing, busy,
       or no permission)
  3    usage error (unknown command or option, bad port name)
  130  interrupted (Ctrl+C, or the write was declined at the prompt)

Ctrl+C during an upload stops it at once and releases the port; the device
stays in its bootloader and the write can simply be run again.
)";

struct TRun {
    TCliOptions options;
    TJsonResult json;
    bool terminal = false;
};

void Say(const TRun& run, const std::string& line) {
    if (!run.options.json) std::printf("%s\n", line.c_str());
}

void Error(const std::string& line) {
    std::fprintf(stderr, "varnomiksal-cli: %s\n", line.c_str());
}

int Finish(TRun& run, int code, const std::string& message) {
    run.json.Add("exit_code", (long long)code);
    run.json.Add("message", message);
    if (run.options.json) std::printf("%s\n", run.json.Text().c_str());
    std::fflush(stdout);
    return code;
}

int Fail(TRun& run, int code, const std::string& message) {
    Error(message);
    run.json.Add("result", std::string(code == exit_interrupted ? "interrupted" : "error"));
    return Finish(run, code, message);
}

int List(TRun& run) {
    run.json.Add("command", std::string("list"));
    std::vector<TPortEntry> ports = ListPorts();
    std::string items = "[";
    for (const auto& port : ports) {
        TUsbInfo usb = UsbInfoFor(port.device);
        std::string line = port.name;
        line.resize(std::max<std::size_t>(line.size(), 7), ' ');
        line += port.device;
        // A port directory's link: show where it leads too.
        std::error_code ec;
        std::string target = std::filesystem::canonical(port.device, ec).string();
        if (!ec && target != port.device) line += " -> " + target;
        std::string item =
            "{\"port\": " + JsonString(port.name) + ", \"device\": " + JsonString(port.device);
        if (usb.usb) {
            line += "  USB " + usb.vendorId + ":" + usb.productId;
            if (!usb.serial.empty()) line += " serial " + usb.serial;
            if (!usb.manufacturer.empty() || !usb.product.empty())
                line += " (" + usb.manufacturer + (usb.manufacturer.empty() ? "" : " ") +
                        usb.product + ")";
            item += ", \"usb\": {\"vendor\": " + JsonString(usb.vendorId) +
                    ", \"product\": " + JsonString(usb.productId) +
                    ", \"serial\": " + JsonString(usb.serial) +
                    ", \"manufacturer\": " + JsonString(usb.manufacturer) +
                    ", \"name\": " + JsonString(usb.product) + "}";
        }
        Say(run, line);
        items += (items.size() > 1 ? ", " : "") + item + "}";
    }
    if (ports.empty()) Say(run, "no serial ports found");
    run.json.Add("result", std::string("success"));
    // The list goes into the object as it is.
    std::string message = std::to_string(ports.size()) + " port(s)";
    run.json.Add("exit_code", (long long)exit_ok);
    run.json.Add("message", message);
    if (run.options.json) {
        std::string text = run.json.Text();
        text.insert(text.size() - 1, ", \"ports\": " + items + "]");
        std::printf("%s\n", text.c_str());
    }
    return exit_ok;
}

// What to tell the user when the port did not open, and how to fix it.
std::string OpenProblem(const std::string& name) {
    std::string device;
    if (!ResolvePort(name, device))
        return name + ": no such port; 'varnomiksal-cli list' shows the ports (is the adapter "
                      "plugged in?)";
    switch (CheckPortAccess(device)) {
    case TPortProblem::missing:
        return name + " (" + device + "): the device is gone; is the adapter plugged in?";
    case TPortProblem::busy:
        return name + " (" + device +
               ") is busy: another program holds it; close that program (the updater's "
               "window, a terminal program) and try again";
    case TPortProblem::denied:
        return name + " (" + device +
               "): permission denied; add yourself to the 'dialout' group "
               "(sudo usermod -aG dialout $USER) and log in again";
    default:
        return name + " (" + device + ") could not be opened";
    }
}

// Resolves the port and identifies the device; on failure returns the exit
// code with the message already given.
int Identify(TRun& run, TFlasher& flasher, TIdentifyResult& found) {
    std::string name;
    switch (ResolvePortArgument(run.options.port, ListPorts(), name)) {
    case TPortArgument::ok:
        break;
    case TPortArgument::bad_name:
        return Fail(run, exit_usage,
                    "'" + run.options.port +
                        "' is no port name: use COM1 to COM255 or a device path");
    case TPortArgument::no_such:
        return Fail(run, exit_no_device, run.options.port + ": no such device");
    case TPortArgument::not_listed:
        return Fail(run, exit_no_device,
                    run.options.port + " is no serial port in the port list; "
                                       "'varnomiksal-cli list' shows them");
    }
    run.json.Add("port", name);
    found = flasher.Identify(name, kIdentifyTimeoutMs);
    switch (found.outcome) {
    case TIdentify::found:
        run.json.Add("device", found.device);
        run.json.Add("version", found.version);
        return exit_ok;
    case TIdentify::open_failed:
        return Fail(run, exit_no_device, OpenProblem(name));
    case TIdentify::no_answer:
        return Fail(run, exit_no_device,
                    "no device answered on " + name + " within " +
                        std::to_string(kIdentifyTimeoutMs / 1000) +
                        " s; check the cable and that the device is in its bootloader");
    case TIdentify::not_bootloader:
        return Fail(run, exit_no_device,
                    "the device on " + name + " answered, but not as a Varnomiksal bootloader");
    case TIdentify::interrupted:
        return Fail(run, exit_interrupted, "interrupted");
    }
    return exit_no_device;
}

// Asks on the terminal; Ctrl+C at the prompt declines.
bool Confirm(TInterruptWatch& watch, const TIdentifyResult& found, const std::string& port) {
    std::printf("Write firmware %s to %s on %s? [y/N] ", kImageVersion, found.device.c_str(),
                port.c_str());
    std::fflush(stdout);
    while (!watch.WaitInput(200))
        if (watch.Interrupted()) {
            std::printf("\n");
            return false;
        }
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

int Write(TRun& run, TInterruptWatch& watch) {
    run.json.Add("command", std::string("write"));
    run.json.Add("image_version", std::string(kImageVersion));
    TFlasher flasher(watch);
    TIdentifyResult found;
    if (int code = Identify(run, flasher, found); code != exit_ok) return code;
    Say(run, "Device:   " + found.device + ", firmware " + found.version);
    Say(run, "Image:    " + std::string(kImageVersion) + ", " + std::to_string(kImageBytes) +
                 " bytes in " + std::to_string(kImageBlocks) + " blocks");
    if (!run.options.yes && StdinIsTerminal() && !run.options.json) {
        if (!Confirm(watch, found, run.options.port))
            return Fail(run, exit_interrupted, "declined; nothing was written");
    }

    TProgressMode mode = run.options.progress;
    if (mode == TProgressMode::automatic)
        mode = run.terminal ? TProgressMode::bar : TProgressMode::plain;
    if (run.options.json) mode = TProgressMode::none;
    TPlainProgress plain;
    int columns = TerminalColumns();
    bool barShown = false;
    std::size_t barLength = 0;
    auto show = [&](int done, double seconds) {
        if (mode == TProgressMode::bar) {
            // Redrawn in place; blanks cover what a longer line left behind.
            std::string line = ProgressBarLine(done, kImageBlocks, seconds, columns);
            std::size_t length = line.size();
            if (line.size() < barLength) line.append(barLength - line.size(), ' ');
            barLength = length;
            std::printf("\r%s", line.c_str());
            barShown = true;
        } else if (mode == TProgressMode::plain) {
            for (const auto& line : plain.Lines(done, kImageBlocks, seconds))
                std::printf("%s\n", line.c_str());
        }
        std::fflush(stdout);
    };
    TUploadResult r = flasher.Upload(show);
    if (barShown) std::printf("\n");
    run.json.Add("blocks", (long long)r.blocks);
    run.json.AddReal("seconds", r.seconds);
    switch (r.outcome) {
    case TUpload::success: {
        flasher.Close();
        run.json.Add("result", std::string("success"));
        char line[128];
        std::snprintf(line, sizeof line, "firmware %s written: %d bytes in %.1f s", kImageVersion,
                      kImageBytes, r.seconds);
        Say(run, line);
        return Finish(run, exit_ok, line);
    }
    case TUpload::interrupted:
        return Fail(run, exit_interrupted,
                    "interrupted after block " + std::to_string(r.blocks) + " of " +
                        std::to_string(kImageBlocks) +
                        "; the port is released and the device stays in its bootloader: run "
                        "the write again to flash it");
    case TUpload::failed:
        break;
    }
    flasher.Close();
    std::string why = r.timedOut
                          ? "the device stopped answering (no reply for 3 s)"
                          : "unexpected reply " + r.reply + " (expected CRC " + r.expected + ")";
    run.json.Add("reply", r.reply);
    return Fail(run, exit_transfer_failed,
                "transfer failed after block " + std::to_string(r.blocks) + " of " +
                    std::to_string(kImageBlocks) + ": " + why +
                    "; check the connection and run the write again");
}

int IdentifyCommand(TRun& run, TInterruptWatch& watch) {
    run.json.Add("command", std::string("identify"));
    TFlasher flasher(watch);
    TIdentifyResult found;
    if (int code = Identify(run, flasher, found); code != exit_ok) return code;
    Say(run, "Device:   " + found.device);
    Say(run, "Firmware: " + found.version);
    run.json.Add("result", std::string("success"));
    return Finish(run, exit_ok, found.device + " " + found.version);
}

} // namespace

int main(int argc, char** argv) {
    TRun run;
    std::string error;
    if (!ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc), run.options, error)) {
        Error(error + " (try --help)");
        return exit_usage;
    }
    run.terminal = StdoutIsTerminal();
    switch (run.options.command) {
    case TCliCommand::help:
        std::printf(kHelp, kImageVersion, kIdentifyTimeoutMs / 1000);
        return exit_ok;
    case TCliCommand::version:
        std::printf("varnomiksal-cli %s (firmware image %s)\n", VARNO_VERSION, kImageVersion);
        return exit_ok;
    case TCliCommand::list:
        return List(run);
    case TCliCommand::identify: {
        TInterruptWatch watch;
        return IdentifyCommand(run, watch);
    }
    case TCliCommand::write: {
        TInterruptWatch watch;
        return Write(run, watch);
    }
    case TCliCommand::none:
        break;
    }
    return exit_usage;
}
