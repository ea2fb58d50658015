#include "device/UploadOutcome.h"

#include "device/Protocol.h"

#include <string_view>
#include <utility>

namespace {

// One row a failure: its name, and its words for each teller. In the
// words, {reply}, {expected}, {port} and {where} are the facts, {blocks}
// the image's block count, and {against} what the log holds a reply
// against: the CRC it should have matched, or no block yet.
struct TFailureRow {
    TUploadFailure failure;
    const char* name;
    const char* commandLine;
    const char* station;
    const char* log;
};

constexpr TFailureRow kRows[] = {
    {TUploadFailure::unexpected_reply, "unexpected_reply",
     "unexpected reply {reply} (expected CRC {expected})",
     "unexpected reply {reply} (expected CRC {expected})",
     "failed at {where}: reply {reply} {against}"},
    {TUploadFailure::silence, "silence", "the device stopped answering (no reply for 2 to 3 s)",
     "the device stopped answering",
     // The watchdog counts whole seconds from a tick that may come at any
     // moment after the last reply.
     "failed at {where}: no reply for 2 to 3 s"},
    {TUploadFailure::line_lost, "line_lost",
     "the line to {port} was lost (the adapter was unplugged or the device went away); plug it "
     "in again",
     "the line was lost", "failed: the line was lost (a hang-up, or the adapter went away)"},
    {TUploadFailure::start_lost, "start_not_sent",
     "all {blocks} blocks were acknowledged, but the start command \"PUSK\" did not reach the "
     "device (the port closed under it); the new firmware was not started",
     "the start command \"PUSK\" did not reach the device",
     "failed after the final acknowledgement: the start command \"PUSK\" did not reach the "
     "device (the port closed under it)"},
};

const TFailureRow* RowOf(TUploadFailure failure) {
    for (const TFailureRow& row : kRows)
        if (row.failure == failure) return &row;
    return nullptr;
}

std::string Fill(const char* words, const TFailureFacts& facts) {
    const std::string against = facts.expected.empty() ? std::string("before any block")
                                                       : "does not match the CRC " + facts.expected;
    const std::pair<const char*, std::string> fields[] = {
        {"{reply}", facts.reply}, {"{expected}", facts.expected},
        {"{port}", facts.port},   {"{where}", facts.where},
        {"{against}", against},   {"{blocks}", std::to_string(kImageBlocks)},
    };
    std::string text;
    for (const char* at = words; *at;) {
        bool filled = false;
        if (*at == '{') {
            for (const auto& [key, value] : fields) {
                std::string_view k(key);
                if (std::string_view(at).substr(0, k.size()) == k) {
                    text += value;
                    at += k.size();
                    filled = true;
                    break;
                }
            }
        }
        if (!filled) text += *at++;
    }
    return text;
}

} // namespace

TFailureSeen DecodeFailure(uint8_t type, const std::string& text) {
    TFailureSeen seen;
    if (type == data_int)
        seen.failure = TUploadFailure::silence;
    else if (text == kStartCommand)
        seen.failure = TUploadFailure::start_lost;
    else
        seen.reply = text;
    return seen;
}

TFailureSeen DecodeFailure(const TData& value) {
    TData plain = value; // as a handler sees it: no forward mark
    plain.type = uint8_t(plain.type & ~data_forward);
    return DecodeFailure(plain.type, ToString(plain));
}

const char* FailureName(TUploadFailure failure) {
    const TFailureRow* row = RowOf(failure);
    return row ? row->name : "";
}

std::string FailureWords(TUploadFailure failure, TFailureTeller teller,
                         const TFailureFacts& facts) {
    const TFailureRow* row = RowOf(failure);
    if (!row) return "";
    switch (teller) {
    case TFailureTeller::command_line:
        return Fill(row->commandLine, facts);
    case TFailureTeller::station:
        return Fill(row->station, facts);
    case TFailureTeller::log:
        return Fill(row->log, facts);
    }
    return "";
}
