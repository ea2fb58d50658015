// A database store's spool: every attempt is appended to the spool file
// (flushed) before the slot takes its next device; the ids of those the
// database has committed are appended to a second file beside it
// ("<spool>.sent"). What the spool holds and the second file does not name
// is still to be sent, after a restart too. The spool keeps a run's
// attempts, a local copy that report reads too: both files are emptied once
// everything is sent, at a start or when the spool has grown past a size.
// One station holds a spool at a time ("<spool>.lock").
#pragma once

#include "platform/RecordFile.h"
#include "station/AttemptRecord.h"

#include <deque>
#include <string>

class TRecordSpool {
public:
    // Takes the spool and reads what it still holds; false with the reason.
    bool Open(const std::string& path, std::string& error);
    const std::string& Path() const { return path_; }
    // The attempts not yet sent, oldest first.
    std::deque<TAttemptRecord>& Unsent() { return unsent_; }
    bool Append(const TAttemptRecord& record, std::string& error);
    bool MarkSent(const std::string& id, std::string& error);
    // Empties both files when nothing is left unsent and the spool holds at
    // least `bytes`.
    void Compact(unsigned long long bytes = 0);

private:
    std::string path_;
    TFileHold hold_;
    std::deque<TAttemptRecord> unsent_;
};
