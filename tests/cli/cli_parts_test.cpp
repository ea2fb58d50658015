// The command-line program's parts: its options, how a PORT argument becomes
// a COM name, the plain progress lines and the progress bar, and JSON text.
#include "app/cli/CliOptions.h"
#include "app/cli/JsonResult.h"
#include "app/cli/PortArgument.h"
#include "app/cli/ProgressView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace {

TCliOptions Parse(std::vector<std::string> args, bool expectOk = true) {
    TCliOptions options;
    std::string error;
    EXPECT_EQ(ParseCliOptions(args, options, error), expectOk) << error;
    return options;
}

} // namespace

TEST(CliOptions, CommandsPortsAndOptionsInAnyOrder) {
    TCliOptions w =
        Parse({"--yes", "write", "COM3", "--progress=plain", "--json", "--allow-placeholder"});
    EXPECT_EQ(w.command, TCliCommand::write);
    EXPECT_EQ(w.port, "COM3");
    EXPECT_TRUE(w.yes);
    EXPECT_TRUE(w.json);
    EXPECT_TRUE(w.allowPlaceholder);
    EXPECT_FALSE(Parse({"write", "COM3"}).allowPlaceholder);
    EXPECT_EQ(w.progress, TProgressMode::plain);
    EXPECT_EQ(Parse({"identify", "/dev/ttyUSB0", "--progress", "bar"}).progress,
              TProgressMode::bar);
    EXPECT_EQ(Parse({"list"}).command, TCliCommand::list);
    // --help and --version answer whatever else the line holds.
    EXPECT_EQ(Parse({"write", "--help"}).command, TCliCommand::help);
    EXPECT_EQ(Parse({"bogus", "--version"}).command, TCliCommand::version);
}

TEST(CliOptions, UsageErrors) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {},
             {"flash", "COM3"},
             {"write"},
             {"identify"},
             {"list", "COM3"},
             {"write", "COM3", "COM4"},
             {"write", "COM3", "--force"},
             {"write", "COM3", "--progress=fancy"},
             {"write", "COM3", "--progress"},
         }) {
        TCliOptions options;
        std::string error;
        EXPECT_FALSE(ParseCliOptions(args, options, error)) << ::testing::PrintToString(args);
        EXPECT_FALSE(error.empty());
    }
    // --json after the fault still asks for a JSON answer.
    TCliOptions options;
    std::string error;
    EXPECT_FALSE(ParseCliOptions({"write", "--force", "COM3", "--json"}, options, error));
    EXPECT_TRUE(options.json);
}

TEST(PortArgument, ComNamesPathsAndBadNames) {
    std::random_device random;
    auto dir = std::filesystem::temp_directory_path() / ("varno-cli-" + std::to_string(random()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "node").put('x');
    std::error_code linked;
    std::filesystem::create_symlink(dir / "node", dir / "COM7", linked);
    if (linked) std::ofstream(dir / "COM7").put('x'); // no links here: a file in its place
    std::vector<TPortEntry> ports = {{7, "COM7", (dir / "COM7").string()},
                                     {33, "COM33", "/nonexistent/ttyUSB0"}};
    std::string name;
    EXPECT_EQ(ResolvePortArgument("com12", ports, name), TPortArgument::ok);
    EXPECT_EQ(name, "COM12"); // listed or not: the open decides
    // A path to the node itself or to the link that lists it.
    if (!linked) {
        EXPECT_EQ(ResolvePortArgument((dir / "node").string(), ports, name), TPortArgument::ok);
        EXPECT_EQ(name, "COM7");
    }
    EXPECT_EQ(ResolvePortArgument((dir / "COM7").string(), ports, name), TPortArgument::ok);
    EXPECT_EQ(name, "COM7");
    EXPECT_EQ(ResolvePortArgument("/nonexistent/ttyUSB0", ports, name), TPortArgument::ok);
    EXPECT_EQ(name, "COM33");
    EXPECT_EQ(ResolvePortArgument((dir / "none").string(), ports, name), TPortArgument::no_such);
    EXPECT_EQ(ResolvePortArgument(dir.string(), ports, name), TPortArgument::not_listed);
    for (const char* bad : {"COM0", "COM256", "COM007", "COMX", "ttyUSB0", "3", ""})
        EXPECT_EQ(ResolvePortArgument(bad, ports, name), TPortArgument::bad_name) << bad;
    std::filesystem::remove_all(dir);
}

TEST(ProgressView, PlainLinesAtTrueTenthsEvenAcrossJumps) {
    TPlainProgress plain;
    auto at = [](int block) { return block / 10.0; }; // when each block was acknowledged
    EXPECT_TRUE(plain.Lines(0, 508, at).empty());
    EXPECT_TRUE(plain.Lines(50, 508, at).empty()); // 50 < 50.8
    // Seen late, at block 64: the line still names the block that reached 10 %.
    EXPECT_EQ(plain.Lines(64, 508, at),
              std::vector<std::string>{"progress:  10%  block 51/508  5.1 s"});
    EXPECT_TRUE(plain.Lines(101, 508, at).empty()); // 20 % is block 102
    auto jump = plain.Lines(400, 508, at);          // 20 % to 70 % at once
    ASSERT_EQ(jump.size(), 6u);
    EXPECT_EQ(jump[0], "progress:  20%  block 102/508  10.2 s");
    EXPECT_EQ(jump[5], "progress:  70%  block 356/508  35.6 s");
    auto end = plain.Lines(508, 508, at);
    ASSERT_EQ(end.size(), 3u);
    EXPECT_EQ(end[2], "progress: 100%  block 508/508  50.8 s");
}

TEST(ProgressView, BarShowsPercentCountRateAndTimeLeftWithinTheTerminal) {
    // 254 blocks of 256 bytes in 10 s: 6502 B/s, as long again to go.
    std::string line = ProgressBarLine(254, 508, 10, 80);
    EXPECT_NE(line.find("]  50%  block 254/508"), std::string::npos) << line;
    EXPECT_NE(line.find("6502 B/s"), std::string::npos) << line;
    EXPECT_NE(line.find("0:10 left"), std::string::npos) << line;
    EXPECT_LT(line.size(), 80u);
    auto filled = std::count(line.begin(), line.end(), '#');
    auto empty = std::count(line.begin(), line.end(), '.');
    EXPECT_EQ(filled, (filled + empty) / 2); // half the bar
    EXPECT_NE(ProgressBarLine(0, 508, 0, 0).find("--:-- left"), std::string::npos);
    EXPECT_NE(ProgressBarLine(508, 508, 3, 0).find("100%"), std::string::npos);
    // Every width gets a line that leaves the last column free: a narrow
    // terminal loses the bar, then the line's end, but keeps the percentage.
    for (int columns : {120, 60, 45, 20, 5}) {
        std::string narrow = ProgressBarLine(100, 508, 3, columns);
        EXPECT_LT(int(narrow.size()), columns) << columns;
        EXPECT_EQ(narrow.find('[') != std::string::npos, columns >= 60) << narrow;
        if (columns >= 20) {
            EXPECT_NE(narrow.find(" 19%"), std::string::npos) << narrow;
        }
    }
}

TEST(JsonResult, EscapesAndKeepsOrder) {
    TJsonResult json;
    json.Add("device", std::string("A \"B\"\\\n\x01"));
    json.Add("blocks", 508LL);
    json.AddReal("seconds", 1.5);
    json.Add("ok", true);
    EXPECT_EQ(json.Text(), "{\"device\": \"A \\\"B\\\"\\\\\\n\\u0001\", \"blocks\": 508, "
                           "\"seconds\": 1.500, \"ok\": true}");
}
