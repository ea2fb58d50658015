#include "tools/simulator/DeviceSimulator.h"

#include "platform/Resources.h"
#include "platform/ThreadPriority.h"
#include "testing/Crc16.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

const std::string kVers = "VERS";
// The bytes that tell the image's start from stray bytes taken as image data.
constexpr std::size_t kImageStart = 16;
const std::string kPusk = "PUSK";

} // namespace

DeviceSimulator::DeviceSimulator(SimConfig config) : config_(std::move(config)) {
    if (config_.baud > 0) lineTime_ = 10.0 / config_.baud;
}

DeviceSimulator::~DeviceSimulator() {
    Stop();
}

bool DeviceSimulator::Start(const std::string& portDirectory, int number, std::string& error) {
    auto line = std::make_unique<PortLine>();
    if (!line->port.Open(error) || !line->port.Register(portDirectory, number, error)) return false;
    port_ = &line->port;
    Start(std::move(line));
    return true;
}

void DeviceSimulator::Start(std::unique_ptr<SimLine> line) {
    line_ = std::move(line);
    thread_ = std::thread([this] { Run(); });
}

void DeviceSimulator::Stop() {
    stop_ = true;
    if (line_) line_->Wake();
    if (thread_.joinable()) thread_.join();
    if (port_) port_->Unregister();
}

SimReport DeviceSimulator::Report() const {
    std::lock_guard lock(mutex_);
    return report_;
}

std::vector<SimReport> DeviceSimulator::Seatings() const {
    std::lock_guard lock(mutex_);
    std::vector<SimReport> all = history_;
    if (dayState_ != DayState::empty) all.push_back(report_);
    return all;
}

bool DeviceSimulator::DayOver() const {
    std::lock_guard lock(mutex_);
    return !config_.day.empty() && seating_ + 1 == config_.day.size() &&
           dayState_ == DayState::empty;
}

const SimFaults& DeviceSimulator::Faults() const {
    return config_.day.empty() ? config_.faults : config_.day[seating_].faults;
}

std::string DeviceSimulator::Reply() const {
    if (config_.day.empty() || config_.day[seating_].reply.empty()) return config_.reply;
    return config_.day[seating_].reply;
}

bool DeviceSimulator::Unseated() const {
    std::lock_guard lock(mutex_);
    return !config_.day.empty() && (dayState_ == DayState::empty || Now() < bounceUntil_);
}

// Called with the lock held.
void DeviceSimulator::EndSeating() {
    if (dayState_ != DayState::seated) return;
    dayState_ = DayState::leaving;
    dayAt_ = Now() + config_.leaveMs * 1e-3;
}

void DeviceSimulator::NextOfDay() {
    std::lock_guard lock(mutex_);
    if (dayState_ == DayState::seated && config_.unwrittenLeaveMs >= 0 && answered_ &&
        !report_.imageBegun && Now() - firstAnswerAt_ >= config_.unwrittenLeaveMs * 1e-3)
        EndSeating();
    if (dayState_ == DayState::seated || Now() < dayAt_) return;
    if (dayState_ == DayState::leaving) {
        // Removed: what it saw is kept; the slot is empty for a while.
        history_.push_back(report_);
        dayState_ = DayState::empty;
        const int swap = seating_ + 1 < config_.day.size() && config_.day[seating_ + 1].swapMs >= 0
                             ? config_.day[seating_ + 1].swapMs
                             : config_.swapMs;
        dayAt_ = Now() + swap * 1e-3;
        changed_.notify_all();
        return;
    }
    if (seating_ + 1 >= config_.day.size()) return; // the day is over
    ++seating_;
    report_ = SimReport{};
    image_.clear();
    command_.clear();
    transferring_ = false;
    puskAt_ = 0;
    answered_ = false;
    versHeard_ = false;
    bounceUntil_ = 0;
    dayState_ = DayState::seated;
    changed_.notify_all();
}

bool ParseSimDay(const std::string& text, std::vector<SimSeating>& day) {
    day.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        SimSeating seat;
        std::string words = text.substr(start, end - start);
        std::size_t at = 0;
        while (at <= words.size()) {
            std::size_t comma = words.find(',', at);
            if (comma == std::string::npos) comma = words.size();
            std::string word = words.substr(at, comma - at);
            std::size_t eq = word.find('=');
            std::string key = word.substr(0, eq),
                        value = eq == std::string::npos ? "" : word.substr(eq + 1);
            if (word == "ok" || word.empty()) {
            } else if (word == "bounce") {
                seat.bounce = true;
            } else if (word == "stays") {
                seat.stays = true;
            } else if (word == "doubled") {
                seat.doubled = true;
            } else if (key == "other" || key == "reply") {
                seat.reply = value;
                seat.other = key == "other";
            } else if (key == "wrong-crc-at" || key == "silence-from" || key == "swap") {
                char* endp = nullptr;
                long k = std::strtol(value.c_str(), &endp, 10);
                if (value.empty() || *endp != 0 || k < 0) return false;
                (key == "wrong-crc-at"   ? seat.faults.wrongCrcAt
                 : key == "silence-from" ? seat.faults.silenceFrom
                                         : seat.swapMs) = int(k);
            } else {
                return false;
            }
            at = comma + 1;
        }
        day.push_back(seat);
        start = end + 1;
    }
    return !day.empty();
}

std::vector<uint8_t> DeviceSimulator::Received() const {
    std::lock_guard lock(mutex_);
    return image_;
}

bool DeviceSimulator::WaitFor(const std::function<bool(const SimReport&)>& done,
                              int timeoutMs) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return done(report_); });
}

void DeviceSimulator::Run() {
    // A device keeps its own time; on a busy machine the simulator should too.
    RaiseCurrentThreadPriority();
    uint8_t buffer[4096];
    const int reset = config_.resetAfterMs;
    double lastInput = Now();
    while (!stop_) {
        const int most = config_.day.empty() ? 100 : 20; // a day's steps are timed
        long n = line_->Read(buffer, sizeof buffer, reset >= 0 ? std::clamp(reset, 1, most) : most);
        if (n < 0) {
            std::lock_guard lock(mutex_);
            report_.lineLost = true;
            changed_.notify_all();
            break;
        }
        if (n == 0 && reset >= 0 && transferring_ && !report_.finalSent &&
            Now() - lastInput >= reset * 1e-3)
            ResetToStart();
        if (!config_.day.empty()) NextOfDay();
        if (n > 0 && Unseated()) continue; // nobody there to hear it
        if (n > 0) {
            lastInput = Now();
            // Bytes cannot arrive faster than the line carries them.
            const double arrived = line_->ArrivedAt();
            if (lineTime_ > 0)
                lineBusyUntil_ =
                    std::max(lineBusyUntil_, arrived > 0 ? arrived : Now()) + double(n) * lineTime_;
            OnBytes(buffer, std::size_t(n));
        }
        if (report_.hungUp) break;
        if (config_.restartAfterPuskMs >= 0 && puskAt_ > 0 &&
            Now() - puskAt_ >= config_.restartAfterPuskMs * 1e-3)
            ResetToStart();
    }
}

void DeviceSimulator::OnBytes(const uint8_t* data, std::size_t size) {
    // Waiters hear once per piece of input rather than once per byte.
    struct NotifyAtEnd {
        std::condition_variable& cv;
        ~NotifyAtEnd() { cv.notify_all(); }
    } notify{changed_};
    for (std::size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        std::unique_lock lock(mutex_);
        if (report_.finalSent || report_.hungUp) {
            report_.afterFinal.push_back(b);
            auto& tail = report_.afterFinal;
            if (tail.size() >= 4 && std::memcmp(tail.data() + tail.size() - 4, "PUSK", 4) == 0) {
                report_.pusk = true;
                if (puskAt_ == 0) puskAt_ = Now();
                if (!config_.day.empty() && dayState_ == DayState::seated) EndSeating();
            }
            if (tail.size() >= 4 && std::memcmp(tail.data() + tail.size() - 4, "VERS", 4) == 0 &&
                !config_.day.empty() && config_.day[seating_].stays && report_.pusk) {
                ++report_.versRequests;
                const std::string text = Reply();
                lock.unlock();
                Send(std::vector<uint8_t>(text.begin(), text.end()));
            }
            continue;
        }
        if (!transferring_ && config_.strict && versHeard_) {
            // A strict bootloader has answered: this byte starts the image.
            transferring_ = true;
            std::vector<uint8_t> pending;
            pending.swap(command_);
            pending.push_back(b);
            lock.unlock();
            OnBytes(pending.data(), pending.size());
            continue;
        }
        if (!transferring_) {
            // Before the transfer only "VERS" is understood; anything else
            // starts the image.
            command_.push_back(b);
            if (kVers.compare(0, command_.size(), std::string(command_.begin(), command_.end())) ==
                0) {
                if (command_.size() == kVers.size()) {
                    command_.clear();
                    versHeard_ = true;
                    ++report_.versRequests;
                    changed_.notify_all();
                    const bool doubled =
                        !config_.day.empty() && !answered_ && config_.day[seating_].doubled;
                    lock.unlock();
                    const std::string text = doubled ? Reply() + Reply() : Reply();
                    std::vector<uint8_t> reply(text.begin(), text.end());
                    WaitForLine();
                    if (config_.replyAfterMs > 0)
                        std::this_thread::sleep_for(
                            std::chrono::milliseconds(config_.replyAfterMs));
                    if (Faults().splitReplyAt > 0)
                        SendSplit(reply, std::size_t(Faults().splitReplyAt), config_.burstGapMs);
                    else
                        Send(reply);
                    lock.lock();
                    if (!config_.day.empty() && !answered_) {
                        answered_ = true;
                        firstAnswerAt_ = Now();
                        const SimSeating& seat = config_.day[seating_];
                        if (seat.bounce) bounceUntil_ = Now() + config_.bounceMs * 1e-3;
                        if (seat.other) EndSeating();
                    }
                    lock.unlock();
                }
                continue;
            }
            transferring_ = true;
            std::vector<uint8_t> pending;
            pending.swap(command_);
            lock.unlock();
            OnBytes(pending.data(), pending.size());
            continue;
        }
        image_.push_back(b);
        ++report_.imageBytes;
        report_.received = image_.size();
        if (image_.size() == kImageStart && !report_.imageBegun) {
            TResourceData image;
            report_.imageBegun = FindResourceData("STREAM0", rt_stream, image) &&
                                 image.size >= kImageStart &&
                                 std::memcmp(image.data, image_.data(), kImageStart) == 0;
        }
        report_.crc = Crc16Modbus(&b, 1, report_.crc);
        if (image_.size() > ImageSize) ++report_.beyondImage;
        if (image_.size() % BlockSize == 0) {
            int block = int(image_.size() / BlockSize) - 1;
            lock.unlock();
            changed_.notify_all(); // the answer may keep this thread a while
            OnBlockComplete(block);
        }
    }
}

void DeviceSimulator::OnBlockComplete(int block) {
    const SimFaults& f = Faults();
    uint16_t crc;
    {
        std::lock_guard lock(mutex_);
        crc = report_.crc;
        if (block == BlockCount - 1) {
            ++report_.wholeImages;
            TResourceData image;
            FindResourceData("STREAM0", rt_stream, image);
            report_.matchesImage =
                image.size == ImageSize && std::memcmp(image.data, image_.data(), ImageSize) == 0;
        }
    }
    if (block == f.hangupAt) {
        line_->HangUp();
        std::lock_guard lock(mutex_);
        report_.hungUp = true;
        changed_.notify_all();
        return;
    }
    if (f.silenceFrom >= 0 && block >= f.silenceFrom) {
        std::lock_guard lock(mutex_);
        if (block == f.silenceFrom && !config_.day.empty()) EndSeating();
        return;
    }
    if (block == f.wrongCrcAt) {
        crc ^= 0x5A5A;
        std::lock_guard lock(mutex_);
        ++report_.wrongCrcs;
        if (!config_.day.empty()) EndSeating();
    }
    if (block == f.strayBurstAt) {
        Send({0x55});
        std::this_thread::sleep_for(std::chrono::milliseconds(config_.burstGapMs));
    }
    if (block == f.lateAckAt) std::this_thread::sleep_for(std::chrono::milliseconds(f.lateAckMs));
    if (block == f.xoffAt) Send({0x13});
    std::vector<uint8_t> ack = {uint8_t(crc >> 8), uint8_t(crc & 0xFF)};
    bool final = block == BlockCount - 1 && !f.ordinaryLast;
    if (final) {
        ack.push_back('F');
        ack.push_back('Z');
    }
    if (block == f.strayAt) {
        ack.push_back(0x55);
        ack.push_back(0xAA);
    }
    WaitForLine();
    {
        std::lock_guard lock(mutex_);
        if (final)
            report_.finalSent = true;
        else
            ++report_.blocksAcknowledged;
        changed_.notify_all();
    }
    if (f.ackSplitMs >= 0)
        SendSplit(ack, ack.size() / 2, f.ackSplitMs);
    else if (block == f.splitAckAt)
        SendSplit(ack, ack.size() / 2, config_.burstGapMs);
    else
        Send(ack);
}

// Back at the bootloader's start: a silence in the middle of a transfer
// (its watchdog), or the time after "PUSK" (a device reset into it), which
// also ends the last session.
void DeviceSimulator::ResetToStart() {
    std::lock_guard lock(mutex_);
    transferring_ = false;
    versHeard_ = false;
    image_.clear();
    command_.clear();
    report_.received = 0;
    report_.crc = 0xFFFF;
    report_.beyondImage = 0;
    report_.blocksAcknowledged = 0;
    if (puskAt_ > 0) {
        puskAt_ = 0;
        report_.finalSent = false;
        report_.afterFinal.clear();
        ++report_.restarts;
    } else {
        ++report_.resets;
    }
    changed_.notify_all();
}

// A sleep ends late (by 0.1 to 0.6 ms on a virtual machine), and a paced
// line would lose that on every reply. So the device sleeps short by the
// lateness it has seen, then yields until the moment itself.
void DeviceSimulator::SleepUntil(double t) {
    const double wake = t - lateness_.load(std::memory_order_relaxed);
    const double now = Now();
    if (wake > now) {
        std::this_thread::sleep_for(std::chrono::duration<double>(wake - now));
        const double late = std::clamp(Now() - wake, 0.0, 0.002);
        lateness_.store(0.9 * lateness_.load(std::memory_order_relaxed) + 0.1 * late,
                        std::memory_order_relaxed);
    }
    while (Now() < t)
        std::this_thread::yield();
}

// Waits until every byte received so far has come in over the line.
void DeviceSimulator::WaitForLine() {
    if (lineTime_ > 0) SleepUntil(lineBusyUntil_);
}

// Sends a reply: as one burst, or dribbled byte by byte on a fixed grid.
void DeviceSimulator::Send(const std::vector<uint8_t>& bytes) {
    if (config_.dribbleUs <= 0) {
        SendBurst(bytes);
        return;
    }
    const double start = Now();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        SleepUntil(start + double(i) * config_.dribbleUs * 1e-6);
        SendBurst({bytes[i]});
    }
}

void DeviceSimulator::SendBurst(const std::vector<uint8_t>& bytes) {
    if (lineTime_ > 0) {
        // The reply reaches the other side once it has crossed the line.
        lineBusyUntil_ = std::max(lineBusyUntil_, Now()) + double(bytes.size()) * lineTime_;
        SleepUntil(lineBusyUntil_);
    }
    constexpr std::size_t adapter_packet = 62; // an FTDI chip's payload
    if (config_.holdMs > 0 && bytes.size() < adapter_packet) {
        const double period = config_.holdMs * 1e-3;
        SleepUntil(std::ceil(Now() / period) * period);
    }
    line_->Write(bytes.data(), bytes.size());
}

void DeviceSimulator::SendSplit(const std::vector<uint8_t>& bytes, std::size_t cut, int gapMs) {
    cut = std::min(cut, bytes.size());
    Send(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(cut)));
    std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
    Send(std::vector<uint8_t>(bytes.begin() + long(cut), bytes.end()));
}
