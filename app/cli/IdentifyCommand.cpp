// identify: the device on one port, or on every listed port at once.
#include "app/cli/Commands.h"
#include "app/cli/LogOutput.h"
#include "app/cli/PortJobs.h"
#include "app/cli/SharedOptions.h"
#include "device/VisibleText.h"
#include "platform/Console.h"

#include <cstdlib>

std::vector<std::string> PortsToUse(const TRun& run) {
    if (!run.options.ports.empty()) return run.options.ports;
    const char* port = std::getenv("VARNOMIKSAL_PORT");
    if (!port || !*port || run.options.all) return {};
    // Said where results do not go, so that a surprise is explained.
    ConsoleWrite(TStdStream::err,
                 "varnomiksal-cli: using " + std::string(port) + " from VARNOMIKSAL_PORT\n");
    return {port};
}

namespace {

void WriteLogs(TLogOutput& log, TPortJobs& jobs, bool prefix) {
    for (auto& job : jobs)
        if (job->flasher) log.Write(job->flasher->TakeLog(), prefix ? job->port + " " : "");
}

int IdentifyOne(TRun& run, TInterruptWatch& watch, TLogOutput& log, const std::string& port) {
    TPortJobs jobs = JobsFor({port});
    IdentifyJobs(jobs, watch, kIdentifyTimeoutMs);
    WriteLogs(log, jobs, false);
    AdviseLatency(jobs);
    TPortJob& job = *jobs[0];
    if (!job.port.empty()) run.json.Add("port", job.port);
    if (job.code != exit_ok) return Fail(run, job.code, job.message);
    run.json.Add("device", job.found.device);
    run.json.Add("version", job.found.version);
    Say(run, "Device:   " + VisibleText(job.found.device));
    Say(run, "Firmware: " + VisibleText(job.found.version));
    run.json.Add("result", std::string("success"));
    return Finish(run, exit_ok, job.found.device + " " + job.found.version);
}

int IdentifyCommand(TRun& run, TInterruptWatch& watch) {
    run.json.Add("command", std::string("identify"));
    TLogOutput log;
    std::string error;
    if (!log.Open(run.options.logFile, run.options.verbose, error))
        return Fail(run, exit_usage, error);
    std::vector<std::string> ports = PortsToUse(run);
    if (!ports.empty()) return IdentifyOne(run, watch, log, ports[0]);

    // Every listed port at once: each waits for its answer in parallel.
    TPortJobs jobs = JobsForAllPorts();
    IdentifyJobs(jobs, watch, kDetectTimeoutMs);
    WriteLogs(log, jobs, true);
    AdviseLatency(jobs);
    std::string devices = "[";
    int found = 0;
    for (auto& job : jobs) {
        if (job->code == exit_interrupted) return Fail(run, exit_interrupted, "interrupted");
        if (job->code != exit_ok) continue;
        ++found;
        std::string line = job->port;
        line.resize(std::max<std::size_t>(line.size(), 7), ' ');
        Say(run, line + VisibleText(job->found.device) + "  firmware " +
                     VisibleText(job->found.version));
        devices += std::string(devices.size() > 1 ? ", " : "") +
                   "{\"port\": " + JsonString(job->port) +
                   ", \"device\": " + JsonString(job->found.device) +
                   ", \"version\": " + JsonString(job->found.version) + "}";
    }
    run.json.Add("ports_probed", (long long)jobs.size());
    if (found == 0) return Fail(run, exit_no_device, NoDeviceReport(jobs));
    run.json.Add("result", std::string("success"));
    run.json.AddEncoded("devices", devices + "]");
    return Finish(run, exit_ok, std::to_string(found) + " device(s) found");
}

} // namespace

const TCliCommand& IdentifyCommandRow() {
    static const TCliCommand row{
        .name = "identify",
        .help = {0, "identify [PORT]",
                 "send \"VERS\" and print the device's name and firmware\n"
                 "version; waits " +
                     std::to_string(kIdentifyTimeoutMs / 1000) +
                     " s for the answer. Without PORT every\n"
                     "listed port is asked at once, and every device that\n"
                     "answered is printed"},
        .mostWords = 1,
        .options = {&kLogOption, &kVerboseOption, &kJsonOption},
        .run = Watched<IdentifyCommand>,
    };
    return row;
}
