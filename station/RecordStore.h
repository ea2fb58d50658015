// Where a station keeps its attempts: a record file (one JSON line each), or
// a line's database through ODBC, fed from a local spool so that nothing is
// lost while the database is away.
#pragma once

#include "station/AttemptRecord.h"

#include <functional>
#include <memory>
#include <string>

// What the screen and the events tell of a store.
struct TStoreState {
    bool database = false; // a database store (the rest is for those)
    bool reachable = true; // as of the last contact
    long long waiting = 0; // attempts in the spool, not yet in the database
    std::string problem;   // why it is not reachable
};

class TRecordStore {
public:
    virtual ~TRecordStore() = default;
    // Made ready before the first device is taken; false with the reason.
    virtual bool Open(std::string& error) = 0;
    // Keeps one attempt, on disk before it returns; false with the reason.
    virtual bool Add(const TAttemptRecord& record, std::string& error) = 0;
    virtual TStoreState State() const { return {}; }
    // Whether another device may be written (the spool has room); why not.
    virtual bool HasRoom(std::string& why) const {
        (void)why;
        return true;
    }
    // At the end: hands on what it can within `waitMs`; what is left, in
    // words (empty when nothing is).
    virtual std::string Close(int waitMs) {
        (void)waitMs;
        return {};
    }
    // Told from the store's own thread when the database is lost
    // ("database-lost") or reachable again ("database-back").
    std::function<void(const std::string& event, const std::string& message)> onChange;
};

struct TRecordStoreSettings {
    std::string target;   // a file's path, or "odbc:" and a connection string
    std::string spool;    // the database store's spool file
    long long spoolLimit; // attempts the spool may hold before devices wait
    std::string password; // added to the connection string, never shown
};

// A store for `settings.target`: a database one for "odbc:...".
std::unique_ptr<TRecordStore> MakeRecordStore(const TRecordStoreSettings& settings);

// Whether a target names a database.
bool IsDatabaseTarget(const std::string& target);
