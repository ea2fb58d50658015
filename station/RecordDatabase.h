// The line's database as a record store. An attempt is kept when it is in
// the spool (on disk); a sender thread of its own inserts the spooled rows,
// oldest first, one transaction each, and retries with back-off while the
// network or the database is away. The station writes devices meanwhile,
// until the spool holds its limit.
#pragma once

#include "platform/Odbc.h"
#include "station/RecordSpool.h"
#include "station/RecordStore.h"

#include <condition_variable>
#include <mutex>
#include <thread>

class TRecordDatabase : public TRecordStore {
public:
    explicit TRecordDatabase(TRecordStoreSettings settings);
    ~TRecordDatabase() override;

    // Takes the spool, connects, makes the table when missing, and sends
    // what an earlier run left in the spool. A connection string, user or
    // password that does not work is told here.
    bool Open(std::string& error) override;
    bool Add(const TAttemptRecord& record, std::string& error) override;
    TStoreState State() const override;
    bool HasRoom(std::string& why) const override;
    std::string Close(int waitMs) override;

private:
    void Send();
    // Connects, or sends the oldest row; false when the database is away.
    bool Step();
    void Lost(const TOdbcError& error);

    TRecordStoreSettings settings_;
    std::string connection_; // with the password
    TOdbcConnection db_;     // the sender's
    TRecordSpool spool_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    TStoreState state_;
    bool stop_ = false;
    std::thread sender_;
};
