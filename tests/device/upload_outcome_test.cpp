// The upload's failure output decoded into a typed failure, and the one table
// of each failure's name and words.
#include "device/UploadOutcome.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const TUploadFailure kAll[] = {TUploadFailure::unexpected_reply, TUploadFailure::silence,
                               TUploadFailure::line_lost, TUploadFailure::start_lost};

TData Value(uint8_t type, const std::string& text) {
    TData d;
    if (type == data_int)
        SetInteger(d, std::stoi(text));
    else
        SetString(d, text);
    return d;
}

} // namespace

TEST(UploadOutcome, DecodesWhatTheFailureOutputCarries) {
    // The watchdog's count: silence, whatever the count.
    EXPECT_EQ(DecodeFailure(Value(data_int, "3")).failure, TUploadFailure::silence);
    EXPECT_EQ(DecodeFailure(data_int, "3").failure, TUploadFailure::silence);
    // The start command's text: it did not go out.
    TFailureSeen start = DecodeFailure(Value(data_str, "PUSK"));
    EXPECT_EQ(start.failure, TUploadFailure::start_lost);
    EXPECT_EQ(start.reply, "");
    // Any other text is the reply that did not match, kept as it came.
    TFailureSeen reply = DecodeFailure(Value(data_str, "1234535A"));
    EXPECT_EQ(reply.failure, TUploadFailure::unexpected_reply);
    EXPECT_EQ(reply.reply, "1234535A");
    // The integer 3 is no reply text, even though it reads as "3".
    EXPECT_EQ(DecodeFailure(data_str, "3").failure, TUploadFailure::unexpected_reply);
}

TEST(UploadOutcome, ForwardedValuesDecodeAsTheirType) {
    TData d = Value(data_int, "3");
    d.type |= data_forward;
    EXPECT_EQ(DecodeFailure(d).failure, TUploadFailure::silence);
    TData s = Value(data_str, "PUSK");
    s.type |= data_forward;
    EXPECT_EQ(DecodeFailure(s).failure, TUploadFailure::start_lost);
}

TEST(UploadOutcome, EveryFailureHasItsOwnNameAndWordsForEveryTeller) {
    std::set<std::string> names;
    for (TUploadFailure f : kAll) {
        names.insert(FailureName(f));
        for (TFailureTeller t :
             {TFailureTeller::command_line, TFailureTeller::station, TFailureTeller::log}) {
            std::string words = FailureWords(f, t, {"AB", "CD", "COM3", "block 2"});
            EXPECT_FALSE(words.empty());
            EXPECT_EQ(words.find('{'), std::string::npos) << words; // every field filled
        }
    }
    EXPECT_EQ(names, (std::set<std::string>{"unexpected_reply", "silence", "line_lost",
                                            "start_not_sent"}));
}

TEST(UploadOutcome, WordsNameTheFacts) {
    TFailureFacts facts{"0102", "ABCD", "COM7", "block 12"};
    EXPECT_EQ(FailureWords(TUploadFailure::unexpected_reply, TFailureTeller::station, facts),
              "unexpected reply 0102 (expected CRC ABCD)");
    EXPECT_EQ(FailureWords(TUploadFailure::line_lost, TFailureTeller::command_line, facts),
              "the line to COM7 was lost (the adapter was unplugged or the device went away); "
              "plug it in again");
    EXPECT_EQ(FailureWords(TUploadFailure::silence, TFailureTeller::log, facts),
              "failed at block 12: no reply for 2 to 3 s");
    EXPECT_EQ(FailureWords(TUploadFailure::start_lost, TFailureTeller::command_line, facts)
                  .rfind("all 508 blocks were acknowledged", 0),
              0u);
}

TEST(UploadOutcome, TheLogHoldsAReplyAgainstItsCrcOrNoBlock) {
    EXPECT_EQ(FailureWords(TUploadFailure::unexpected_reply, TFailureTeller::log,
                           {"0102", "ABCD", "", "block 3"}),
              "failed at block 3: reply 0102 does not match the CRC ABCD");
    EXPECT_EQ(FailureWords(TUploadFailure::unexpected_reply, TFailureTeller::log,
                           {"0102", "", "", "before block 1"}),
              "failed at before block 1: reply 0102 before any block");
}
