#include "app/cli/PortJobs.h"

#include "app/cli/CliRun.h"
#include "app/cli/PortArgument.h"
#include "platform/Console.h"
#include "platform/LatencyTimer.h"
#include "platform/PortAccess.h"
#include "platform/Ports.h"
#include "serial/qeComAsync.h"

#include <chrono>
#include <thread>

void RunJobs(TPortJobs& jobs, const std::function<void(TPortJob&)>& work,
             const std::function<void()>& poll) {
    std::atomic<std::size_t> left{jobs.size()};
    std::vector<std::thread> threads;
    for (auto& job : jobs)
        threads.emplace_back([&work, &left, &job] {
            work(*job);
            left.fetch_sub(1);
        });
    while (left.load() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        if (poll) poll();
    }
    for (auto& t : threads)
        t.join();
    if (poll) poll();
}

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
    case TPortProblem::denied: {
        std::string group = PortAccessGroup(device);
        if (group.empty()) return name + " (" + device + "): permission denied; " + kRootOnlyAdvice;
        return name + " (" + device + "): permission denied; add yourself to the '" + group +
               "' group (sudo usermod -aG " + group + " $USER) and log in again";
    }
    default:
        return name + " (" + device + ") could not be opened";
    }
}

namespace {

// Identifies the device on one resolved port.
void IdentifyOne(TPortJob& job, int timeoutMs) {
    job.found = job.flasher->Identify(job.port, timeoutMs);
    job.found.port = job.port;
    switch (job.found.outcome) {
    case TIdentify::found:
        job.code = exit_ok;
        return;
    case TIdentify::open_failed:
        job.message = OpenProblem(job.port);
        break;
    case TIdentify::no_answer:
        job.message = "no device answered on " + job.port + " within " +
                      std::to_string(timeoutMs / 1000) +
                      " s; check the cable, and reset or power-cycle the device into its "
                      "bootloader (a device left in the middle of a write answers nothing)";
        break;
    case TIdentify::not_bootloader:
        job.message = "the device on " + job.port +
                      " answered, but not as a Varnomiksal bootloader; a device left in the "
                      "middle of a write answers so too: reset or power-cycle it into its "
                      "bootloader and try again";
        break;
    case TIdentify::interrupted:
        job.code = exit_interrupted;
        job.message = "interrupted";
        return;
    }
    job.code = exit_no_device;
}

// Resolves a job's port as the user named it; false (with the job's code and
// message) when it names no port.
bool Resolve(TPortJob& job, const std::vector<TPortEntry>& ports) {
    if (!job.port.empty()) return true;
    switch (ResolvePortArgument(job.argument, ports, job.port)) {
    case TPortArgument::ok:
        return true;
    case TPortArgument::bad_name:
        job.code = exit_usage;
        job.message =
            "'" + job.argument + "' is not a port name: use COM1 to COM255 or a device path";
        return false;
    case TPortArgument::no_such:
        job.code = exit_no_device;
        job.message = job.argument + ": no such device";
        return false;
    case TPortArgument::not_listed:
        job.code = exit_no_device;
        job.message = job.argument + " is no serial port in the port list; "
                                     "'varnomiksal-cli list' shows them";
        return false;
    }
    return false;
}

} // namespace

void IdentifyJobs(TPortJobs& jobs, TInterruptWatch& watch, int timeoutMs) {
    std::vector<TPortEntry> ports = ListPorts();
    bool usage = false;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        TPortJob& job = *jobs[i];
        if (!Resolve(job, ports)) {
            usage |= job.code == exit_usage;
            continue;
        }
        // The same port twice (by its COM name and its path, say) would be
        // written once and then found busy.
        for (std::size_t k = 0; k < i; ++k)
            if (jobs[k]->port == job.port) {
                job.code = exit_usage;
                job.message =
                    "'" + job.argument + "' names " + job.port +
                    (jobs[k]->argument == job.argument ? " again"
                                                       : ", as '" + jobs[k]->argument + "' does");
                usage = true;
            }
    }
    // A usage error opens no port at all.
    if (usage) return;
    TPortJobs ready;
    for (auto& job : jobs) {
        if (job->port.empty()) continue;
        // Each flasher is made here: the schemas are built on one thread.
        job->flasher = std::make_unique<TFlasher>(watch);
        ready.push_back(std::move(job));
    }
    RunJobs(
        ready, [timeoutMs](TPortJob& job) { IdentifyOne(job, timeoutMs); }, nullptr);
    PutBack(jobs, ready);
}

void PutBack(TPortJobs& jobs, TPortJobs& taken) {
    for (auto& job : jobs)
        if (!job)
            for (auto& t : taken)
                if (t) {
                    job = std::move(t);
                    break;
                }
}

TPortJobs JobsFor(const std::vector<std::string>& arguments) {
    TPortJobs jobs;
    for (const auto& a : arguments) {
        jobs.push_back(std::make_unique<TPortJob>());
        jobs.back()->argument = a;
    }
    return jobs;
}

TPortJobs JobsForAllPorts() {
    TPortJobs jobs;
    for (const TPortEntry& port : ListPorts()) {
        jobs.push_back(std::make_unique<TPortJob>());
        jobs.back()->argument = port.name;
        jobs.back()->port = port.name;
    }
    return jobs;
}

std::string AccessAdvice(const std::string& device) {
    std::string group = PortAccessGroup(device);
    if (group.empty()) return kRootOnlyAdvice;
    return "join the group '" + group + "' (sudo usermod -aG " + group +
           " $USER, then log in again)";
}

namespace {

// Why a port that did not open could not, in a few words.
std::string ShortOpenProblem(const std::string& name) {
    std::string device;
    if (!ResolvePort(name, device)) return "gone";
    switch (CheckPortAccess(device)) {
    case TPortProblem::missing:
        return "gone (is the adapter plugged in?)";
    case TPortProblem::busy:
        return "busy (another program holds it)";
    case TPortProblem::denied:
        return "no permission: " + AccessAdvice(device);
    default:
        return "could not be opened";
    }
}

} // namespace

void AdviseLatency(const TPortJobs& jobs) {
    std::string first, others;
    for (const auto& job : jobs) {
        if (!job || !job->flasher || job->found.outcome == TIdentify::open_failed) continue;
        if (job->flasher->Schema().Session.SerialPort->LatencyHold() != TLatencyHoldState::failed)
            continue;
        if (first.empty())
            first = job->port;
        else
            others += (others.empty() ? "" : ", ") + job->port;
    }
    if (first.empty()) return;
    std::string text = "varnomiksal-cli: " + LatencyTimerAdvice(first);
    if (!others.empty()) text += " (the same for " + others + ")";
    ConsoleWrite(TStdStream::err, text + "\n");
}

std::string NoDeviceReport(const TPortJobs& all) {
    if (all.empty()) return "no serial ports found; is the adapter plugged in?";
    std::string report =
        "no device answered on any of the " + std::to_string(all.size()) + " port(s):";
    std::string silent;
    for (const auto& job : all) {
        switch (job->found.outcome) {
        case TIdentify::open_failed:
            report += "\n  " + job->port + ": " + ShortOpenProblem(job->port);
            break;
        case TIdentify::not_bootloader:
            report += "\n  " + job->port + ": answered, but not as a Varnomiksal bootloader";
            break;
        default:
            silent += (silent.empty() ? "" : ", ") + job->port;
        }
    }
    if (!silent.empty())
        report += "\n  " + silent + ": no answer within " +
                  std::to_string(kDetectTimeoutMs / 1000) +
                  " s; check the cables, and that the devices are in their bootloader (a "
                  "device left in the middle of a write answers nothing until it is reset)";
    return report;
}
