#include "station/RecordStore.h"

#include "station/DatabaseConnection.h"
#include "station/RecordDatabase.h"
#include "station/RecordFileStore.h"

bool IsDatabaseTarget(const std::string& target) {
    return target.rfind(kDatabasePrefix, 0) == 0;
}

std::unique_ptr<TRecordStore> MakeRecordStore(const TRecordStoreSettings& settings) {
    if (IsDatabaseTarget(settings.target)) return std::make_unique<TRecordDatabase>(settings);
    return std::make_unique<TRecordFileStore>(settings.target);
}
