#include "station/RecordFileStore.h"

#include "platform/RecordFile.h"

bool TRecordFileStore::Open(std::string& error) {
    return AppendRecordLine(path_, "", error);
}

bool TRecordFileStore::Add(const TAttemptRecord& record, std::string& error) {
    return AppendRecordLine(path_, RecordLine(record) + "\n", error);
}
