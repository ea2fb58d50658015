#include "app/cli/StationSlot.h"

#include "app/cli/PortJobs.h"
#include "platform/Ports.h"
#include "platform/UsbInfo.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A device is gone after this many polls in a row without an answer.
constexpr int kPollsToLeave = 3;

std::string FailureText(const TUploadResult& r) {
    switch (r.failure) {
    case TUploadFailure::unexpected_reply:
        return "unexpected reply " + r.reply + " (expected CRC " + r.expected + ")";
    case TUploadFailure::silence:
        return "the device stopped answering";
    case TUploadFailure::line_lost:
        return "the line was lost";
    case TUploadFailure::start_lost:
        return "the start command \"PUSK\" did not reach the device";
    }
    return "";
}

} // namespace

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
    if (!here.located) return ResolvePort(here.port, device);
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
            Set(answer == TAnswer::gone ? TSlotState::missing : TSlotState::unavailable);
            continue;
        }
        if (missing) {
            missing = false;
            Tell({"back"});
            Set(TSlotState::waiting);
        }
        if (answer == TAnswer::none || (answer == TAnswer::other && phase_ != TPhase::leaving)) {
            answered_ = false;
            if (phase_ == TPhase::empty) {
                Set(answer == TAnswer::other ? TSlotState::not_bootloader : TSlotState::waiting);
            } else if (++silent_ >= kPollsToLeave) {
                Leave("left");
            }
            continue;
        }
        silent_ = 0;
        switch (phase_) {
        case TPhase::leaving:
            break; // still there
        case TPhase::empty: {
            TSlotEvent arrived{"arrived"};
            arrived.device = found_.device;
            arrived.version = found_.version;
            {
                std::lock_guard lock(viewMutex_);
                view_.device = found_.device;
                view_.version = found_.version;
                view_.percent = 0;
            }
            Tell(arrived);
            if (!settings_.expectDevice.empty() && found_.device != settings_.expectDevice) {
                TSlotEvent wrong = arrived;
                wrong.kind = "wrong-device";
                wrong.startTime = UtcNow();
                wrong.message = "expected " + settings_.expectDevice;
                host_.Record(Place(), wrong);
                {
                    std::lock_guard lock(viewMutex_);
                    ++view_.wrong;
                    view_.state = TSlotState::wrong_device;
                }
                Tell(wrong);
                flasher_->Hold(); // listened to until it leaves, never written
                phase_ = TPhase::leaving;
                break;
            }
            // Written at its next answer: a fresh session then hears that
            // answer, and the upload follows it at once.
            Set(TSlotState::arrived);
            phase_ = TPhase::seated;
            answered_ = true;
            flasher_.reset();
            break;
        }
        case TPhase::seated:
            if (answered_) {
                Write();
                phase_ = TPhase::leaving;
                answered_ = false;
            } else {
                // Back after a bounce: the next answer in a row starts it.
                answered_ = true;
                flasher_.reset();
            }
            break;
        }
    }
    flasher_.reset();
}

TStationSlot::TAnswer TStationSlot::Poll() {
    const auto next = Clock::now() + std::chrono::milliseconds(settings_.pollMs);
    // The rest of the poll's time, cut short when the station stops taking devices.
    auto rest = [&] {
        while (host_.Taking() && Clock::now() < next)
            std::this_thread::sleep_for(
                std::min<Clock::duration>(next - Clock::now(), std::chrono::milliseconds(50)));
    };
    if (!flasher_) {
        std::string device;
        if (!FindPort(device)) {
            rest();
            return TAnswer::gone;
        }
        const std::string port = Place().port;
        flasher_ = std::make_unique<TFlasher>(watch_);
        flasher_->StopOnlyAfter(2);
        if (phase_ == TPhase::leaving) flasher_->Hold();
        TIdentifyResult r = flasher_->Identify(port, settings_.pollMs);
        if (r.outcome == TIdentify::open_failed) {
            std::string note = OpenProblem(port);
            host_.Log(Place(), flasher_->TakeLog());
            flasher_.reset();
            {
                std::lock_guard lock(viewMutex_);
                view_.note = note;
            }
            rest();
            return ResolvePort(port, device) ? TAnswer::unavailable : TAnswer::gone;
        }
        rest();
        switch (r.outcome) {
        case TIdentify::found:
            found_ = r;
            return TAnswer::bootloader;
        case TIdentify::not_bootloader:
            return TAnswer::other;
        case TIdentify::interrupted:
            return TAnswer::interrupted;
        default:
            break;
        }
        if (flasher_->LineLost()) {
            flasher_.reset();
            return TAnswer::gone;
        }
        return TAnswer::none;
    }
    TFlasher& f = *flasher_;
    // Until the probe has found a device its judgement counts; after that
    // every burst is an answer (and the upload, settled, ignores it).
    const bool probing = !f.Identified();
    const std::size_t heard = f.Heard(), judged = f.Judged();
    f.Poll();
    bool answered = f.Listen(settings_.pollMs, [&] {
        return (probing ? f.Judged() > judged : f.Heard() > heard) || f.LineLost();
    });
    rest();
    if (f.LineLost()) {
        host_.Log(Place(), f.TakeLog());
        flasher_.reset();
        return TAnswer::gone;
    }
    if (!answered) return TAnswer::none;
    if (probing && f.Identified()) {
        found_.outcome = TIdentify::found;
        found_.device = f.Schema().Device();
        found_.version = f.Schema().Version();
        return TAnswer::bootloader;
    }
    return TAnswer::other;
}

void TStationSlot::Write() {
    TFlasher& f = *flasher_;
    if (settings_.image && !settings_.image->file.empty())
        f.Schema().UseImage(settings_.image->bytes);
    TSlotEvent attempt{"started"};
    attempt.device = found_.device;
    attempt.version = found_.version;
    attempt.startTime = UtcNow();
    Set(TSlotState::writing);
    Tell(attempt);
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
        attempt.message = FailureText(r);
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
    // A port that was closed under the upload is opened afresh to listen.
    if (r.outcome != TUpload::success &&
        (r.outcome == TUpload::interrupted || r.failure == TUploadFailure::line_lost ||
         r.failure == TUploadFailure::start_lost))
        flasher_.reset();
}

void TStationSlot::Leave(const char* kind) {
    Tell({kind});
    phase_ = TPhase::empty;
    silent_ = 0;
    answered_ = false;
    flasher_.reset();
    std::lock_guard lock(viewMutex_);
    view_.state = TSlotState::waiting;
    view_.device.clear();
    view_.version.clear();
}
