// A tap in front of a device session's write path, for tests and
// benchmarks: counts the writes by size, one-byte writes (the image) by count
// and longer ones ("VERS", "PUSK") by text.
#pragma once

#include "device/DeviceSession.h"
#include "runtime/Share.h"
#include "runtime/qeHub.h"

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class WriteTap : public TQeElement {
public:
    TEventLink out;
    void inWrite(TData& d, uint16_t) {
        if ((d.type & ~data_forward) == data_str && d.sdata.size() == 1) {
            singleBytes_.fetch_add(1, std::memory_order_relaxed);
        } else {
            std::lock_guard lock(mutex_);
            others_.push_back(ToString(d));
        }
        Fire(out, d);
    }
    std::size_t SingleByteWrites() const { return singleBytes_.load(); }
    std::vector<std::string> OtherWrites() const {
        std::lock_guard lock(mutex_);
        return others_;
    }

private:
    mutable std::mutex mutex_;
    std::atomic<std::size_t> singleBytes_{0};
    std::vector<std::string> others_;
};

// Adds a write tap to `schema` in front of its session's port write.
inline WriteTap* TapWrites(TSchema& schema, TDeviceSession& session) {
    auto* tap = schema.Add<WriteTap>();
    InsertTap<&WriteTap::inWrite>(session.PortWriteHub->onEvent[0], tap);
    return tap;
}
