// doctor: what stands between this program and a device on each port, and
// what to do about it. Sends nothing but "VERS".
#include "app/cli/Commands.h"
#include "app/cli/DoctorCheck.h"
#include "app/cli/LogOutput.h"
#include "app/cli/SharedOptions.h"
#include "device/Flasher.h"
#include "device/VisibleText.h"
#include "platform/Ports.h"

namespace {

std::string Fixed(const char* format, double value) {
    return Format(format, value);
}

std::string TimerText(const TLatencyReading& r) {
    if (!r.known) return r.problem.empty() ? "not known" : r.problem;
    return std::to_string(r.ms) + " ms (" + r.source + ")";
}

std::string AdapterText(const TUsbInfo& usb) {
    if (!usb.usb) return "not a USB adapter, or nothing known of it";
    std::string text = "USB " + usb.vendorId + ":" + usb.productId;
    if (!usb.manufacturer.empty()) text += ", " + VisibleText(usb.manufacturer);
    if (!usb.product.empty()) text += ", " + VisibleText(usb.product);
    if (!usb.serial.empty()) text += ", serial " + VisibleText(usb.serial);
    if (!usb.driver.empty()) text += ", driver " + VisibleText(usb.driver);
    return text;
}

std::string TriesText(const std::vector<TRoundTrip>& tries, bool whole) {
    std::string text;
    for (const TRoundTrip& t : tries) {
        if (!text.empty()) text += " / ";
        text += t.answered ? Fixed("%.1f", whole ? t.wholeMs : t.firstMs) : std::string("-");
    }
    return text + " ms";
}

// What asking leaves in a bootloader that answers "VERS" once per session.
const char* kAskedNote = "a bootloader that answers \"VERS\" only once now waits for its "
                         "image; reset it before writing";

void Print(const TRun& run, const TDoctorPort& d) {
    Say(run, d.port + (d.device.empty() ? "" : "  " + d.device));
    Say(run, "  adapter:  " + AdapterText(d.usb));
    Say(run, "  access:   " + d.access);
    std::string latency = "outside a session " + TimerText(d.outside);
    if (d.duringRead) latency += "; during a session " + TimerText(d.during);
    // A port without a timer says so once.
    if (!d.outside.known && (!d.duringRead || !d.during.known)) latency = TimerText(d.outside);
    if (d.outside.known || d.during.known)
        latency += std::string("; low latency ") +
                   ((d.duringRead ? d.during : d.outside).lowLatency ? "on" : "off");
    Say(run, "  latency:  " + latency);
    if (!d.holdNote.empty()) Say(run, "            " + d.holdNote);
    if (d.answered)
        Say(run, "  device:   " + VisibleText(d.name) + ", firmware " + VisibleText(d.version));
    if (!d.tries.empty()) {
        Say(run, "  VERS:     first byte after " + TriesText(d.tries, false) +
                     "; whole reply after " + TriesText(d.tries, true));
    }
    if (d.predictedSeconds > 0)
        Say(run, "  write:    about " + Fixed("%.1f", d.predictedSeconds) + " s (line time " +
                     Fixed("%.1f", WriteLineSeconds()) + " s, and " + std::to_string(kImageBlocks) +
                     " round trips of " + Fixed("%.1f", d.roundTripMs) + " ms)");
    for (const TDoctorProblem& p : d.problems)
        Say(run, "  problem:  " + p.problem + "\n  fix:      " + p.fix);
    if (d.answered && !d.slow) Say(run, "  verdict:  nothing slows this port");
    if (d.answered || d.otherAnswer) Say(run, "  note:     " + std::string(kAskedNote));
}

std::string TimerJson(const TLatencyReading& r) {
    if (!r.known) return "{\"known\": false, \"problem\": " + JsonString(r.problem) + "}";
    return "{\"known\": true, \"ms\": " + std::to_string(r.ms) +
           ", \"low_latency\": " + (r.lowLatency ? "true" : "false") +
           ", \"source\": " + JsonString(r.source) + "}";
}

std::string Json(const TDoctorPort& d) {
    TJsonResult j;
    j.Add("port", d.port);
    j.Add("device_path", d.device);
    j.Add("usb", d.usb.usb);
    if (d.usb.usb) {
        j.Add("vendor_id", d.usb.vendorId);
        j.Add("product_id", d.usb.productId);
        j.Add("manufacturer", d.usb.manufacturer);
        j.Add("product", d.usb.product);
        j.Add("serial", d.usb.serial);
        j.Add("driver", d.usb.driver);
    }
    j.Add("access", d.access);
    j.AddEncoded("latency_outside", TimerJson(d.outside));
    if (d.duringRead) j.AddEncoded("latency_during", TimerJson(d.during));
    j.Add("latency_note", d.holdNote);
    j.Add("answered", d.answered);
    if (d.answered) {
        j.Add("device", d.name);
        j.Add("version", d.version);
    }
    std::string tries = "[";
    for (const TRoundTrip& t : d.tries) {
        if (tries.size() > 1) tries += ", ";
        tries += t.answered ? Format("{\"first_byte_ms\": %.3f, \"whole_reply_ms\": %.3f}",
                                     t.firstMs, t.wholeMs)
                            : "null";
    }
    j.AddEncoded("round_trips", tries + "]");
    if (d.predictedSeconds > 0) {
        j.AddReal("round_trip_ms", d.roundTripMs);
        j.AddReal("predicted_write_seconds", d.predictedSeconds);
    }
    std::string problems = "[";
    for (const TDoctorProblem& p : d.problems) {
        if (problems.size() > 1) problems += ", ";
        problems +=
            "{\"problem\": " + JsonString(p.problem) + ", \"fix\": " + JsonString(p.fix) + "}";
    }
    j.AddEncoded("problems", problems + "]");
    j.Add("slow", d.slow);
    return j.Text();
}

int DoctorCommand(TRun& run, TInterruptWatch& watch) {
    run.json.Add("command", std::string("doctor"));
    TLogOutput log;
    std::string error;
    if (!log.Open(run.options.logFile, run.options.verbose, error))
        return Fail(run, exit_usage, error);
    std::vector<std::string> names = PortsToUse(run);
    const bool named = !names.empty();
    if (named) {
        std::string port;
        if (!ResolvePort(names[0], port)) {
            // A device path names its port through the port list.
            std::string com;
            for (const TPortEntry& p : ListPorts())
                if (p.device == names[0]) com = p.name;
            if (com.empty())
                return Fail(run, PortNumber(names[0]) ? exit_no_device : exit_usage,
                            names[0] + ": no such port; 'varnomiksal-cli list' shows the ports");
            names[0] = com;
        } else {
            names[0] = "COM" + std::to_string(PortNumber(names[0]));
        }
    } else {
        for (const TPortEntry& p : ListPorts())
            names.push_back(p.name);
    }
    if (names.empty())
        return Fail(run, exit_no_device, "no serial ports found; is the adapter plugged in?");

    int answered = 0, slow = 0;
    std::string ports = "[";
    for (const std::string& name : names) {
        TDoctorPort d = CheckPort(name, watch, named ? kIdentifyTimeoutMs : kDetectTimeoutMs,
                                  run.options.rounds, [&](const std::vector<std::string>& lines) {
                                      log.Write(lines, named ? "" : name + " ");
                                  });
        if (d.interrupted) return Fail(run, exit_interrupted, "interrupted");
        Print(run, d);
        answered += d.answered;
        slow += d.slow;
        ports += (ports.size() > 1 ? ", " : "") + Json(d);
    }
    run.json.AddEncoded("ports", ports + "]");
    if (answered == 0) {
        run.json.Add("result", std::string("no_device"));
        return Finish(run, exit_no_device, "no device answered");
    }
    run.json.Add("result", std::string(slow ? "slow" : "ok"));
    if (slow)
        return Finish(run, exit_transfer_failed, "a device answered, but something slows its port");
    return Finish(run, exit_ok, "a device answered, and nothing slows its port");
}

const TCliOption kRoundsOption{"--rounds", nullptr, true, TakeNumber<&TCliOptions::rounds, 1, 20>,
                               "--rounds goes with doctor"};

} // namespace

const TCliCommand& DoctorCommandRow() {
    static const TCliCommand row{
        .name = "doctor",
        .help = {0, "doctor [PORT]", R"(check every listed port, or PORT: the adapter, whether
the port opens, its latency timer, a "VERS" round
trip (--rounds N: N of them) and the time a write
would take; each problem with its fix. Sends nothing
but "VERS"; a bootloader that answers it only once
then waits for its image: reset it. Exit code 0: a
device answered and nothing slows it; 1: something
slows it; 2: no device answered)"},
        .mostWords = 1,
        .options = {&kLogOption, &kVerboseOption, &kJsonOption, &kRoundsOption},
        .optionHelp = {{190, "--rounds N", "doctor: \"VERS\" round trips per port (default 1)"}},
        .run = Watched<DoctorCommand>,
    };
    return row;
}
