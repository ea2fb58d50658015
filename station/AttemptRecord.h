// One attempt of a station as it is kept: a line of a record file or a
// spool (JSON), or a row of a line's database. Plain data, one field per
// column; what is absent is empty.
#pragma once

#include <string>

struct TAttemptRecord {
    std::string id;         // made by the station: a random UUID, the row's key
    std::string start, end; // ISO 8601 UTC
    std::string host;       // the station's machine
    std::string slot, port; // the slot's place and its port's name
    std::string usb;        // the adapter's serial, where it has one
    std::string device, version;
    std::string image, imageSha256;
    std::string result;   // passed, failed, interrupted, wrong-device, returned, not-written
    std::string failure;  // failed: why, in a word
    std::string message;  // in words
    long long blocks = 0; // blocks written whole
    double seconds = 0;   // the upload's seconds
    std::string tag;      // the operator's, a batch's
};

// A new random id, as a UUID (version 4): 36 characters.
std::string NewRecordId();

// The record's line (without its line end).
std::string RecordLine(const TAttemptRecord& record);

// Reads a line back; false when it is no record (torn or foreign).
bool ParseRecordLine(const std::string& line, TAttemptRecord& record);
