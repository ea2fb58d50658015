// A window-less stand-in for the main window: the real serial port element,
// probe and upload sub-schemas, wired like the program's window, with
// recording elements in place of the visual ones.
#pragma once

#include "app/TClassMultiElementEx_25A8C60.h"
#include "app/TClassMultiElementEx_25A91E0.h"
#include "runtime/MultiElementEx.h"
#include "runtime/Share.h"
#include "runtime/qeCommutator.h"
#include "runtime/qeEventFromData.h"
#include "runtime/qeHub.h"
#include "serial/qeComAsync.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// Records every value it receives, from any thread; tests wait on it.
class Recording : public TQeElement {
public:
    void inEvent(TData& d, uint16_t) {
        std::lock_guard lock(mutex_);
        values_.push_back(ToString(d));
        changed_.notify_all();
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

// Sits in front of the port's write input and counts the writes by size.
class WriteTap : public TQeElement {
public:
    TEventLink out;
    void inWrite(TData& d, uint16_t) {
        {
            std::lock_guard lock(mutex_);
            std::string s = ToString(d);
            if (s.size() == 1)
                ++singleBytes_;
            else
                others_.push_back(s);
        }
        Fire(out, d);
    }
    std::size_t SingleByteWrites() const {
        std::lock_guard lock(mutex_);
        return singleBytes_;
    }
    std::vector<std::string> OtherWrites() const {
        std::lock_guard lock(mutex_);
        return others_;
    }

private:
    mutable std::mutex mutex_;
    std::size_t singleBytes_ = 0;
    std::vector<std::string> others_;
};

// Passes each received burst on and counts it once its whole chain has
// returned, so that tests can wait for the end of a burst's handling rather
// than for its first visible effect.
class BurstTap : public TQeElement {
public:
    TEventLink out;
    void inRead(TData& d, uint16_t) {
        Fire(out, d);
        {
            std::lock_guard lock(mutex_);
            ++handled_;
        }
        changed_.notify_all();
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

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::size_t handled_ = 0;
};

class UploadHarness : public TSchema {
public:
    UploadHarness();
    ~UploadHarness() override;

    // What the port list's selection does.
    void ChoosePort(const std::string& name);
    // What a click on the write button does (on the calling thread).
    void ClickWrite();
    // What closing the window does.
    void Close();

    TQeHub* PortWriteHub;
    WriteTap* Writes;
    TQeMultiElementEx* ProbeHost;
    TQeMultiElementEx* UploadHost;
    TQeCommutator* RxSwitch;
    TQeComAsync* SerialPort;
    BurstTap* Bursts;
    TQeEventFromData* SelectedPort;
    TQeHub* PortSelectHub;
    TQeHub* ClosePortHub;
    Recording* Status;
    Recording* DeviceFound;
    Recording* Progress;
    Recording* Success;
    Recording* Failure;
    TextField* CrcEdit;

    TClassMultiElementEx_25A91E0* Upload() const;
};
