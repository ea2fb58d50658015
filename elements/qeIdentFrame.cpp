#include "elements/qeIdentFrame.h"

#include "platform/MMTimer.h"
#include "platform/Text1251.h"

#include <algorithm>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// How often the held frames are looked at: the limit is kept within this.
constexpr uint32_t check_period_ms = 20;

// The frames that hold bytes, with the times their bytes go on regardless,
// looked at by one periodic platform timer. The timer runs while a frame is
// armed: a process may run many sessions, and platform timers are few (wine
// allows 16 multimedia timers a process). Lock order: a frame's judge_, its
// state_, then this watch's mutex; the tick holds none of them while it
// calls a frame.
class TLimitWatch {
public:
    // Enters the frame; false when no timer can be had.
    bool Arm(TQeIdentFrame* frame, Clock::time_point due) {
        std::lock_guard lock(m_);
        if (timer_ == 0)
            timer_ = MMTimerSetEvent(check_period_ms, 1, &Tick, this, mmtimer_periodic);
        if (timer_ == 0) return false;
        Remove(frame);
        armed_.emplace_back(frame, due);
        return true;
    }
    // Takes the frame out. Returns the timer to kill once the caller holds no
    // lock (its tick may be waiting for one), or 0.
    uint32_t Disarm(TQeIdentFrame* frame) {
        std::lock_guard lock(m_);
        Remove(frame);
        return TakeIdleTimer();
    }
    // Takes the frame out and waits until a tick has left it (unless this is
    // that tick's thread). Returns the timer to kill, as Disarm does.
    uint32_t Forget(TQeIdentFrame* frame) {
        uint32_t stale;
        {
            std::lock_guard lock(m_);
            Remove(frame);
            stale = TakeIdleTimer();
        }
        const std::thread::id self = std::this_thread::get_id();
        auto inCall = [&] {
            std::lock_guard lock(m_);
            return calling_ == frame && tickThread_ != self;
        };
        if (inCall()) {
            WaitForOtherThread([&] {
                while (inCall())
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            });
        }
        return stale;
    }

private:
    static void Tick(void* user) { static_cast<TLimitWatch*>(user)->Check(); }

    // Passes on what each frame due holds, one frame at a time.
    void Check() {
        const Clock::time_point now = Clock::now();
        std::unique_lock lock(m_);
        if (ticking_) return; // an old timer's last tick overlaps a new one's
        ticking_ = true;
        tickThread_ = std::this_thread::get_id();
        std::vector<TQeIdentFrame*> due;
        for (const auto& [frame, at] : armed_)
            if (at <= now) due.push_back(frame);
        for (TQeIdentFrame* frame : due) {
            if (!Armed(frame)) continue; // passed on or forgotten meanwhile
            calling_ = frame;
            lock.unlock();
            frame->Expire(now);
            lock.lock();
            calling_ = nullptr;
        }
        ticking_ = false;
        tickThread_ = {};
    }

    bool Armed(TQeIdentFrame* frame) const {
        return std::any_of(armed_.begin(), armed_.end(),
                           [frame](const auto& entry) { return entry.first == frame; });
    }
    void Remove(TQeIdentFrame* frame) {
        armed_.erase(std::remove_if(armed_.begin(), armed_.end(),
                                    [frame](const auto& entry) { return entry.first == frame; }),
                     armed_.end());
    }
    uint32_t TakeIdleTimer() {
        if (!armed_.empty()) return 0;
        return std::exchange(timer_, 0u);
    }

    std::mutex m_;
    std::vector<std::pair<TQeIdentFrame*, Clock::time_point>> armed_;
    uint32_t timer_ = 0;
    TQeIdentFrame* calling_ = nullptr; // the frame a tick is passing on
    std::thread::id tickThread_;
    bool ticking_ = false;
};

// Never destroyed: a tick may still run while the process exits.
TLimitWatch& Watch() {
    static TLimitWatch* watch = new TLimitWatch;
    return *watch;
}

void Kill(uint32_t timer) {
    if (timer != 0) MMTimerKillEvent(timer);
}

} // namespace

TQeIdentFrame::~TQeIdentFrame() {
    Halt();
}

void TQeIdentFrame::Halt() {
    Kill(Watch().Forget(this));
}

bool TQeIdentFrame::Incomplete(const std::string& bytes) const {
    if (bytes.empty() || Delimiter.empty()) return false;
    auto fold = [this](std::string_view s) {
        return IgnoreCase == 1 ? AnsiLowerCase1251(s) : std::string(s);
    };
    // Bytes that are not the start of the signature and its delimiter can
    // never become a reply.
    const std::string head = fold(Signature + Delimiter);
    const std::size_t n = std::min(head.size(), bytes.size());
    if (fold(std::string_view(bytes).substr(0, n)) != std::string_view(head).substr(0, n))
        return false;
    int32_t found = 0;
    for (std::size_t at = bytes.find(Delimiter); at != std::string::npos && found < Delimiters;
         at = bytes.find(Delimiter, at + Delimiter.size()))
        ++found;
    return found < Delimiters;
}

void TQeIdentFrame::inAdd(TData& d, uint16_t) {
    uint32_t stale = 0;
    {
        // The reply goes on under judge_, so that a reply passed on by the
        // timer and the next burst are parsed one after the other.
        std::lock_guard judging(judge_);
        std::string frame;
        {
            std::lock_guard lock(state_);
            const bool first = held_.empty();
            silent_ = false;
            held_ += ToString(d);
            if (WaitLimit > 0 && Incomplete(held_)) {
                if (!first) return;
                due_ = Clock::now() + std::chrono::milliseconds(WaitLimit);
                if (Watch().Arm(this, due_)) return; // wait for the rest
            }
            frame.swap(held_);
            stale = Watch().Disarm(this);
        }
        FireString(onFrame, std::move(frame));
    }
    Kill(stale);
}

void TQeIdentFrame::inClear(TData&, uint16_t) {
    uint32_t stale;
    {
        std::lock_guard lock(state_);
        held_.clear();
        silent_ = false;
        stale = Watch().Disarm(this);
    }
    Kill(stale);
}

void TQeIdentFrame::inRequest(TData&, uint16_t) {
    if (SilenceLimit <= 0) return;
    std::lock_guard lock(state_);
    if (!held_.empty()) return; // bytes are coming already
    due_ = Clock::now() + std::chrono::milliseconds(SilenceLimit);
    silent_ = Watch().Arm(this, due_);
}

// Runs on the timer's thread.
void TQeIdentFrame::Expire(Clock::time_point now) {
    uint32_t stale = 0;
    {
        std::lock_guard judging(judge_);
        std::string frame;
        bool silence = false;
        {
            std::lock_guard lock(state_);
            if ((held_.empty() && !silent_) || now < due_) return;
            silence = silent_;
            silent_ = false;
            frame.swap(held_);
            stale = Watch().Disarm(this);
        }
        if (silence)
            FireNull(onSilence);
        else
            FireString(onFrame, std::move(frame));
    }
    Kill(stale);
}
