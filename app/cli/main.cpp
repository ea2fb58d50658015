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
#include "resources/ImageLabel.h"

#include <algorithm>
#include <cstdarg>
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

Flashes Varnomiksal devices over a serial line with the image this program
carries: %s, 508 blocks of 256 bytes.

Commands:
  list                 list the serial ports: COM name, device path and, for
                       USB adapters, vendor:product, serial and maker
  identify PORT        send "VERS" and print the device's name and firmware
                       version; waits %d s for the answer
  write PORT           identify the device, show it and the image, ask for
                       confirmation, upload and report the result

PORT is COM<n> (1 to 255) or a device path such as /dev/ttyUSB0, which is
mapped to its COM name through the port list.

Options:
  -y, --yes            write without asking (also when stdin is no terminal)
  --allow-placeholder  write the placeholder image that a build without the
                       vendor's image carries (for test devices and the
                       simulator); without it such a write is refused
  --progress=MODE      auto (default: a bar when stderr is a terminal, else
                       plain), bar, plain (one line per 10 %%) or none; the
                       progress goes to stderr, the results to stdout
  --json               print one JSON result object on stdout at the end
                       instead of the messages, usage errors included;
                       on a terminal, write still asks unless --yes is given
  -h, --help           show this text
  -V, --version        show the program's version and the image it carries

Exit codes:
  0    success
  1    transfer failed (a wrong or missing acknowledgement)
  2    no device answered, or the port could not be opened (missing, busy,
       or no permission)
  3    usage error (unknown command or option, bad port name, or the
       placeholder image without --allow-placeholder)
  130  interrupted (Ctrl+C, or the write was declined at the prompt)

Ctrl+C during an upload stops it at once and releases the port. After an
interrupted or failed write the device is still in the middle of the
transfer and answers nothing: reset or power-cycle it into its bootloader,
then run the write again.
)";

// What to do with a device left in the middle of a transfer.
const char* kRecover = "reset or power-cycle the device into its bootloader, then run the write "
                       "again";

std::string Format(const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(std::size_t(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.pop_back();
    return text;
}

// The image as the JSON result names it.
std::string ImageVersionText(const TImageLabel& image) {
    return image.placeholder ? ImageTitle(image) : image.version;
}

struct TRun {
    TCliOptions options;
    TJsonResult json;
};

// Results go to stdout, progress, prompts and errors to stderr.
void Say(const TRun& run, const std::string& line) {
    if (!run.options.json) ConsoleWrite(TStdStream::out, line + "\n");
}

void Error(const std::string& line) {
    ConsoleWrite(TStdStream::err, "varnomiksal-cli: " + line + "\n");
}

int Finish(TRun& run, int code, const std::string& message) {
    run.json.Add("exit_code", (long long)code);
    run.json.Add("message", message);
    if (run.options.json) ConsoleWrite(TStdStream::out, run.json.Text() + "\n");
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
        ConsoleWrite(TStdStream::out, text + "\n");
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
    found.port = name;
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
                        " s; check the cable, and reset or power-cycle the device into its "
                        "bootloader (a device left in the middle of a write answers nothing)");
    case TIdentify::not_bootloader:
        return Fail(run, exit_no_device,
                    "the device on " + name +
                        " answered, but not as a Varnomiksal bootloader; a device left in the "
                        "middle of a write answers so too: reset or power-cycle it into its "
                        "bootloader and try again");
    case TIdentify::interrupted:
        return Fail(run, exit_interrupted, "interrupted");
    }
    return exit_no_device;
}

// Asks on the terminal (on stderr, so that stdout keeps only results);
// Ctrl+C at the prompt declines.
bool Confirm(TInterruptWatch& watch, const TIdentifyResult& found, const std::string& port) {
    ConsoleWrite(TStdStream::err, "Write " + ImageTitle(EmbeddedImageLabel()) + " to " +
                                      found.device + " on " + port + "? [y/N] ");
    while (!watch.WaitInput(200))
        if (watch.Interrupted()) {
            ConsoleWrite(TStdStream::err, "\n");
            return false;
        }
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

// Draws the progress on stderr as the mode says.
class TProgressOutput {
public:
    TProgressOutput(TProgressMode mode, const TFlasher& flasher) : mode_(mode), flasher_(flasher) {}
    ~TProgressOutput() {
        if (barLength_ > 0) ConsoleWrite(TStdStream::err, "\n");
    }
    void Show(int done, double seconds) {
        std::string text;
        if (mode_ == TProgressMode::bar) {
            // Redrawn in place at the terminal's width of the moment; blanks
            // cover what a longer line left behind.
            int columns = TerminalColumns();
            std::string line = ProgressBarLine(done, kImageBlocks, seconds, columns);
            std::size_t length = line.size();
            std::size_t cover = std::min<std::size_t>(barLength_, columns > 1 ? columns - 1 : 79);
            if (length < cover) line.append(cover - length, ' ');
            barLength_ = std::max<std::size_t>(length, 1);
            text = "\r" + line;
        } else if (mode_ == TProgressMode::plain) {
            auto at = [this](int blocks) { return flasher_.SecondsAt(blocks); };
            for (const auto& line : plain_.Lines(done, kImageBlocks, at))
                text += line + "\n";
        }
        if (!text.empty()) ConsoleWrite(TStdStream::err, text);
    }

private:
    TProgressMode mode_;
    const TFlasher& flasher_;
    TPlainProgress plain_;
    std::size_t barLength_ = 0;
};

int Write(TRun& run, TInterruptWatch& watch) {
    const TImageLabel& image = EmbeddedImageLabel();
    run.json.Add("command", std::string("write"));
    run.json.Add("image_version", ImageVersionText(image));
    run.json.Add("image_placeholder", image.placeholder);
    if (image.placeholder && !run.options.allowPlaceholder)
        return Fail(run, exit_usage,
                    "this build carries a placeholder image (not a firmware) instead of the "
                    "vendor's firmware; build with the vendor's image (VARNO_FIRMWARE_IMAGE), or "
                    "give --allow-placeholder to write the placeholder to a test device");
    TFlasher flasher(watch);
    TIdentifyResult found;
    if (int code = Identify(run, flasher, found); code != exit_ok) return code;
    Say(run, "Device:   " + found.device + ", firmware " + found.version);
    Say(run, "Image:    " + ImageVersionText(image) + ", " + std::to_string(kImageBytes) +
                 " bytes in " + std::to_string(kImageBlocks) + " blocks");
    if (!run.options.yes && StdinIsTerminal()) {
        if (!Confirm(watch, found, run.options.port))
            return Fail(run, exit_interrupted, "declined; nothing was written");
    }

    TProgressMode mode = run.options.progress;
    if (mode == TProgressMode::automatic)
        mode = StderrIsTerminal() ? TProgressMode::bar : TProgressMode::plain;
    if (run.options.json) mode = TProgressMode::none;
    TUploadResult r;
    {
        TProgressOutput progress(mode, flasher);
        r = flasher.Upload([&](int done, double seconds) { progress.Show(done, seconds); });
    }
    run.json.Add("blocks", (long long)r.blocks);
    run.json.Add("bytes", r.bytes);
    run.json.AddReal("seconds", r.seconds);
    // Blocks count from 1 in messages: the one in flight follows the
    // acknowledged ones.
    int at = std::min(r.blocks + 1, kImageBlocks);
    switch (r.outcome) {
    case TUpload::success: {
        flasher.Close();
        run.json.Add("result", std::string("success"));
        std::string line = Format("%s written: %lld bytes in %d blocks in %.1f s",
                                  ImageTitle(image).c_str(), r.bytes, r.blocks, r.seconds);
        Say(run, line);
        return Finish(run, exit_ok, line);
    }
    case TUpload::interrupted:
        return Fail(run, exit_interrupted,
                    Format("interrupted at block %d of %d; the port is released, and the device "
                           "is left in the middle of the transfer: %s",
                           at, kImageBlocks, kRecover));
    case TUpload::failed:
        break;
    }
    flasher.Close();
    std::string why;
    switch (r.failure) {
    case TUploadFailure::line_lost:
        why = "the line to " + found.port +
              " was lost (the adapter was unplugged or the device went away); plug it in again";
        break;
    case TUploadFailure::silence:
        why = "the device stopped answering (no reply for 3 s)";
        break;
    case TUploadFailure::unexpected_reply:
        why = "unexpected reply " + r.reply + " (expected CRC " + r.expected + ")";
        break;
    }
    run.json.Add("reply", r.reply);
    return Fail(run, exit_transfer_failed,
                Format("transfer failed: block %d of %d failed: %s; check the connection, %s", at,
                       kImageBlocks, why.c_str(), kRecover));
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
