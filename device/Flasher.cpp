#include "device/Flasher.h"

#include "platform/Text1251.h"
#include "serial/qeComAsync.h"

#include <algorithm>
#include <initializer_list>
#include <thread>

TFlasher::TFlasher(TInterruptWatch& watch) : watch_(watch) {
    schema_.Opened->listener = [this](int32_t port) { openResult_ = port; };
    schema_.Bursts->listener = [this] { Wake(); };
    schema_.Replies->listener = [this] { Wake(); };
    // Lines are only queued where they are made (often the reader thread);
    // the host writes them out from its own thread.
    schema_.Log->sink = [this](const std::string& line) {
        std::lock_guard lock(logMutex_);
        log_.push_back(line);
    };
    schema_.Progress->listener = [this](const std::string& count) {
        int n = std::atoi(count.c_str());
        if (n >= 0 && n <= kImageBlocks)
            ackTicks_[std::size_t(n)] = Clock::now().time_since_epoch().count();
        progress_ = n;
    };
    // The outcome guard lets only one of the two through. The times are
    // stored before the end is announced, so the main thread finds them.
    auto end = [this](const std::string&) {
        if (ended_.load()) return;
        auto now = Clock::now().time_since_epoch().count();
        endTicks_ = now;
        if (schema_.Success->Count() > 0) // the final acknowledgement counts the last block
            ackTicks_[std::size_t(std::min(progress_.load() + 1, kImageBlocks))] = now;
        if (ended_.exchange(true)) return;
        Wake();
    };
    schema_.Success->listener = end;
    schema_.Failure->listener = end;
}

TFlasher::~TFlasher() {
    Close();
}

bool TFlasher::Wait(int timeoutMs) {
    // An interrupt wakes the process's watch only, so it is looked for at
    // least every 20 ms.
    constexpr int slice_ms = 20;
    std::unique_lock lock(wakeMutex_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    while (!woken_ && !Interrupted()) {
        auto now = Clock::now();
        if (now >= deadline) break;
        wakeup_.wait_for(
            lock, std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(slice_ms)));
    }
    woken_ = false;
    return Interrupted();
}

bool TFlasher::LineLost() {
    return schema_.Session.SerialPort->LineLost();
}

bool TFlasher::Listen(int timeoutMs, const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || Wait(int(left.count()) + 1)) return done();
    }
    return true;
}

void TFlasher::Wake() {
    {
        std::lock_guard lock(wakeMutex_);
        woken_ = true;
    }
    wakeup_.notify_all();
}

std::vector<std::string> TFlasher::TakeLog() {
    std::lock_guard lock(logMutex_);
    std::vector<std::string> lines;
    lines.swap(log_);
    return lines;
}

TIdentifyResult TFlasher::Identify(const std::string& comName, int timeoutMs) {
    TIdentifyResult result;
    schema_.ChoosePort(comName); // opens the port and sends "VERS" on this thread
    if (openResult_.load() <= 0) {
        result.outcome = TIdentify::open_failed;
        return result;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    // The first reply decides; its whole chain has run once it is counted.
    while (schema_.Replies->Handled() == 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return result; // no answer
        if (Wait(int(left.count()) + 1)) {
            result.outcome = TIdentify::interrupted;
            return result;
        }
    }
    if (schema_.DeviceFound->Count() == 0) {
        result.outcome = TIdentify::not_bootloader;
        return result;
    }
    result.outcome = TIdentify::found;
    result.device = schema_.Device();
    result.version = schema_.Version();
    return result;
}

double TFlasher::SecondsAt(int blocks) const {
    Clock::rep at = ackTicks_[std::size_t(std::clamp(blocks, 0, kImageBlocks))].load();
    return std::chrono::duration<double>(Clock::time_point(Clock::duration(at)) - start_).count();
}

TUploadResult TFlasher::Upload(const std::function<void(int, double)>& show) {
    TUploadResult result;
    const auto start = Clock::now();
    start_ = start;
    ackTicks_[0] = start.time_since_epoch().count();
    auto elapsed = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    constexpr auto redraw = std::chrono::milliseconds(100);
    // This thread waits in short slices, as the window's event loop does:
    // on a loaded machine a process whose every thread sleeps through the
    // upload was measured answering acknowledgements later (paced at 38462
    // baud, about 1.5 % of the upload's time, 1 ms a block; on a quiet
    // machine no difference). The slices cost some 200 wake-ups a second.
    constexpr int slice_ms = 5;
    auto shown = start;
    // Stops the upload where it stands: no further block, the port
    // released. The first decided end wins: if the reader has just taken
    // the final acknowledgement (or a failure), this stop gives way, and
    // the loop waits for the reader to finish ("PUSK", then success).
    bool givenWay = false;
    auto stopped = [&](TUpload outcome, std::initializer_list<const char*> notes) {
        if (givenWay || !schema_.Stop()) {
            givenWay = true;
            return false;
        }
        for (const char* line : notes)
            Note(line);
        result.outcome = outcome;
        result.blocks = progress_.load();
        result.bytes = (long long)schema_.ImageBytes->Count();
        result.seconds = elapsed();
        return true;
    };
    // An interruption that came before the first image byte writes none.
    if (Interrupted() && stopped(TUpload::interrupted, {"outcome: interrupted"})) return result;
    schema_.ClickWrite(); // block 0 goes out on this thread; the reader sends the rest
    while (!ended_.load()) {
        auto next = shown + redraw;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now());
        int wait = std::clamp(int(left.count()) + 1, 1, slice_ms);
        if (givenWay) {
            // The reader is ending the run: an interrupt no longer cuts the wait short.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (Wait(wait) && stopped(TUpload::interrupted, {"outcome: interrupted"})) return result;
        // A lost line (a hang-up, an unplugged adapter) sends no reply:
        // there is no need to wait for the watchdog.
        if (schema_.Session.SerialPort->LineLost() && !ended_.load()) {
            result.failure = TUploadFailure::line_lost;
            const std::string lost = FailureWords(TUploadFailure::line_lost, TFailureTeller::log);
            if (stopped(TUpload::failed, {lost.c_str(), "outcome: failure"})) return result;
        }
        if (!ended_.load() && Clock::now() >= next) {
            shown = Clock::now();
            show(progress_.load(), elapsed());
        }
    }
    // A run that had failed before it could start ended before `start`.
    result.seconds = std::max(0.0, std::chrono::duration<double>(
                                       Clock::time_point(Clock::duration(endTicks_.load())) - start)
                                       .count());
    result.bytes = (long long)schema_.ImageBytes->Count();
    if (schema_.Success->Count() > 0) {
        result.outcome = TUpload::success;
        result.blocks = int((result.bytes + 255) / 256);
    } else {
        result.outcome = TUpload::failed;
        result.blocks = progress_.load();
        TFailureSeen seen = DecodeFailure(schema_.Failure->LastType(), schema_.Failure->Last());
        result.failure = seen.failure;
        result.reply = seen.reply;
        result.expected = schema_.CrcEdit->Text();
    }
    show(result.outcome == TUpload::success ? std::min(progress_.load() + 1, kImageBlocks)
                                            : result.blocks,
         result.seconds);
    return result;
}

void TFlasher::Close() {
    schema_.Close();
}
