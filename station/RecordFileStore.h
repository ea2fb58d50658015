// The record file: every attempt appended as one JSON line under the file's
// lock, so that stations can share a file in a shared folder.
#pragma once

#include "station/RecordStore.h"

class TRecordFileStore : public TRecordStore {
public:
    explicit TRecordFileStore(std::string path) : path_(std::move(path)) {}
    bool Open(std::string& error) override;
    bool Add(const TAttemptRecord& record, std::string& error) override;

private:
    std::string path_;
};
