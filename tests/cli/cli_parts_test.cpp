// The command-line program's parts: its options, how a PORT argument becomes
// a COM name, the plain progress lines and the progress bar, and JSON text.
#include "app/cli/CliOptions.h"
#include "app/cli/CliRun.h"
#include "app/cli/Commands.h"
#include "app/cli/HelpText.h"
#include "app/cli/ImageFile.h"
#include "app/cli/PortArgument.h"
#include "app/cli/ProgressView.h"
#include "app/cli/Sha256.h"
#include "app/cli/Summary.h"
#include "device/SessionLog.h"
#include "device/VisibleText.h"
#include "runtime/JsonResult.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

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
    ASSERT_TRUE(w.command);
    EXPECT_EQ(w.command->name, "write");
    EXPECT_EQ(w.port, "COM3");
    EXPECT_TRUE(w.yes);
    EXPECT_TRUE(w.json);
    EXPECT_TRUE(w.allowPlaceholder);
    EXPECT_FALSE(Parse({"write", "COM3"}).allowPlaceholder);
    EXPECT_EQ(w.progress, TProgressMode::plain);
    EXPECT_EQ(Parse({"identify", "/dev/ttyUSB0", "--progress", "bar"}).progress,
              TProgressMode::bar);
    EXPECT_EQ(Parse({"list"}).command, FindCliCommand("list"));
    // --help and --version answer whatever else the line holds.
    EXPECT_TRUE(Parse({"write", "--help"}).help);
    EXPECT_TRUE(Parse({"bogus", "--version"}).version);
    EXPECT_FALSE(Parse({"bogus", "--version"}).command);

    // Several ports, none (found by asking), --all, the log and an image file.
    TCliOptions many = Parse({"write", "COM3", "/dev/ttyUSB0", "COM7", "-v", "--log=s.log"});
    EXPECT_EQ(many.ports, (std::vector<std::string>{"COM3", "/dev/ttyUSB0", "COM7"}));
    EXPECT_EQ(many.port, "COM3");
    EXPECT_TRUE(many.verbose);
    EXPECT_EQ(many.logFile, "s.log");
    TCliOptions all = Parse({"write", "--all", "--image", "fw.bin", "--log", "b.log"});
    EXPECT_TRUE(all.all && all.ports.empty());
    EXPECT_EQ(all.imageFile, "fw.bin");
    EXPECT_EQ(all.logFile, "b.log");
    EXPECT_TRUE(Parse({"identify"}).ports.empty());
    EXPECT_EQ(Parse({"image", "--image=x.bin"}).command, FindCliCommand("image"));
}

TEST(CliOptions, UsageErrors) {
    for (std::vector<std::string> args : std::vector<std::vector<std::string>>{
             {},
             {"flash", "COM3"},
             {"list", "COM3"},
             {"identify", "COM3", "COM4"},
             {"write", "--all", "COM3"},
             {"identify", "--all"},
             {"list", "--image", "fw.bin"},
             {"write", "--log"},
             {"write", "COM3", "--force"},
             {"write", "COM3", "--progress=fancy"},
             {"write", "COM3", "--progress"},
             {"station", "--count", "0"},
             {"station", "--poll-ms", "10x"},
             {"write", "COM3", "--record", "r.jsonl"},
             {"station", "--expect-device="},
             {"report"},
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
    // An empty file name never falls back to the carried image or to no log;
    // the error names the option.
    for (auto [args, option] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"write", "COM3", "--image="}, "--image"},
             {{"write", "COM3", "--image", ""}, "--image"},
             {{"image", "--image="}, "--image"},
             {{"write", "COM3", "--log="}, "--log"},
             {{"identify", "--log", ""}, "--log"},
             {{"station", "--record="}, "--record"}}) {
        EXPECT_FALSE(ParseCliOptions(args, options, error)) << ::testing::PrintToString(args);
        EXPECT_EQ(error.rfind(option + " ", 0), 0u) << error;
    }
}

// The command table: every row can be reached and shows in --help, and an
// option goes only with the commands whose rows take it.
TEST(CliCommands, RowsAreReachableAndInTheHelp) {
    const std::string help = CliHelpText("an image");
    std::size_t at = 0;
    for (const TCliCommand* command : CliCommands()) {
        ASSERT_TRUE(command->run) << command->name;
        EXPECT_EQ(FindCliCommand(command->name), command);
        // Listed in the table's order, the usage at the start of its entry.
        std::size_t entry = help.find("\n  " + command->help.usage + " ", at);
        ASSERT_NE(entry, std::string::npos) << command->name;
        at = entry + 1;
        EXPECT_EQ(command->help.usage.rfind(command->name, 0), 0u) << command->name;
        // A command's own options are named in its help entries, and no two
        // options share a name (one of them could never be given).
        for (const TCliOption* option : command->options) {
            EXPECT_NE(help.find(option->name), std::string::npos) << option->name;
            for (const TCliCommand* other : CliCommands())
                for (const TCliOption* same : other->options)
                    EXPECT_TRUE(same == option || std::string(same->name) != option->name)
                        << option->name;
        }
    }
    EXPECT_EQ(FindCliCommand("help"), nullptr);
}

TEST(CliHelp, EntriesLineUpAndOptionsKeepTheirPlaces) {
    const std::string help = CliHelpText("an image");
    EXPECT_EQ(help.rfind("Usage: varnomiksal-cli COMMAND [options]\n", 0), 0u);
    EXPECT_NE(help.find("carries: an image, 508 blocks"), std::string::npos);
    // A usage wider than its column stands on a line of its own.
    EXPECT_NE(help.find("\n  --since TIME, --until TIME\n                       report: only"),
              std::string::npos);
    EXPECT_NE(help.find("\n  --expect-device NAME station: write only"), std::string::npos);
    // report's --since sits among station's options, the program's own last.
    const char* order[] = {"  -y, --yes",    "  --json",        "  --spool-limit N",
                           "  --since TIME", "  --tag TEXT",    "  --rounds N",
                           "  -h, --help",   "  -V, --version", "\nExit codes:"};
    std::size_t at = 0;
    for (const char* entry : order) {
        std::size_t found = help.find(entry);
        ASSERT_NE(found, std::string::npos) << entry;
        EXPECT_GT(found, at) << entry;
        at = found;
    }
}

TEST(CliOptions, AnOptionGoesWithTheCommandsThatTakeIt) {
    TCliOptions options;
    std::string error;
    for (auto [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"list", "--image=fw.bin"}, "--image goes with write, station or image"},
             {{"identify", "--all"}, "--all goes with write or station alone, without ports"},
             {{"station", "--all", "COM3"},
              "--all goes with write or station alone, without ports"},
             {{"write", "--rounds", "2"}, "--rounds goes with doctor"},
             {{"report", "r.jsonl", "--tag", "x"},
              "--count, --record, --spool, --spool-limit, --tag and --expect-device go with "
              "station"},
             {{"doctor", "--until", "2026-12-09"}, "--since and --until go with report"},
             {{"station", "--spool-limit", "10000"},
              "--spool and --spool-limit go with --record odbc:..."}}) {
        options = {};
        EXPECT_FALSE(ParseCliOptions(args, options, error)) << ::testing::PrintToString(args);
        EXPECT_EQ(error, message);
    }
    // Taken, with its value.
    TCliOptions station = Parse({"station", "--record=odbc:DSN=line", "--spool-limit", "50",
                                 "--tag", "batch 7", "--count=3", "--poll-ms", "100"});
    EXPECT_EQ(station.spoolLimit, 50);
    EXPECT_EQ(station.tag, "batch 7");
    EXPECT_EQ(station.count, 3);
    EXPECT_EQ(station.pollMs, 100);
    EXPECT_EQ(Parse({"doctor", "--rounds=4"}).rounds, 4);
    EXPECT_EQ(Parse({"report", "r.jsonl", "--since", "2026-12-09T14:30Z"}).since,
              "2026-12-09T14:30");
    // Options other commands ignore, and an empty tag, which is no tag.
    EXPECT_TRUE(Parse({"list", "--yes", "--log", "l.log", "-v", "--poll-ms=100"}).yes);
    EXPECT_TRUE(Parse({"write", "COM3", "--tag="}).tag.empty());
    EXPECT_TRUE(Parse({"write", "COM3", "--tag", "x", "--tag="}).tag.empty());
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
    // 254 blocks of 256 bytes in 10 s: 6502 B/s (52.0 kbit/s), as long again to go.
    std::string line = ProgressBarLine(254, 508, 10, 80);
    EXPECT_NE(line.find("]  50%  block 254/508"), std::string::npos) << line;
    EXPECT_NE(line.find(" 52.0 kbit/s"), std::string::npos) << line;
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

// Text that is no UTF-8 (a tag typed in another code page) still makes
// valid JSON; UTF-8 passes whole.
TEST(JsonResult, BytesThatAreNoUtf8BecomeReplacementCharacters) {
    EXPECT_EQ(JsonString("\xcf\xe0\xf0\xf2\xe8\xff"),
              "\"\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\"");
    EXPECT_EQ(JsonString("Партия 7 — ok"), "\"Партия 7 — ok\"");
    EXPECT_EQ(JsonString("\xe2\x80"), "\"\\ufffd\\ufffd\""); // cut short
    EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\""); // overlong
}

// A station's screen lines fit the terminal a character at a time.
TEST(VisibleText, LinesFitTheTerminalByCharacters) {
    EXPECT_EQ(Columns("passed — remove"), 15u);
    EXPECT_EQ(FitColumns("passed — remove", 9), "passed —");
    EXPECT_EQ(FitColumns("passed", 40), "passed");
    EXPECT_EQ(FitColumns("passed", 0), "passed");
}

TEST(Summary, ClosingLineTableAndWorstExitCode) {
    EXPECT_EQ(ClosingLine(130048, 35.1, "VMX-1", "COM3", "8.3", "8.4 (KMV-4)"),
              "Wrote 130048 bytes in 35.1 s (29.6 kbit/s) to VMX-1 on COM3: 8.3 → 8.4 (KMV-4)");
    EXPECT_EQ(BytesPerSecond(1000, 0), 0.0);
    // Columns as wide as their widest entry, counted in characters.
    EXPECT_EQ(SummaryTable({{"COM3", "VMX-1", "8.3", "8.4", "success", 35.14},
                            {"COM12", "", "", "", "no device", -1}}),
              "port   device  version    result     seconds\n"
              "COM3   VMX-1   8.3 → 8.4  success    35.1\n"
              "COM12  -       -          no device  -\n");
    // 1 over 2 over 130 over 0, whatever the order they come in.
    for (auto [a, b, worst] : std::vector<std::array<int, 3>>{
             {0, 130, 130}, {130, 2, 2}, {2, 1, 1}, {1, 0, 1}, {130, 0, 130}, {0, 0, 0}}) {
        EXPECT_EQ(WorseExit(a, b), worst) << a << " " << b;
        EXPECT_EQ(WorseExit(b, a), worst) << a << " " << b;
    }
}

TEST(ImageFile, DigestsAndSizeCheck) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Two blocks of padding: 56 bytes.
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(ImageCrc16("123456789"), 0x4B37);
    EXPECT_EQ(CarriedImage().bytes.size(), kImageFileBytes);

    auto file = std::filesystem::temp_directory_path() / "varno-short-image.bin";
    std::ofstream(file, std::ios::binary) << "short";
    TWriteImage image;
    std::string error;
    EXPECT_FALSE(ImageFromFile(file.string(), image, error));
    EXPECT_NE(error.find(" is 5 bytes; an image must be exactly 130048 bytes"), std::string::npos)
        << error;
    std::filesystem::resize_file(file, kImageFileBytes);
    ASSERT_TRUE(ImageFromFile(file.string(), image, error)) << error;
    EXPECT_EQ(image.title, "varno-short-image.bin");
    EXPECT_EQ(image.bytes.substr(0, 6), std::string("short\0", 6));
    std::filesystem::remove(file);
}

TEST(SessionLog, BytesAsHexAndText) {
    EXPECT_EQ(HexBytes(std::string("VERS\0", 5)), "56 45 52 53 00");
    EXPECT_EQ(PrintableText(std::string("OK\r\n\xC2", 5)), "OK..В");
    // Device text on a terminal: controls visible, letters kept.
    EXPECT_EQ(VisibleText("2.1\r\n"), "2.1\\r\\n");
    EXPECT_EQ(VisibleText("\x1B[2JВМХ\\\x7F\xC2\x98\xFF"), "\\x1B[2JВМХ\\\\\\x7F\\u0098\\xFF");
}

// A time-out that ends the upload in the middle of a block: the bytes of that
// block still handed to the port add no line after the outcome.
TEST(SessionLog, EndsWithTheOutcome) {
    TSessionLog log;
    TData d;
    for (int byte = 0; byte < 256 + 512; ++byte) {
        if (byte == 300) {
            SetInteger(d, 3);
            log.inFailure(d, 0);
        }
        SetString(d, "ABCD");
        log.inCrc(d, 0);
    }
    std::vector<std::string> lines = log.Lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("outcome: failure"), std::string::npos) << lines.back();
}
