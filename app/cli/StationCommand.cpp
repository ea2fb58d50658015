// station: a fixture or a production line. Every slot (a port) writes each
// device seated in it once, on a thread of its own (station/StationSlot.h);
// this thread shows the slots, prints their events, keeps the totals and
// the record, and takes in ports that appear.
#include "app/cli/StationCommand.h"
#include "app/cli/ImageFile.h"
#include "app/cli/LogOutput.h"
#include "app/cli/PortArgument.h"
#include "app/cli/PortJobs.h"
#include "app/cli/Sha256.h"
#include "app/cli/StationText.h"
#include "device/VisibleText.h"
#include "platform/Console.h"
#include "platform/HostName.h"
#include "platform/StateFolder.h"
#include "station/DatabaseConnection.h"
#include "station/RecordStore.h"
#include "station/SlotPlaces.h"
#include "station/StationSlot.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace {

// How often the slots are shown anew, and how often the port list is read
// for ports that have appeared.
constexpr int kRedrawMs = 200;
constexpr int kRescanMs = 1000;

// How long a record that could not be written waits before it is tried again.
constexpr int kRecordRetryMs = 1000;
// How long a stopping station gives its database to take what is spooled.
constexpr int kCloseWaitMs = 10000;

class TStation : public TSlotHost {
public:
    TStation(TRun& run, TInterruptWatch& watch) : run_(run), watch_(watch) {}
    ~TStation() override {
        for (auto& t : threads_)
            t.join();
    }

    int Run();

    bool Taking() const override {
        return !watch_.Interrupted() && !recordLost_ &&
               !(run_.options.count > 0 && passedTotal_ >= run_.options.count);
    }

    bool BeginWrite(const TSlotPlace& place, const TSlotEvent& started) override {
        std::lock_guard lock(writeMutex_);
        if (!Taking()) {
            NoteStop();
            return false;
        }
        if (run_.options.count > 0 && passedTotal_ + writing_ >= run_.options.count) return false;
        if (!SpoolHasRoom()) return false;
        ++writing_;
        Tell(place, started); // under the lock: no write is told after the stop
        return true;
    }

    void EndWrite() override {
        std::lock_guard lock(writeMutex_);
        --writing_;
    }

    void Tell(const TSlotPlace& place, const TSlotEvent& event) override {
        std::string text;
        if (run_.options.json) {
            TJsonResult json;
            json.Add("event", event.kind);
            json.Add("time", event.time);
            AddPlace(json, place);
            AddAttempt(json, event);
            text = json.Text() + "\n";
        } else if (!live_) {
            text = EventLine(place, event) + "\n";
        }
        if (text.empty()) return;
        std::lock_guard lock(mutex_);
        out_ += text;
    }

    void Record(const TSlotPlace& place, const TSlotEvent& a) override {
        if (a.kind == "passed")
            ++passedTotal_;
        else if (a.kind == "wrong-device")
            ++wrongTotal_;
        else if (a.kind == "failed" || a.kind == "interrupted")
            ++failedTotal_;
        else
            ++otherTotal_; // returned, not written: no attempt at a write
        if (!store_) return;
        TAttemptRecord record;
        record.id = NewRecordId();
        record.start = a.startTime;
        record.end = a.time.empty() ? UtcNow() : a.time;
        record.host = host_;
        record.slot = place.name;
        record.port = place.port;
        record.usb = place.usb;
        record.device = a.device;
        record.version = a.version;
        record.image = image_.title;
        record.imageSha256 = sha256_;
        record.result = a.kind;
        record.failure = a.failure;
        record.message = a.message;
        record.blocks = a.blocks;
        // To the millisecond, as the record line has it: a database and the
        // spool then hold the same value.
        record.seconds = std::round(std::max(a.seconds, 0.0) * 1000) / 1000;
        record.tag = run_.options.tag;
        std::string error;
        if (!store_->Add(record, error)) {
            {
                std::lock_guard lock(writeMutex_);
                recordLost_ = true; // no write starts after this
            }
            std::lock_guard lock(mutex_);
            unrecorded_.push_back(record);
            TellRecordLost(place, error);
        }
    }

    void Log(const TSlotPlace& place, std::vector<std::string> lines) override {
        if (lines.empty() || !log_.Active()) return;
        std::lock_guard lock(mutex_);
        for (auto& line : lines)
            logLines_.push_back(place.name + " " + line);
    }

    std::string OpenProblem(const std::string& port) const override { return ::OpenProblem(port); }

private:
    bool Prepare(int& code);
    // The first sign of a stop is told once, on every output.
    void NoteStop();
    // With mutex_ held.
    void TellRecordLost(const TSlotPlace& place, const std::string& error);
    // Tries the lines not yet recorded again; true when none is left.
    bool RetryRecords();
    // Opens the record store, a database's spool and connection included.
    bool OpenRecords(std::string& error);
    // Tells what the database store says: lost, back, its spool full.
    void TellStore(const std::string& event, const std::string& message);
    // False while a database's spool is full: devices wait.
    bool SpoolHasRoom();
    void AddSlot(const TSlotPlace& place);
    void Rescan();
    void Flush();
    std::string Screen() const;

    TRun& run_;
    TInterruptWatch& watch_;
    TWriteImage image_;
    std::string sha256_;
    std::string host_ = HostName();
    TLogOutput log_;
    bool live_ = false;     // the slots are drawn in place on the terminal
    std::size_t drawn_ = 0; // lines of the screen drawn last

    std::vector<std::unique_ptr<TStationSlot>> slots_;
    std::vector<std::thread> threads_;
    std::vector<std::string> named_; // the ports given, as COM names

    mutable std::mutex mutex_;
    std::string out_, errors_;
    std::vector<std::string> logLines_;
    std::unique_ptr<TRecordStore> store_;
    std::vector<TAttemptRecord> unrecorded_; // attempts that could not be recorded yet
    std::atomic<bool> spoolFull_{false};
    std::string stopNote_; // why the station stopped, once it has
    std::atomic<int> passedTotal_{0}, failedTotal_{0}, wrongTotal_{0}, otherTotal_{0};
    std::atomic<bool> recordLost_{false};
    std::atomic<bool> stopTold_{false};
    std::mutex writeMutex_; // the writes begun and the stop, in one order
    int writing_ = 0;
};

void TStation::NoteStop() {
    if (!watch_.Interrupted() || stopTold_.exchange(true)) return;
    std::string text;
    if (run_.options.json) {
        TJsonResult json;
        json.Add("event", std::string("stopping"));
        json.Add("time", UtcNow());
        json.Add("message", std::string(kStopping));
        text = json.Text() + "\n";
    } else if (!live_) {
        text = std::string(kStopping) + "\n";
    }
    std::lock_guard lock(mutex_);
    stopNote_ = kStopping;
    out_ += text;
}

void TStation::TellRecordLost(const TSlotPlace& place, const std::string& error) {
    const std::string message = error + "; the station takes no new device";
    if (run_.options.json) {
        TJsonResult json;
        json.Add("event", std::string("record-failed"));
        json.Add("time", UtcNow());
        AddPlace(json, place);
        json.Add("message", message);
        out_ += json.Text() + "\n";
    }
    errors_ += "varnomiksal-cli: " + message + "\n";
    stopNote_ = "Stopping: the record cannot be written (" + error + ")";
}

bool TStation::RetryRecords() {
    std::vector<TAttemptRecord> lines;
    {
        std::lock_guard lock(mutex_);
        lines.swap(unrecorded_);
    }
    std::vector<TAttemptRecord> left;
    std::string error;
    for (const TAttemptRecord& line : lines)
        if (!store_->Add(line, error)) left.push_back(line);
    std::lock_guard lock(mutex_);
    unrecorded_.insert(unrecorded_.begin(), left.begin(), left.end());
    return unrecorded_.empty();
}

bool TStation::OpenRecords(std::string& error) {
    const TCliOptions& o = run_.options;
    if (o.recordFile.empty()) return true;
    TRecordStoreSettings settings{o.recordFile, o.spoolFile, o.spoolLimit, {}};
    if (IsDatabaseTarget(o.recordFile)) {
        if (HasPassword(o.recordFile)) {
            error = "a password on the command line is seen by every user of this machine: put "
                    "it in the DSN or in " +
                    std::string(kPasswordVariable);
            return false;
        }
        const char* password = std::getenv(kPasswordVariable);
        settings.password = password ? password : "";
        if (settings.spool.empty() && !StateFolder().empty())
            settings.spool = (StateFolder() / "station-spool.jsonl").string();
        if (settings.spool.empty()) {
            error = "this system names no folder for the spool: give one with --spool FILE";
            return false;
        }
    }
    store_ = MakeRecordStore(settings);
    store_->onChange = [this](const std::string& event, const std::string& message) {
        TellStore(event, message);
    };
    if (store_->Open(error)) return true;
    if (IsDatabaseTarget(o.recordFile)) error = MaskedConnection(o.recordFile) + ": " + error;
    return false;
}

void TStation::TellStore(const std::string& event, const std::string& message) {
    const long long waiting = store_->State().waiting;
    std::string text;
    if (run_.options.json) {
        TJsonResult json;
        json.Add("event", event);
        json.Add("time", UtcNow());
        if (!message.empty()) json.Add("message", message);
        json.Add("records_waiting", waiting);
        text = json.Text() + "\n";
    } else if (!live_) {
        text = event == "database-lost"
                   ? "The database is away (" + message + "); attempts wait in the spool\n"
               : event == "database-back"
                   ? Format("The database is back; %lld attempts wait\n", waiting)
                   : message + "\n";
    }
    std::lock_guard lock(mutex_);
    out_ += text;
}

bool TStation::SpoolHasRoom() {
    std::string why;
    const bool room = !store_ || store_->HasRoom(why);
    if (!room && !spoolFull_.exchange(true)) TellStore("spool-full", why);
    if (room) spoolFull_ = false;
    return room;
}

bool TStation::Prepare(int& code) {
    const TCliOptions& o = run_.options;
    std::string error;
    if (!ChosenImage(o.imageFile, image_, error)) {
        code = Fail(run_, exit_usage, error);
        return false;
    }
    sha256_ = Sha256Hex(image_.bytes);
    if (image_.placeholder && !o.allowPlaceholder) {
        code = Fail(run_, exit_usage, kPlaceholderRefused);
        return false;
    }
    if (!log_.Open(o.logFile, o.verbose, error, true)) {
        code = Fail(run_, exit_usage, error);
        return false;
    }
    if (!OpenRecords(error)) {
        code = Fail(run_, IsDatabaseTarget(o.recordFile) ? exit_record_lost : exit_usage, error);
        return false;
    }
    const std::vector<TPortEntry> ports = ListPorts();
    for (const std::string& argument : o.ports) {
        std::string name;
        switch (ResolvePortArgument(argument, ports, name)) {
        case TPortArgument::ok:
            break;
        case TPortArgument::bad_name:
            code = Fail(run_, exit_usage, "'" + argument + "' is no port name (COM1 to COM255)");
            return false;
        default:
            code = Fail(run_, exit_usage, "'" + argument + "' is no serial port in the list");
            return false;
        }
        if (std::find(named_.begin(), named_.end(), name) != named_.end()) {
            code = Fail(run_, exit_usage, "'" + argument + "' names " + name + " a second time");
            return false;
        }
        named_.push_back(name);
    }
    return true;
}

void TStation::AddSlot(const TSlotPlace& place) {
    TSlotSettings settings;
    settings.pollMs = run_.options.pollMs;
    settings.expectDevice = run_.options.expectDevice;
    if (!image_.file.empty()) settings.image = &image_.bytes;
    slots_.push_back(std::make_unique<TStationSlot>(*this, watch_, place, settings));
    TStationSlot* slot = slots_.back().get();
    threads_.emplace_back([slot] { slot->Run(); });
}

// Named ports are slots from the start, present or not; otherwise every
// listed port is, and every port that appears later.
void TStation::Rescan() {
    std::vector<TSlotPlace> places;
    for (const auto& slot : slots_)
        places.push_back(slot->Place());
    for (const TSlotPlace& place : NewSlotPlaces(places, named_))
        AddSlot(place);
}

std::string TStation::Screen() const {
    const int passed = passedTotal_, failed = failedTotal_;
    const int attempts = passed + failed;
    std::string text =
        "Image: " + image_.title + "\n" +
        Format("Passed %d, failed %d, wrong device %d; yield %s\n", passed, failed,
               wrongTotal_.load(),
               attempts ? Format("%.1f %%", 100.0 * passed / attempts).c_str() : "-");
    const int columns = TerminalColumns();
    std::vector<std::pair<TSlotPlace, TSlotView>> shown;
    for (const auto& slot : slots_)
        shown.emplace_back(slot->Place(), slot->View());
    text += SlotLines(shown, columns);
    const TStoreState store = store_ ? store_->State() : TStoreState();
    if (store.database)
        text +=
            (store.reachable ? "Database: reachable" : "Database: away (" + store.problem + ")") +
            Format("; %lld attempts waiting", store.waiting) +
            (spoolFull_ ? "; the spool is full: devices wait" : "") + "\n";
    std::string note;
    {
        std::lock_guard lock(mutex_);
        note = stopNote_;
    }
    text += (note.empty() ? std::string(kCtrlCHint) : note) + "\n";
    // Every line fits the terminal, so that the screen is redrawn in place.
    std::string fitted;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        fitted += FitColumns(text.substr(at, end - at), columns) + "\x1b[K\n";
        at = end + 1;
    }
    return fitted;
}

// Prints what has come since the last call: log lines, events or the screen.
void TStation::Flush() {
    std::string out, errors;
    std::vector<std::string> lines;
    {
        std::lock_guard lock(mutex_);
        out.swap(out_);
        errors.swap(errors_);
        lines.swap(logLines_);
    }
    if (!live_) {
        if (!errors.empty()) ConsoleWrite(TStdStream::err, errors);
        log_.Write(lines, "");
        if (!out.empty()) ConsoleWrite(TStdStream::out, out);
        return;
    }
    // The screen is taken away, the lines printed, and the screen drawn anew.
    std::string text = drawn_ ? "\x1b[" + std::to_string(drawn_) + "A\r\x1b[J" : "";
    ConsoleWrite(TStdStream::err, text + errors);
    log_.Write(lines, "");
    std::string screen = Screen();
    drawn_ = std::size_t(std::count(screen.begin(), screen.end(), '\n'));
    ConsoleWrite(TStdStream::err, screen);
}

int TStation::Run() {
    int code = exit_ok;
    if (!Prepare(code)) return code;
    const TCliOptions& o = run_.options;
    live_ = !o.json && StdoutIsTerminal() && StderrIsTerminal() && StderrTakesCursorMoves();
    if (live_)
        log_.toStderr = [this](const std::string& lines) { ConsoleWrite(TStdStream::err, lines); };
    if (!o.json && !live_)
        ConsoleWrite(TStdStream::out, "Station: writing " + image_.title + " (SHA-256 " + sha256_ +
                                          ") to every device seated\n" + kCtrlCHint + "\n");
    Rescan();
    auto rescanned = std::chrono::steady_clock::now();
    for (;;) {
        const bool taking = Taking();
        if (!taking) {
            std::lock_guard lock(writeMutex_); // after any write just granted
            NoteStop();
        }
        watch_.Wait(kRedrawMs);
        Flush();
        if (!taking) break;
        if (named_.empty() &&
            std::chrono::steady_clock::now() - rescanned >= std::chrono::milliseconds(kRescanMs)) {
            Rescan();
            rescanned = std::chrono::steady_clock::now();
        }
    }
    // The slots end their uploads (a second Ctrl+C stops them).
    for (auto& t : threads_) {
        while (true) {
            // Joining waits; the screen and the events go on meanwhile.
            bool running = false;
            for (const auto& slot : slots_)
                running |= slot->View().state == TSlotState::writing;
            if (!running) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(kRedrawMs));
            NoteStop();
            Flush();
        }
        t.join();
    }
    threads_.clear();
    // The records of uploads that ended after the record failed are tried
    // again; what still cannot be written goes to stderr, to be kept by hand.
    if (recordLost_) {
        for (int tries = 0; tries < 3 && !RetryRecords(); ++tries)
            std::this_thread::sleep_for(std::chrono::milliseconds(kRecordRetryMs));
        std::lock_guard lock(mutex_);
        for (const TAttemptRecord& line : unrecorded_)
            errors_ += "varnomiksal-cli: not recorded: " + RecordLine(line) + "\n";
    }
    // A database's spool hands on what it can; the rest waits for the next start.
    const std::string waiting = store_ ? store_->Close(kCloseWaitMs) : std::string();
    if (!waiting.empty()) {
        std::lock_guard lock(mutex_);
        errors_ += "varnomiksal-cli: " + waiting + "\n";
    }
    Flush();
    const int passed = passedTotal_, failed = failedTotal_, wrong = wrongTotal_;
    code = recordLost_ ? exit_record_lost : failed > 0 ? exit_transfer_failed : exit_ok;
    std::string totals = Format("passed %d, failed %d, wrong device %d", passed, failed, wrong);
    if (o.json) {
        TJsonResult json;
        json.Add("event", std::string("totals"));
        json.Add("time", UtcNow());
        json.Add("passed", (long long)passed);
        json.Add("failed", (long long)failed);
        json.Add("wrong_device", (long long)wrong);
        json.Add("not_written", (long long)otherTotal_.load());
        if (recordLost_) json.Add("record_failed", true);
        if (store_ && store_->State().database)
            json.Add("records_waiting", store_->State().waiting);
        json.Add("exit_code", (long long)code);
        ConsoleWrite(TStdStream::out, json.Text() + "\n");
    } else {
        ConsoleWrite(TStdStream::out, "Station stopped: " + totals +
                                          (recordLost_ ? "; the record could not be written" : "") +
                                          "\n");
    }
    return code;
}

} // namespace

int StationCommand(TRun& run, TInterruptWatch& watch) {
    TStation station(run, watch);
    return station.Run();
}
