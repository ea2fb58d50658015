// Fixture days played at random against a station, under both kinds of
// bootloader: boards seated, removed, swapped fast and slow, bouncing,
// staying in their bootloader, of another name, failing with a wrong CRC or
// with silence. After each day, what every simulated board received and the
// record must agree with the station's promises. VARNO_DAYS_SEED picks the
// first seed and VARNO_DAYS the number of days (the soak script runs many).
#include "CliProcess.h"
#include "DeviceTest.h"
#include "app/cli/JsonLine.h"
#include "station/StationSlot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

namespace {

using TObject = std::map<std::string, TJsonValue>;

constexpr int kSlots = 3;
constexpr int kFirstPort = 210;
// A board seated within the return window of the last one's "PUSK" is
// refused; a slow swap is past it with room to spare, a quick one within.
constexpr int kQuickSwapMs = 1500;
constexpr int kSlowSwapMs = kReturnWindowMs + 600;

struct TSeat {
    std::string word; // the simulator's words for the board
    bool other = false;
};

// One slot's day: 2 to 4 boards.
std::vector<TSeat> RandomDay(std::mt19937& random) {
    std::vector<TSeat> day;
    const int boards = 2 + int(random() % 3);
    for (int i = 0; i < boards; ++i) {
        TSeat seat;
        switch (random() % 8) {
        case 0:
            seat.word = "bounce";
            break;
        case 1:
            seat.word = "stays";
            break;
        case 2:
            seat.word = "other=VARNOMIKSAL VMX-2 9.0";
            seat.other = true;
            break;
        case 3:
            seat.word = "wrong-crc-at=" + std::to_string(random() % 508);
            break;
        case 4:
            seat.word = "silence-from=" + std::to_string(random() % 508);
            break;
        default:
            seat.word = "ok";
        }
        if (i > 0)
            seat.word += ",swap=" + std::to_string(random() % 3 == 0 ? kQuickSwapMs : kSlowSwapMs);
        day.push_back(seat);
    }
    return day;
}

std::string Words(const std::vector<TSeat>& day) {
    std::string text;
    for (const TSeat& seat : day)
        text += (text.empty() ? "" : ";") + seat.word;
    return text;
}

std::vector<TObject> JsonLines(const std::string& text) {
    std::vector<TObject> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        TObject o;
        if (ParseJsonLine(line, o)) objects.push_back(o);
    }
    return objects;
}

class StationDays : public DeviceTest {
protected:
    // Plays one day on kSlots slots; returns the failures found, empty when
    // every promise held.
    std::string PlayDay(unsigned seed, bool strict) {
        std::mt19937 random(seed);
        const std::string record = TestPortDir() + "/days-" + std::to_string(seed) + ".jsonl";
        std::remove(record.c_str());
        std::vector<std::vector<TSeat>> days;
        std::vector<DeviceSimulator*> sims;
        std::vector<std::string> args = {"station", "--allow-placeholder", "--json", "--poll-ms",
                                         "100",     "--expect-device",     "VMX-1",  "--record",
                                         record};
        std::string plan;
        for (int k = 0; k < kSlots; ++k) {
            days.push_back(RandomDay(random));
            SimConfig config;
            EXPECT_TRUE(ParseSimDay(Words(days.back()), config.day));
            config.leaveMs = 300;
            config.strict = strict;
            config.unwrittenLeaveMs = 2000; // a refused board is taken away
            sims.push_back(&StartDevice(kFirstPort + k, config));
            args.push_back("COM" + std::to_string(kFirstPort + k));
            plan += "  COM" + std::to_string(kFirstPort + k) + ": " + Words(days.back()) + "\n";
        }
        TCliProcess station(args);
        bool over = station.WaitUntil(
            [&] {
                for (auto* s : sims)
                    if (!s->DayOver()) return false;
                return true;
            },
            180000);
        station.Signal(SIGINT);
        const int code = station.Wait();

        std::string failures;
        auto check = [&](bool ok, const std::string& what) {
            if (!ok) failures += "  " + what + "\n";
        };
        check(over, "the day did not end");
        check(code == 0 || code == 1, "exit code " + std::to_string(code));
        std::ifstream in(record);
        std::vector<TObject> records =
            JsonLines(std::string(std::istreambuf_iterator<char>(in), {}));
        std::vector<TObject> events = JsonLines(station.out);
        std::map<std::string, int> recorded, told;
        for (auto& r : records)
            ++recorded[r["result"].text];
        for (auto& e : events)
            ++told[e["event"].text];
        for (const char* kind : {"passed", "failed", "wrong-device", "returned"})
            check(recorded[kind] == told[kind], std::string(kind) + ": " +
                                                    std::to_string(recorded[kind]) + " recorded, " +
                                                    std::to_string(told[kind]) + " told");
        TObject totals = events.empty() ? TObject{} : events.back();
        check(totals["passed"].number == recorded["passed"] &&
                  totals["failed"].number == recorded["failed"] &&
                  totals["wrong_device"].number == recorded["wrong-device"],
              "the totals differ from the record");
        check(told["started"] == recorded["passed"] + recorded["failed"],
              "a write without its record");

        for (int k = 0; k < kSlots; ++k) {
            const std::string slot = "COM" + std::to_string(kFirstPort + k);
            std::vector<TObject> mine;
            for (auto& r : records)
                if (r["slot"].text == slot) mine.push_back(r);
            const std::vector<SimReport> seen = sims[std::size_t(k)]->Seatings();
            boards_ += int(seen.size());
            check(mine.size() == seen.size(), slot + ": " + std::to_string(seen.size()) +
                                                  " boards, " + std::to_string(mine.size()) +
                                                  " records");
            for (std::size_t i = 0; i < seen.size() && i < mine.size(); ++i) {
                const SimReport& s = seen[i];
                const std::string result = mine[i]["result"].text;
                const std::string board = slot + " board " + std::to_string(i + 1) + " (" +
                                          days[std::size_t(k)][i].word + ", " + result + ")";
                check(s.wholeImages <= 1, board + ": the image twice");
                if (days[std::size_t(k)][i].other)
                    check(result == "wrong-device" && !s.imageBegun,
                          board + ": another device heard the image");
                if (result == "passed")
                    check(s.matchesImage && s.pusk && s.wholeImages == 1,
                          board + ": passed, but the image or \"PUSK\" did not arrive");
                if (result == "failed") check(!s.pusk, board + ": failed, yet started");
                if (result == "returned" || result == "wrong-device")
                    check(!s.imageBegun, board + ": refused, yet it heard the image");
            }
        }
        if (failures.empty()) return "";
        return "seed " + std::to_string(seed) + (strict ? " (strict bootloaders)" : "") + ":\n" +
               plan + failures + "events:\n" + station.out;
    }

    void PlayDays(bool strict) {
        const char* first = std::getenv("VARNO_DAYS_SEED");
        const char* count = std::getenv("VARNO_DAYS");
        const unsigned seed0 = first ? unsigned(std::strtoul(first, nullptr, 10)) : 20261209u;
        const int days = count ? std::atoi(count) : 1;
        int held = 0;
        for (int d = 0; d < days; ++d) {
            const std::string failures =
                PlayDay(seed0 + unsigned(d) + (strict ? 1000000u : 0u), strict);
            EXPECT_EQ(failures, "");
            held += failures.empty();
            sims_.clear();
        }
        std::printf("station days%s: %d days, %d boards, every promise held on %d days\n",
                    strict ? " (bootloaders that answer once)" : "", days, boards_, held);
    }

    int boards_ = 0;
};

} // namespace

TEST_F(StationDays, EveryPromiseHoldsOnRandomDays) {
    PlayDays(false);
}

TEST_F(StationDays, EveryPromiseHoldsOnRandomDaysWithBootloadersThatAnswerOnce) {
    PlayDays(true);
}
