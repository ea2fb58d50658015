// Ports handled side by side: each with a flasher (its own console schema)
// on a thread of its own. Identification of one port or of every listed
// port at once, with the reason in words when no device answered.
#pragma once

#include "device/Flasher.h"
#include "platform/Interrupt.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct TPortJob {
    std::string argument; // the port as the user named it
    std::string port;     // its COM name, once resolved
    std::unique_ptr<TFlasher> flasher;
    TIdentifyResult found;
    int code = 0;        // exit code so far
    std::string message; // why it failed, when it did
    TUploadResult upload;
    std::atomic<int> done{0}; // blocks acknowledged, for the progress display
    std::atomic<double> seconds{0};
    // How the upload ended, for the progress display; running until then.
    enum TState { running, succeeded, failed, interrupted };
    std::atomic<TState> state{running};
};
using TPortJobs = std::vector<std::unique_ptr<TPortJob>>;

// Runs `work` for every job at once, each on a thread of its own, and waits
// for all of them; `poll` is called on this thread about ten times a second
// meanwhile (and once at the end).
void RunJobs(TPortJobs& jobs, const std::function<void(TPortJob&)>& work,
             const std::function<void()>& poll);

// Jobs taken out of `jobs` for a run go back into the places they left, in
// the order given.
void PutBack(TPortJobs& jobs, TPortJobs& taken);

// Resolves each job's port and identifies its device, all at once, each
// waiting timeoutMs at most for an answer. A job that fails keeps its exit
// code and message; a bad port name, or a port named twice, is a usage
// error (exit 3), and then no port is opened.
void IdentifyJobs(TPortJobs& jobs, TInterruptWatch& watch, int timeoutMs);

// Says once on stderr, for the ports that opened with an adapter whose
// latency timer could not be set, what that costs and how to set it by hand.
void AdviseLatency(const TPortJobs& jobs);

// Why no device was found when every port was asked: the ports that could
// not be opened or answered otherwise, each with its reason, and the silent
// ones.
std::string NoDeviceReport(const TPortJobs& all);

// Jobs for the named ports, or for every listed port.
TPortJobs JobsFor(const std::vector<std::string>& arguments);
TPortJobs JobsForAllPorts();

// Why the port `name` did not open, and what to do about it.
std::string OpenProblem(const std::string& name);

// What a user who may not open `device` can do: the group to join, or how
// to give access to a device only root may open.
std::string AccessAdvice(const std::string& device);
