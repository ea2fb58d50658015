#include "station/StationSlot.h"

#include "platform/Ports.h"
#include "platform/UsbInfo.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

TSlotPlace PlaceOf(const TPortEntry& port) {
    TSlotPlace place;
    place.port = port.name;
    place.name = port.device.empty() ? std::string() : PortLocation(port.device);
    place.located = !place.name.empty();
    if (!place.located) place.name = port.name;
    TUsbInfo usb = port.device.empty() ? TUsbInfo{} : UsbInfoFor(port.device);
    if (usb.usb) {
        place.usb = usb.vendorId + ":" + usb.productId + ":" + usb.serial;
        place.usbSerial = usb.serial;
    }
    return place;
}

std::string UtcNow() {
    static std::mutex calendar; // gmtime's result is shared
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    int ms =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
            1000);
    char text[40] = {};
    std::lock_guard lock(calendar);
    std::tm* utc = std::gmtime(&seconds);
    std::size_t n = utc ? std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", utc) : 0;
    std::snprintf(text + n, sizeof text - n, ".%03dZ", ms);
    return text;
}

TStationSlot::TStationSlot(TSlotHost& host, TInterruptWatch& watch, TSlotPlace place,
                           TSlotSettings settings)
    : host_(host), watch_(watch), place_(std::move(place)), settings_(std::move(settings)) {}

TSlotPlace TStationSlot::Place() const {
    std::lock_guard lock(placeMutex_);
    return place_;
}

bool TStationSlot::FindPort(std::string& device) {
    const TSlotPlace here = Place();
    if (!here.located) {
        if (!ResolvePort(here.port, device)) return false;
        // A port named before it was there takes its place's name once it is.
        if (!PortLocation(device).empty()) {
            TSlotPlace found = PlaceOf({PortNumber(here.port), here.port, device});
            std::lock_guard lock(placeMutex_);
            place_ = found;
        }
        return true;
    }
    if (ResolvePort(here.port, device) && PortLocation(device) == here.name) return true;
    // The adapter in this place may have come back under another name.
    for (const TPortEntry& port : ListPorts()) {
        if (PortLocation(port.device) != here.name) continue;
        TSlotPlace moved = PlaceOf(port);
        std::lock_guard lock(placeMutex_);
        place_ = moved;
        device = port.device;
        return true;
    }
    return false;
}

TSlotView TStationSlot::View() const {
    std::lock_guard lock(viewMutex_);
    return view_;
}

void TStationSlot::Set(TSlotState state) {
    std::lock_guard lock(viewMutex_);
    view_.state = state;
}

void TStationSlot::Tell(TSlotEvent event) {
    event.time = UtcNow();
    host_.Tell(Place(), event);
}

TSlotEvent TStationSlot::Attempt(const char* kind) const {
    TSlotEvent e{kind};
    e.device = found_.device;
    e.version = found_.version;
    e.startTime = UtcNow();
    return e;
}

void TStationSlot::Unavailable(const std::string& note) {
    if (note == unavailable_) return;
    unavailable_ = note;
    TSlotEvent e{"unavailable"};
    e.message = note;
    Tell(e);
}

void TStationSlot::Run() {
    bool missing = false;
    while (host_.Taking()) {
        TAnswer answer = Poll();
        if (flasher_) host_.Log(Place(), flasher_->TakeLog());
        if (answer == TAnswer::interrupted) break;
        if (answer == TAnswer::gone || answer == TAnswer::unavailable) {
            if (phase_ != TPhase::empty) Leave("left");
            if (answer == TAnswer::gone && !missing) {
                missing = true;
                Tell({"missing"});
            }
            if (answer == TAnswer::unavailable) Unavailable(View().note);
            Set(answer == TAnswer::gone ? TSlotState::missing : TSlotState::unavailable);
            continue;
        }
        unavailable_.clear();
        if (missing) {
            missing = false;
            Tell({"back"});
            Set(TSlotState::waiting);
        }
        if (answer == TAnswer::bootloader)
            OnBootloader();
        else
            OnSilence(answer == TAnswer::other);
    }
    flasher_.reset();
}

void TStationSlot::OnSilence(bool otherAnswer) {
    switch (phase_) {
    case TPhase::empty:
        Set(otherAnswer ? TSlotState::not_bootloader : TSlotState::waiting);
        break;
    case TPhase::held:
        if (++silent_ >= kPollsToLeave &&
            Clock::now() - heardAt_ >= std::chrono::milliseconds(kLeaveMs))
            Leave("left");
        break;
    case TPhase::done:
        quietSince_ = true;
        break;
    }
}

void TStationSlot::OnBootloader() {
    switch (phase_) {
    case TPhase::empty:
        Arrive();
        return;
    case TPhase::held: {
        // Two answers run into one burst read as a longer version: a
        // version that begins with the other's is the same board's.
        const std::string &now = found_.version, &then = held_.version;
        if (found_.device == held_.device &&
            (now.compare(0, then.size(), then) == 0 || then.compare(0, now.size(), now) == 0)) {
            silent_ = 0; // still there; asked again on a new session
            heardAt_ = Clock::now();
            flasher_.reset();
            RestOfPoll();
            return;
        }
        Arrive();
        return;
    }
    case TPhase::done:
        if (!passed_) {
            Arrive(); // reset into its bootloader, or another board
            return;
        }
        if (!quietSince_) {
            Hold(); // it stays in its bootloader after "PUSK"
            return;
        }
        // Only a board of the name just written can be that board again.
        if (found_.device == written_.device &&
            Clock::now() - puskAt_ < std::chrono::milliseconds(kReturnWindowMs)) {
            Refuse("returned",
                   "a bootloader answered within " + std::to_string(kReturnWindowMs / 1000) +
                       " s of \"PUSK\": the board is back in its bootloader (its firmware may "
                       "not have started), or another was seated too soon to tell; not written",
                   TSlotState::returned);
            return;
        }
        Arrive();
        return;
    }
}

// A board answered as a bootloader on the current session: it is written on
// this session, once it has settled, or refused.
void TStationSlot::Arrive() {
    TFlasher& f = *flasher_;
    // The answer's own bursts end their way through the session first.
    for (int waited = 0; f.Heard() < f.Arrived() && waited < 100; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::size_t heard = f.Arrived();
    // Listening only: a bootloader may take any byte after its answer as
    // image data. A burst that reached the upload spoils the session too.
    if (f.Listen(kSettleMs, [&] { return f.Arrived() > heard || f.LineLost(); }) ||
        f.Schema().Failure->Count() > 0) {
        host_.Log(Place(), f.TakeLog());
        flasher_.reset(); // a bounce: asked again on a new session
        return;
    }
    if (!host_.Taking()) return; // not taken: the station stops
    TSlotEvent arrived = Attempt("arrived");
    {
        std::lock_guard lock(viewMutex_);
        view_.device = found_.device;
        view_.version = found_.version;
        view_.percent = 0;
        view_.lastState = TSlotState::waiting;
        view_.lastDevice.clear();
        view_.lastVersion.clear();
        view_.state = TSlotState::arrived;
    }
    Tell(arrived);
    if (!settings_.expectDevice.empty() && found_.device != settings_.expectDevice) {
        Refuse("wrong-device", "expected " + settings_.expectDevice, TSlotState::wrong_device);
        return;
    }
    TSlotEvent started = Attempt("started");
    while (started.time = UtcNow(), !host_.BeginWrite(Place(), started)) {
        if (!host_.Taking()) {
            Refuse("not-written", "the station stopped taking devices before its write",
                   TSlotState::not_written);
            return;
        }
        // Writes under way could still reach --count: wait, sending nothing.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    Write();
    host_.EndWrite();
}

// Records a board that is not written, and holds it until it leaves.
void TStationSlot::Refuse(const char* kind, const std::string& message, TSlotState state) {
    TSlotEvent refused = Attempt(kind);
    refused.message = message;
    host_.Record(Place(), refused);
    {
        std::lock_guard lock(viewMutex_);
        if (state == TSlotState::wrong_device) ++view_.wrong;
        view_.device = found_.device;
        view_.version = found_.version;
        view_.state = state;
    }
    Tell(refused);
    Hold();
}

void TStationSlot::Hold() {
    held_ = found_;
    phase_ = TPhase::held;
    silent_ = 0;
    heardAt_ = Clock::now();
    flasher_.reset();
    RestOfPoll();
}

void TStationSlot::RestOfPoll() const {
    const auto next = pollStart_ + std::chrono::milliseconds(settings_.pollMs);
    while (host_.Taking() && Clock::now() < next)
        std::this_thread::sleep_for(
            std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(50)));
}

TStationSlot::TAnswer TStationSlot::Poll() {
    pollStart_ = Clock::now();
    auto rest = [&] { RestOfPoll(); };
    if (!flasher_) {
        std::string device;
        if (!FindPort(device)) {
            rest();
            return TAnswer::gone;
        }
        const std::string port = Place().port;
        flasher_ = std::make_unique<TFlasher>(watch_);
        flasher_->StopOnlyAfter(2);
        // After an attempt the first answer is awaited longer: whether it
        // comes decides whether the board stayed in its bootloader.
        const bool first = phase_ == TPhase::done && passed_ && !quietSince_;
        TIdentifyResult r = flasher_->Identify(port, first ? std::max(settings_.pollMs, kLeaveMs)
                                                           : settings_.pollMs);
        if (r.outcome == TIdentify::open_failed) {
            std::string note = host_.OpenProblem(port);
            host_.Log(Place(), flasher_->TakeLog());
            flasher_.reset();
            {
                std::lock_guard lock(viewMutex_);
                view_.note = note;
            }
            rest();
            return ResolvePort(port, device) ? TAnswer::unavailable : TAnswer::gone;
        }
        switch (r.outcome) {
        case TIdentify::found:
            found_ = r;
            return TAnswer::bootloader; // at once: the settle time follows the answer
        case TIdentify::not_bootloader:
            rest();
            return TAnswer::other;
        case TIdentify::interrupted:
            return TAnswer::interrupted;
        default:
            break;
        }
        rest();
        if (flasher_->LineLost()) {
            flasher_.reset();
            return TAnswer::gone;
        }
        return TAnswer::none;
    }
    // The session has not found a device yet: its probe judges each reply.
    TFlasher& f = *flasher_;
    const std::size_t judged = f.Judged();
    f.Poll();
    bool answered = f.Listen(settings_.pollMs, [&] { return f.Judged() > judged || f.LineLost(); });
    if (f.LineLost()) {
        rest();
        host_.Log(Place(), f.TakeLog());
        flasher_.reset();
        return TAnswer::gone;
    }
    if (answered && f.Identified()) {
        found_.outcome = TIdentify::found;
        found_.device = f.Schema().Device();
        found_.version = f.Schema().Version();
        return TAnswer::bootloader;
    }
    rest();
    return answered ? TAnswer::other : TAnswer::none;
}

void TStationSlot::Write() {
    TFlasher& f = *flasher_;
    if (settings_.image) f.Schema().UseImage(*settings_.image);
    TSlotEvent attempt = Attempt("started");
    Set(TSlotState::writing);
    int tenths = 0;
    TUploadResult r = f.Upload([&](int done, double) {
        int percent = done * 100 / kImageBlocks;
        {
            std::lock_guard lock(viewMutex_);
            view_.percent = percent;
        }
        host_.Log(Place(), f.TakeLog());
        while (tenths < 9 && percent >= (tenths + 1) * 10) {
            TSlotEvent progress = attempt;
            progress.kind = "progress";
            progress.percent = ++tenths * 10;
            Tell(progress);
        }
    });
    host_.Log(Place(), f.TakeLog());
    attempt.blocks = r.outcome == TUpload::success ? kImageBlocks : r.blocks;
    attempt.seconds = r.seconds;
    TSlotState state = TSlotState::passed;
    switch (r.outcome) {
    case TUpload::success:
        attempt.kind = "passed";
        break;
    case TUpload::failed:
        attempt.kind = "failed";
        attempt.failure = FailureName(r.failure);
        attempt.message =
            FailureWords(r.failure, TFailureTeller::station, {r.reply, r.expected, "", ""});
        state = TSlotState::failed;
        break;
    case TUpload::interrupted:
        attempt.kind = "interrupted";
        attempt.failure = "interrupted";
        attempt.message = r.bytes == 0 ? "interrupted before the first block"
                                       : "interrupted in the middle of the transfer";
        state = TSlotState::interrupted;
        break;
    }
    // On disk before the slot takes its next device.
    host_.Record(Place(), attempt);
    {
        std::lock_guard lock(viewMutex_);
        view_.state = state;
        if (state == TSlotState::passed) {
            view_.percent = 100;
            ++view_.passed;
        } else if (state == TSlotState::failed) {
            ++view_.failed;
        }
    }
    Tell(attempt);
    puskAt_ = Clock::now();
    written_ = found_;
    // The port stays open, with nothing sent, while the device takes "PUSK"
    // and starts: a new session opened at once would purge the output that
    // may still hold it (a pseudo-terminal tells no queue that a close could
    // wait for). The slot then asks on new sessions.
    const auto quiet = Clock::now() + std::chrono::milliseconds(kStartQuietMs);
    while (host_.Taking() && Clock::now() < quiet)
        std::this_thread::sleep_for(
            std::min<Clock::duration>(quiet - Clock::now(), std::chrono::milliseconds(50)));
    flasher_.reset();
    phase_ = TPhase::done;
    passed_ = r.outcome == TUpload::success;
    quietSince_ = false;
}

void TStationSlot::Leave(const char* kind) {
    Tell({kind});
    phase_ = TPhase::empty;
    silent_ = 0;
    flasher_.reset();
    std::lock_guard lock(viewMutex_);
    if (!view_.device.empty()) {
        view_.lastState = view_.state;
        view_.lastDevice = view_.device;
        view_.lastVersion = view_.version;
    }
    view_.state = TSlotState::waiting;
    view_.device.clear();
    view_.version.clear();
}
