// The window-less stand-ins for the window's visual elements that the console
// schema wires in their place: recorders of what the window would show, the
// hidden CRC field, a count of the image bytes written, and taps that watch
// the port's bursts and opens.
#pragma once

#include "runtime/Share.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Records every value it receives, from any thread, and tells a listener
// (set before the schema is first driven) once the value is recorded; hosts wait on it.
class Recording : public TQeElement {
public:
    std::function<void(const std::string&)> listener;

    void inEvent(TData& d, uint16_t) {
        std::string value = ToString(d);
        {
            std::lock_guard lock(mutex_);
            values_.push_back(value);
            lastType_ = uint8_t(d.type & ~data_forward);
            changed_.notify_all();
        }
        if (listener) listener(value);
    }
    // The type of the last value (data_int, data_str, ...).
    uint8_t LastType() const {
        std::lock_guard lock(mutex_);
        return lastType_;
    }
    std::vector<std::string> Values() const {
        std::lock_guard lock(mutex_);
        return values_;
    }
    std::size_t Count() const {
        std::lock_guard lock(mutex_);
        return values_.size();
    }
    std::string Last() const {
        std::lock_guard lock(mutex_);
        return values_.empty() ? std::string() : values_.back();
    }
    bool WaitFor(const std::function<bool(const std::vector<std::string>&)>& done,
                 int timeoutMs) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return done(values_); });
    }
    bool WaitForCount(std::size_t n, int timeoutMs) const {
        return WaitFor([n](const auto& v) { return v.size() >= n; }, timeoutMs);
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> values_;
    uint8_t lastType_ = data_null;
};

// The hidden CRC field: keeps the text it is given and answers pulls with it.
class TextField : public TQeElement {
public:
    explicit TextField(std::string text) : text_(std::move(text)) {}
    void inSetText(TData& d, uint16_t) {
        std::lock_guard lock(mutex_);
        text_ = ToString(d);
    }
    void valText(TData& d, uint16_t) {
        std::lock_guard lock(mutex_);
        SetString(d, text_);
    }
    std::string Text() const {
        std::lock_guard lock(mutex_);
        return text_;
    }

private:
    mutable std::mutex mutex_;
    std::string text_;
};

// Counts the bytes of the image the port has written: the image goes out one
// byte per write, so each completed one-byte write (onWrite with 1) is one.
class ImageByteCount : public TQeElement {
public:
    void inWritten(TData& d, uint16_t) {
        if (ToInteger(d) == 1) count_.fetch_add(1, std::memory_order_relaxed);
    }
    std::size_t Count() const { return count_.load(); }

private:
    std::atomic<std::size_t> count_{0};
};

// Passes each received burst (or each reply the probe parses) on and counts
// it once its whole chain has returned, so that hosts can wait for the end
// of its handling rather than for its first visible effect.
class BurstTap : public TQeElement {
public:
    TEventLink out;
    std::function<void()> listener; // told after each burst's chain (set before use)

    void inRead(TData& d, uint16_t) {
        entered_.fetch_add(1);
        Fire(out, d);
        {
            std::lock_guard lock(mutex_);
            ++handled_;
        }
        changed_.notify_all();
        if (listener) listener();
    }
    bool WaitHandled(std::size_t n, int timeoutMs) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return handled_ >= n; });
    }
    std::size_t Handled() const {
        std::lock_guard lock(mutex_);
        return handled_;
    }
    // Bursts that have come in, their chains ended or not.
    std::size_t Entered() const { return entered_.load(); }

private:
    std::atomic<std::size_t> entered_{0};
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::size_t handled_ = 0;
};

// Passes an event on after telling a listener (set before the schema is first driven)
// of its value: the port's open result, before the probe reacts to it.
class OpenTap : public TQeElement {
public:
    TEventLink out;
    std::function<void(int32_t)> listener;
    void inOpen(TData& d, uint16_t) {
        if (listener) listener(ToInteger(d));
        Fire(out, d);
    }
};
