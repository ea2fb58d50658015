// The upload's failure, typed: the one place that reads what the upload
// host's failure output carries (upload_failure in device/SessionPins.h),
// and the one table of each failure's name and English words. The window
// keeps its own texts; the command line, the station, the session log and
// the JSON results take theirs from here.
#pragma once

#include "runtime/TData.h"

#include <cstdint>
#include <string>

// Why an upload failed.
enum class TUploadFailure {
    unexpected_reply, // the device answered something other than the acknowledgement
    silence,          // the device fell silent for 3 s
    line_lost,        // the line hung up or the adapter went away
    start_lost,       // every block was acknowledged, but "PUSK" did not go out
};

// What the failure output carried, decoded.
struct TFailureSeen {
    TUploadFailure failure = TUploadFailure::unexpected_reply;
    std::string reply; // an unexpected reply as hexadecimal text
};

// The upload reports silence as an integer (the watchdog's count), a wrong
// reply as its hexadecimal text, and "PUSK" when the start command did not
// go out. `type` is the value's type (data_int, data_str, ...), `text` its
// text.
TFailureSeen DecodeFailure(uint8_t type, const std::string& text);
TFailureSeen DecodeFailure(const TData& value);

// Who tells the failure: each has its own words for it.
enum class TFailureTeller { command_line, station, log };

// What a failure's words may name.
struct TFailureFacts {
    std::string reply;    // {reply}: the unexpected reply, hexadecimal
    std::string expected; // {expected}: the CRC it should have carried
    std::string port;     // {port}: the port's name
    std::string where;    // {where}: the block it failed at, for the log
};

// The failure's name in JSON results, events and records.
const char* FailureName(TUploadFailure failure);
// The failure in `teller`'s words, with the facts filled in.
std::string FailureWords(TUploadFailure failure, TFailureTeller teller,
                         const TFailureFacts& facts = {});
