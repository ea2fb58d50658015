// A station's records: passwords kept out of what is shown, the spool that
// keeps attempts until the database has them, and report's figures.
#include "station/DatabaseConnection.h"
#include "station/RecordFigures.h"
#include "station/RecordSpool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

std::string Folder() {
    auto dir =
        std::filesystem::temp_directory_path() /
        ("records_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir.string();
}

TAttemptRecord Attempt(const std::string& id, const std::string& slot, const std::string& result,
                       double seconds, const std::string& end = "2026-12-09T10:00:00.000Z") {
    TAttemptRecord r;
    r.id = id;
    r.end = end;
    r.host = "st1";
    r.slot = slot;
    r.result = result;
    r.failure = result == "failed" ? "silence" : "";
    r.seconds = seconds;
    return r;
}

} // namespace

TEST(Records, PasswordsAreNeverShown) {
    EXPECT_TRUE(HasPassword("DSN=line;UID=st;PWD=abc"));
    EXPECT_TRUE(HasPassword("Driver={x};password = {a;b}"));
    EXPECT_FALSE(HasPassword("DSN=line;UID=pwd"));
    EXPECT_EQ(MaskedConnection("DSN=line;PWD=abc;UID=st"), "DSN=line;PWD=***;UID=st");
    EXPECT_EQ(MaskedConnection("Pwd={a;}}b};UID=st"), "Pwd=***;UID=st");
    // A braced value keeps ";" and "}" as they are.
    const std::string with = WithPassword("DSN=line", "se;cr}et");
    EXPECT_EQ(with, "DSN=line;PWD={se;cr}}et};");
    EXPECT_EQ(MaskedConnection(with), "DSN=line;PWD=***;");
    EXPECT_EQ(Masked("login of se;cr}et refused", "se;cr}et"), "login of *** refused");
}

// What the database has not taken survives a restart, in order; a torn
// line is no attempt; one station holds a spool at a time; a spool whose
// attempts are all sent is emptied at the next start.
TEST(Records, TheSpoolKeepsWhatIsNotSent) {
    const std::string path = Folder() + "/spool.jsonl";
    {
        TRecordSpool spool;
        std::string error;
        ASSERT_TRUE(spool.Open(path, error)) << error;
        for (const char* id : {"a", "b", "c"})
            ASSERT_TRUE(spool.Append(Attempt(id, "S1", "passed", 1), error));
        ASSERT_TRUE(spool.MarkSent("a", error));
        TRecordSpool second;
        EXPECT_FALSE(second.Open(path, error));
        EXPECT_NE(error.find("--spool"), std::string::npos) << error;
    }
    std::ofstream(path, std::ios::app) << "{\"id\": \"d\", \"res";
    {
        TRecordSpool spool;
        std::string error;
        ASSERT_TRUE(spool.Open(path, error)) << error;
        ASSERT_EQ(spool.Unsent().size(), 2u);
        EXPECT_EQ(spool.Unsent()[0].id, "b");
        EXPECT_EQ(spool.Unsent()[1].id, "c");
        ASSERT_TRUE(spool.MarkSent("b", error));
        ASSERT_TRUE(spool.MarkSent("c", error));
    }
    TRecordSpool spool;
    std::string error;
    ASSERT_TRUE(spool.Open(path, error)) << error;
    EXPECT_TRUE(spool.Unsent().empty());
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

// Figures from files: an attempt in two files counts once, the bounds keep
// the records that ended in them, and medians take the middle two.
TEST(Records, FiguresOfFiles) {
    const std::string dir = Folder();
    auto write = [&](const std::string& name, std::vector<TAttemptRecord> records) {
        std::ofstream out(dir + "/" + name);
        for (auto& r : records)
            out << RecordLine(r) << "\n";
        return dir + "/" + name;
    };
    const std::string one =
        write("one", {Attempt("1", "S1", "passed", 2), Attempt("2", "S1", "passed", 4),
                      Attempt("3", "S1", "failed", 1)});
    const std::string two =
        write("two", {Attempt("2", "S1", "passed", 4), Attempt("4", "S1", "passed", 9),
                      Attempt("5", "S2", "passed", 1, "2026-12-10T00:00:00.000Z")});
    TRecordFigures f;
    std::string error;
    ASSERT_TRUE(FiguresOfFiles({one, two}, {}, f, error)) << error;
    EXPECT_EQ(f.records, 5);
    const TSlotFigures& s1 = f.slots[{"st1", "S1"}];
    EXPECT_EQ(s1.passed, 3);
    EXPECT_EQ(s1.failed, 1);
    EXPECT_DOUBLE_EQ(s1.median, 4);
    EXPECT_DOUBLE_EQ(s1.worst, 9);
    EXPECT_DOUBLE_EQ(f.all.median, 3);
    EXPECT_EQ(f.failures["silence"], 1);
    TRecordFigures day;
    ASSERT_TRUE(FiguresOfFiles({one, two}, {"2026-12-09", "2026-12-10"}, day, error));
    EXPECT_EQ(day.records, 4);
    EXPECT_EQ(day.slots.count({"st1", "S2"}), 0u);
}
