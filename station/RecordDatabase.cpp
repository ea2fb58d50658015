#include "station/RecordDatabase.h"

#include "station/AttemptTable.h"
#include "station/DatabaseConnection.h"

#include <algorithm>
#include <chrono>

namespace {

// How long a login or a statement may take, and the back-off between tries
// while the database is away: doubled from the first to the last.
constexpr int kTimeoutSeconds = 10;
constexpr int kFirstRetryMs = 250;
constexpr int kLastRetryMs = 8000;
// The size past which a spool whose attempts are all sent is emptied.
constexpr unsigned long long kCompactBytes = 16ull << 20;

} // namespace

TRecordDatabase::TRecordDatabase(TRecordStoreSettings settings)
    : settings_(std::move(settings)),
      connection_(WithPassword(settings_.target.substr(std::string(kDatabasePrefix).size()),
                               settings_.password)) {
    state_.database = true;
}

TRecordDatabase::~TRecordDatabase() {
    Close(0);
}

void TRecordDatabase::Lost(const TOdbcError& error) {
    db_.Disconnect();
    const std::string problem =
        Masked(error.message, settings_.password) + " (" + error.state + ")";
    bool told;
    {
        std::lock_guard lock(mutex_);
        told = !state_.reachable;
        state_.reachable = false;
        state_.problem = problem;
    }
    if (!told && onChange) onChange("database-lost", problem);
}

bool TRecordDatabase::Open(std::string& error) {
    if (!spool_.Open(settings_.spool, error)) return false;
    TOdbcError e;
    if (!db_.Connect(connection_, kTimeoutSeconds, e) || !EnsureAttemptTable(db_, e)) {
        error = "the database cannot be used: " + Masked(e.message, settings_.password) + " (" +
                e.state + ")";
        return false;
    }
    // What an earlier run left is sent before any new attempt.
    while (!spool_.Unsent().empty()) {
        if (!InsertAttempt(db_, spool_.Unsent().front(), e) ||
            !spool_.MarkSent(spool_.Unsent().front().id, error)) {
            if (error.empty())
                error = "the spool's attempts cannot be sent: " +
                        Masked(e.message, settings_.password) + " (" + e.state + ")";
            return false;
        }
    }
    spool_.Compact();
    sender_ = std::thread([this] { Send(); });
    return true;
}

bool TRecordDatabase::Add(const TAttemptRecord& record, std::string& error) {
    {
        std::lock_guard lock(mutex_);
        if (!spool_.Append(record, error)) return false;
        state_.waiting = (long long)spool_.Unsent().size();
    }
    wake_.notify_all();
    return true;
}

TStoreState TRecordDatabase::State() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool TRecordDatabase::HasRoom(std::string& why) const {
    std::lock_guard lock(mutex_);
    if (state_.waiting < settings_.spoolLimit) return true;
    why = "the spool holds " + std::to_string(state_.waiting) +
          " attempts not yet in the database (its limit): devices wait until it is reachable";
    return false;
}

bool TRecordDatabase::Step() {
    TOdbcError error;
    if (!db_.Connected()) {
        if (!db_.Connect(connection_, kTimeoutSeconds, error)) {
            Lost(error);
            return false;
        }
    }
    TAttemptRecord oldest;
    {
        std::lock_guard lock(mutex_);
        if (spool_.Unsent().empty()) return true;
        oldest = spool_.Unsent().front();
    }
    if (!InsertAttempt(db_, oldest, error)) {
        Lost(error);
        return false;
    }
    bool back;
    std::string spoolError;
    {
        std::lock_guard lock(mutex_);
        back = !state_.reachable;
        state_.reachable = true;
        state_.problem.clear();
        // A note that cannot be made only sends the row again later.
        spool_.MarkSent(oldest.id, spoolError);
        spool_.Compact(kCompactBytes);
        state_.waiting = (long long)spool_.Unsent().size();
    }
    if (back && onChange) onChange("database-back", "");
    return true;
}

void TRecordDatabase::Send() {
    int retryMs = kFirstRetryMs;
    std::unique_lock lock(mutex_);
    while (!stop_) {
        if (spool_.Unsent().empty()) {
            wake_.wait(lock, [&] { return stop_ || !spool_.Unsent().empty(); });
            continue;
        }
        lock.unlock();
        const bool sent = Step();
        lock.lock();
        if (sent) {
            retryMs = kFirstRetryMs;
            continue;
        }
        wake_.wait_for(lock, std::chrono::milliseconds(retryMs), [&] { return stop_; });
        retryMs = std::min(retryMs * 2, kLastRetryMs);
    }
}

std::string TRecordDatabase::Close(int waitMs) {
    if (!sender_.joinable()) return {};
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    {
        std::unique_lock lock(mutex_);
        while (!spool_.Unsent().empty() && std::chrono::steady_clock::now() < until)
            wake_.wait_for(lock, std::chrono::milliseconds(50));
        stop_ = true;
    }
    wake_.notify_all();
    sender_.join();
    std::lock_guard lock(mutex_);
    if (spool_.Unsent().empty()) return {};
    return std::to_string(spool_.Unsent().size()) + " attempts wait in the spool " + spool_.Path() +
           ": they are sent at the station's next start";
}
