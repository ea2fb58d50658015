// write: identify the devices, show them and the image, confirm, upload to
// every port at once (each through its own console schema), report.
#include "app/cli/Commands.h"
#include "app/cli/ImageFile.h"
#include "app/cli/LogOutput.h"
#include "app/cli/PortJobs.h"
#include "app/cli/ProgressOutput.h"
#include "app/cli/Sha256.h"
#include "app/cli/SharedOptions.h"
#include "app/cli/Summary.h"
#include "device/VisibleText.h"
#include "platform/Console.h"

#include <algorithm>
#include <iostream>

namespace {

const char* kNothingWritten = "interrupted before the write began; nothing was written";

struct TWrite {
    TRun& run;
    TInterruptWatch& watch;
    TWriteImage image;
    std::string sha256;
    bool several = false; // several ports, or --all: a table and a JSON array
    TLogOutput log;
};

void WriteLogs(TWrite& w, TPortJobs& jobs) {
    for (auto& job : jobs)
        if (job->flasher) w.log.Write(job->flasher->TakeLog(), w.several ? job->port + " " : "");
}

void AddImageFields(const TWrite& w, TJsonResult& json) {
    json.Add("command", std::string("write"));
    json.Add("image_version", w.image.newVersion);
    json.Add("image_placeholder", w.image.placeholder);
    if (!w.image.file.empty()) {
        json.Add("image_file", w.image.file);
        json.Add("image_sha256", w.sha256);
    }
}

// Asks on the terminal (on stderr, so that stdout keeps only results);
// Ctrl+C at the prompt declines.
bool Confirm(TWrite& w, const std::vector<TPortJob*>& jobs) {
    std::string what =
        w.image.file.empty() ? w.image.title : w.image.title + " (SHA-256 " + w.sha256 + ")";
    std::string where;
    for (TPortJob* job : jobs)
        where += (where.empty() ? "" : ", ") + VisibleText(job->found.device) + " on " + job->port;
    if (jobs.size() > 1) where = std::to_string(jobs.size()) + " devices (" + where + ")";
    ConsoleWrite(TStdStream::err, "Write " + what + " to " + where + "? [y/N] ");
    while (!w.watch.WaitInput(200))
        if (w.watch.Interrupted()) {
            ConsoleWrite(TStdStream::err, "\n");
            return false;
        }
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

// Uploads on this job's own thread and words the outcome.
void Upload(TWrite& w, TPortJob& job) {
    if (!w.image.file.empty()) job.flasher->Schema().UseImage(w.image.bytes);
    TUploadResult& r = job.upload;
    r = job.flasher->Upload([&job](int done, double seconds) {
        job.done = done;
        job.seconds = seconds;
    });
    job.flasher->Close();
    job.state = r.outcome == TUpload::success       ? TPortJob::succeeded
                : r.outcome == TUpload::interrupted ? TPortJob::interrupted
                                                    : TPortJob::failed;
    // Blocks count from 1 in messages: the one in flight follows the
    // acknowledged ones.
    int at = std::min(r.blocks + 1, kImageBlocks);
    switch (r.outcome) {
    case TUpload::success:
        job.code = exit_ok;
        job.message = ClosingLine(r.bytes, r.seconds, VisibleText(job.found.device), job.port,
                                  VisibleText(job.found.version), w.image.newVersion);
        job.flasher->Note(job.message);
        return;
    case TUpload::interrupted:
        job.code = exit_interrupted;
        if (r.bytes == 0) {
            job.message = kNothingWritten;
            return;
        }
        job.message = Format("interrupted at block %d of %d; the port is released, and the device "
                             "is left in the middle of the transfer: %s",
                             at, kImageBlocks, kRecover);
        return;
    case TUpload::failed:
        break;
    }
    std::string why =
        FailureWords(r.failure, TFailureTeller::command_line, {r.reply, r.expected, job.port, ""});
    if (r.failure == TUploadFailure::start_lost) {
        // Every block went through: the message names no failed block.
        job.code = exit_transfer_failed;
        job.message = Format("transfer failed: %s: %s", why.c_str(), kRecover);
        return;
    }
    job.code = exit_transfer_failed;
    job.message = Format("transfer failed: block %d of %d failed: %s; check the connection, %s", at,
                         kImageBlocks, why.c_str(), kRecover);
}

void AddUploadFields(const TPortJob& job, TJsonResult& json) {
    const TUploadResult& r = job.upload;
    json.Add("blocks", (long long)r.blocks);
    json.Add("bytes", r.bytes);
    json.AddReal("seconds", r.seconds);
    json.AddReal("bytes_per_second", BytesPerSecond(r.bytes, r.seconds));
    if (!r.reply.empty()) json.Add("reply", r.reply);
    if (r.outcome == TUpload::failed) json.Add("failure", std::string(FailureName(r.failure)));
}

std::string ResultWord(const TPortJob& job, bool uploaded) {
    switch (job.code) {
    case exit_ok:
        return "success";
    case exit_interrupted:
        return "interrupted";
    case exit_transfer_failed:
        return job.upload.outcome == TUpload::failed &&
                       job.upload.failure == TUploadFailure::silence
                   ? Format("failed at block %d: no reply",
                            std::min(job.upload.blocks + 1, kImageBlocks))
                   : Format("failed at block %d", std::min(job.upload.blocks + 1, kImageBlocks));
    default:
        return uploaded ? "failed" : "no device";
    }
}

// The end of a write to several ports: each port's message, the table, the
// JSON array and the worst exit code.
int FinishSeveral(TWrite& w, TPortJobs& jobs) {
    int code = exit_ok;
    std::vector<TSummaryRow> rows;
    std::string array = "[";
    for (auto& job : jobs) {
        bool uploaded = job->code != exit_no_device || job->upload.bytes > 0;
        code = WorseExit(code, job->code);
        if (job->code == exit_ok)
            Say(w.run, job->message);
        else
            Error(job->port.empty() ? job->message : job->port + ": " + job->message);
        TSummaryRow row;
        row.port = job->port.empty() ? job->argument : job->port;
        row.device = VisibleText(job->found.device);
        if (job->found.outcome == TIdentify::found) {
            row.oldVersion = VisibleText(job->found.version);
            row.newVersion = w.image.newVersion;
            row.seconds = job->upload.seconds;
        }
        row.result = ResultWord(*job, uploaded);
        rows.push_back(row);

        TJsonResult json;
        AddImageFields(w, json);
        json.Add("port", row.port);
        if (job->found.outcome == TIdentify::found) {
            json.Add("device", job->found.device);
            json.Add("version", job->found.version);
            AddUploadFields(*job, json);
        }
        json.Add("result", std::string(job->code == exit_ok            ? "success"
                                       : job->code == exit_interrupted ? "interrupted"
                                                                       : "error"));
        json.Add("exit_code", (long long)job->code);
        json.Add("message", job->message);
        array += (array.size() > 1 ? ", " : "") + json.Text();
    }
    if (w.run.options.json)
        ConsoleWrite(TStdStream::out, array + "]\n");
    else
        ConsoleWrite(TStdStream::out, "\n" + SummaryTable(rows));
    return code;
}

int WriteCommand(TRun& run, TInterruptWatch& watch) {
    TWrite w{run, watch, {}, {}, false, {}};
    const TCliOptions& o = run.options;
    w.several = o.all || o.ports.size() > 1;
    std::string error;
    if (!ChosenImage(o.imageFile, w.image, error)) {
        w.image.newVersion = o.imageFile;
        AddImageFields(w, run.json);
        return Fail(run, exit_usage, error);
    }
    if (!w.image.file.empty()) w.sha256 = Sha256Hex(w.image.bytes);
    AddImageFields(w, run.json);
    if (w.image.placeholder && !o.allowPlaceholder)
        return Fail(run, exit_usage, kPlaceholderRefused);
    if (!w.log.Open(o.logFile, o.verbose, error)) return Fail(run, exit_usage, error);

    // The ports: those named, or found by asking every port.
    TPortJobs jobs;
    std::vector<std::string> ports = PortsToUse(run);
    if (!ports.empty()) {
        jobs = JobsFor(ports);
        IdentifyJobs(jobs, watch, kIdentifyTimeoutMs);
        WriteLogs(w, jobs);
        AdviseLatency(jobs);
        for (auto& job : jobs)
            if (job->code == exit_usage) return Fail(run, exit_usage, job->message);
        // An interruption while some device is still being asked writes to
        // none of them, not even to those that have answered.
        if (watch.Interrupted()) return Fail(run, exit_interrupted, kNothingWritten);
    } else {
        TPortJobs all = JobsForAllPorts();
        IdentifyJobs(all, watch, kDetectTimeoutMs);
        bool interrupted = false;
        for (auto& job : all) {
            interrupted |= job->code == exit_interrupted;
            if (job->code == exit_ok) jobs.push_back(std::move(job));
        }
        WriteLogs(w, jobs);
        AdviseLatency(jobs);
        if (interrupted || watch.Interrupted()) return Fail(run, exit_interrupted, kNothingWritten);
        if (jobs.empty()) return Fail(run, exit_no_device, NoDeviceReport(all));
        if (jobs.size() > 1 && !o.all) {
            std::string list;
            for (auto& job : jobs)
                list += "\n  " + job->port + "  " + VisibleText(job->found.device) + ", firmware " +
                        VisibleText(job->found.version);
            return Fail(run, exit_usage,
                        "devices answered on " + std::to_string(jobs.size()) +
                            " ports; name the one to write (varnomiksal-cli write " +
                            jobs[0]->port + "), or write them all with --all:" + list);
        }
        if (!w.several)
            ConsoleWrite(TStdStream::err,
                         "One device found: " + VisibleText(jobs[0]->found.device) + ", firmware " +
                             VisibleText(jobs[0]->found.version) + " on " + jobs[0]->port +
                             "; using it\n");
    }

    // Those identified are written.
    std::vector<TPortJob*> ready;
    for (auto& job : jobs)
        if (job->code == exit_ok) ready.push_back(job.get());
    if (!w.several) {
        TPortJob& job = *jobs[0];
        if (!job.port.empty()) run.json.Add("port", job.port);
        if (job.code != exit_ok) return Fail(run, job.code, job.message);
        run.json.Add("device", job.found.device);
        run.json.Add("version", job.found.version);
        Say(run, "Device:   " + VisibleText(job.found.device) + ", firmware " +
                     VisibleText(job.found.version));
    } else {
        for (TPortJob* job : ready) {
            std::string name = job->port;
            name.resize(std::max<std::size_t>(name.size(), 7), ' ');
            Say(run, "Device:   " + name + VisibleText(job->found.device) + ", firmware " +
                         VisibleText(job->found.version));
        }
    }
    if (w.image.file.empty())
        Say(run, "Image:    " + w.image.title + ", " + std::to_string(kImageBytes) + " bytes in " +
                     std::to_string(kImageBlocks) + " blocks");
    else
        Say(run, "Image:    " + w.image.title + ", " + std::to_string(kImageBytes) + " bytes in " +
                     std::to_string(kImageBlocks) + " blocks, SHA-256 " + w.sha256);
    if (!ready.empty() && !o.yes && StdinIsTerminal() && !Confirm(w, ready)) {
        for (TPortJob* job : ready) {
            job->code = exit_interrupted;
            job->message = "declined; nothing was written";
        }
        if (!w.several) return Fail(run, exit_interrupted, "declined; nothing was written");
        return FinishSeveral(w, jobs);
    }

    // The last moment to stop with nothing written; from here a lost
    // terminal no longer stops the uploads.
    if (!ready.empty() && !watch.Commit()) {
        for (TPortJob* job : ready) {
            job->code = exit_interrupted;
            job->message = kNothingWritten;
        }
        if (!w.several) return Fail(run, exit_interrupted, kNothingWritten);
        return FinishSeveral(w, jobs);
    }

    TProgressMode mode = o.progress;
    if (mode == TProgressMode::automatic)
        mode = StderrIsTerminal() ? TProgressMode::bar : TProgressMode::plain;
    if (o.json) mode = TProgressMode::none;
    {
        TProgressOutput progress(mode, ready);
        w.log.toStderr = [&progress](const std::string& lines) { progress.Above(lines); };
        TPortJobs running;
        for (auto& job : jobs)
            if (job->code == exit_ok) running.push_back(std::move(job));
        RunJobs(
            running, [&w](TPortJob& job) { Upload(w, job); },
            [&] {
                progress.Show();
                WriteLogs(w, running);
            });
        PutBack(jobs, running);
        WriteLogs(w, jobs);
        w.log.toStderr = nullptr;
    }
    WriteLogs(w, jobs);
    if (w.several) return FinishSeveral(w, jobs);

    TPortJob& job = *jobs[0];
    AddUploadFields(job, run.json);
    if (job.code != exit_ok) return Fail(run, job.code, job.message);
    run.json.Add("result", std::string("success"));
    Say(run, job.message);
    return Finish(run, exit_ok, job.message);
}

} // namespace

const TCliCommand& WriteCommandRow() {
    static const TCliCommand row{
        .name = "write",
        .help = {0, "write [PORT...]", R"(identify the devices, show them and the image, ask for
confirmation, upload and report the result. Several
ports are written at once, each on its own; at the end
a table shows each port's result. Without PORT, the
one port where a device answers is used)"},
        .mostWords = 255,
        .options = {&kYesOption, &kAllOption, &kImageOption, &kAllowPlaceholderOption, &kLogOption,
                    &kVerboseOption, &kProgressOption, &kJsonOption},
        .check = AllWithoutPorts,
        .run = Watched<WriteCommand>,
    };
    return row;
}
