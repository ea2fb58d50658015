// Fixture days played at random against a station, under both kinds of
// bootloader: boards seated, removed, swapped fast and slow, bouncing,
// staying in their bootloader, of another name, failing with a wrong CRC or
// with silence; one slot's adapter unplugged and plugged in again under
// another COM name; and the day ended by its last board, by one Ctrl+C or
// two in the middle of it, or by a record that cannot be written. After
// each day, what every simulated board received and the record must agree
// with the station's promises. VARNO_DAYS_SEED picks the first seed and
// VARNO_DAYS the number of days (the soak script runs many).
#include "CliProcess.h"
#include "DeviceTest.h"
#include "runtime/JsonLine.h"
#include "station/StationSlot.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <thread>

namespace {

using TObject = std::map<std::string, TJsonValue>;
using Clock = std::chrono::steady_clock;

constexpr int kSlots = 3;
constexpr int kFirstPort = 210;
// A board seated within the return window of the last one's "PUSK" is
// refused; a slow swap is past it with room to spare, a quick one within.
constexpr int kQuickSwapMs = 1500;
constexpr int kSlowSwapMs = kReturnWindowMs + 600;

// How a day ends; a day's seed picks it (seed % 4), so that a seed replays
// its day.
enum class TEnding { day_over, one_ctrl_c, two_ctrl_c, record_fails };
const char* const kEndings[] = {"the last board", "one Ctrl+C", "two Ctrl+C",
                                "a record that fails"};

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

std::string Words(const std::vector<TSeat>& day, std::size_t from = 0,
                  std::size_t to = std::string::npos) {
    std::string text;
    for (std::size_t i = from; i < std::min(to, day.size()); ++i)
        text += (text.empty() ? "" : ";") + day[i].word;
    return text;
}

std::vector<TObject> JsonLines(const std::string& text, const std::string& prefix = {}) {
    std::vector<TObject> objects;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        TObject o;
        if (line.compare(0, prefix.size(), prefix) == 0 &&
            ParseJsonLine(line.substr(prefix.size()), o))
            objects.push_back(o);
    }
    return objects;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class StationDays : public DeviceTest {
protected:
    // Plays one day on kSlots slots; returns the failures found, empty when
    // every promise held.
    std::string PlayDay(unsigned seed, bool strict) {
        std::mt19937 random(seed);
        const TEnding ending = TEnding(seed % 4);
        TSockets sockets;
        const std::string record = TestPortDir() + "/days-" + std::to_string(seed) + ".jsonl";
        const std::string kept = record + ".kept"; // its lines, once it points at a full disk
        std::remove(record.c_str());
        std::remove(kept.c_str());
        std::vector<std::vector<TSeat>> days;
        for (int k = 0; k < kSlots; ++k)
            days.push_back(RandomDay(random));
        // One slot's adapter is unplugged once its first boards are done,
        // and comes back under another COM name for the rest of its day.
        const int moved = int(random() % kSlots);
        const std::size_t cut = 1 + random() % (days[std::size_t(moved)].size() - 1);
        const int unpluggedMs = 300 + int(random() % 1200);
        // When the ending comes: after this many writes began, and a while.
        const std::size_t afterStarts = 1 + random() % 3;
        const int endDelayMs = int(random() % 2000);
        const int secondDelayMs = int(random() % 1000);

        auto socket = [&](int k) { return TestPortDir() + "/by-path/socket-" + std::to_string(k); };
        auto plug = [&](int k, int port, const std::string& words) {
            SimConfig config;
            EXPECT_TRUE(ParseSimDay(words, config.day));
            config.leaveMs = 300;
            config.strict = strict;
            config.unwrittenLeaveMs = 2000; // a refused board is taken away
            DeviceSimulator* sim = &StartDevice(port, config);
            std::filesystem::remove(socket(k));
            std::filesystem::create_symlink(sim->DevicePath(), socket(k));
            return sim;
        };
        std::vector<DeviceSimulator*> sims;
        std::vector<std::string> args = {"station", "--allow-placeholder", "--json", "--poll-ms",
                                         "100",     "--expect-device",     "VMX-1",  "--record",
                                         record};
        std::string plan = std::string("  ending: ") + kEndings[int(ending)] + " (after " +
                           std::to_string(afterStarts) + " writes and " +
                           std::to_string(endDelayMs) + " ms)\n";
        for (int k = 0; k < kSlots; ++k) {
            const auto& day = days[std::size_t(k)];
            sims.push_back(plug(k, kFirstPort + k, Words(day, 0, k == moved ? cut : day.size())));
            args.push_back("COM" + std::to_string(kFirstPort + k));
            plan += "  socket-" + std::to_string(k) + ": " + Words(day);
            if (k == moved)
                plan += " (unplugged after board " + std::to_string(cut) + " for " +
                        std::to_string(unpluggedMs) + " ms)";
            plan += "\n";
        }

        TCliProcess station(args);
        std::vector<SimReport> before; // the moved slot's boards before the unplug
        Clock::time_point plugAt{}, endAt{}, secondAt{};
        bool unplugged = false, replugged = false, ended = false, secondSent = false;
        const Clock::time_point start = Clock::now();
        auto daysOver = [&] {
            if (!replugged) return false;
            for (auto* s : sims)
                if (!s->DayOver()) return false;
            return true;
        };
        // Plays the day's events; true once the station is to be stopped.
        auto step = [&] {
            const auto now = Clock::now();
            DeviceSimulator*& mover = sims[std::size_t(moved)];
            if (!unplugged && mover->DayOver()) {
                before = mover->Seatings();
                std::filesystem::remove(socket(moved));
                for (auto it = sims_.begin(); it != sims_.end(); ++it)
                    if (it->get() == mover) {
                        sims_.erase(it);
                        break;
                    }
                unplugged = true;
                plugAt = now + std::chrono::milliseconds(unpluggedMs);
            }
            if (unplugged && !replugged && now >= plugAt) {
                mover =
                    plug(moved, kFirstPort + kSlots + moved, Words(days[std::size_t(moved)], cut));
                replugged = true;
            }
            if (ending == TEnding::day_over) return daysOver();
            if (endAt == Clock::time_point{} &&
                (Count(station.out, "\"event\": \"started\"") >= afterStarts || daysOver()))
                endAt = now + std::chrono::milliseconds(endDelayMs);
            if (!ended && endAt != Clock::time_point{} && now >= endAt) {
                ended = true;
                if (ending == TEnding::record_fails) {
                    // The record's folder fills up: its lines so far are
                    // kept, and every later line fails.
                    std::filesystem::create_hard_link(record, kept);
                    std::filesystem::create_symlink("/dev/full", record + ".full");
                    std::filesystem::rename(record + ".full", record);
                } else {
                    station.Signal(SIGINT);
                }
            }
            if (ending == TEnding::two_ctrl_c && ended && !secondSent) {
                // Signals do not queue: the second follows the first's answer.
                if (secondAt == Clock::time_point{} &&
                    station.out.find("\"event\": \"stopping\"") != std::string::npos)
                    secondAt = now + std::chrono::milliseconds(secondDelayMs);
                if (secondAt != Clock::time_point{} && now >= secondAt) {
                    secondSent = true;
                    station.Signal(SIGINT);
                }
            }
            // A Ctrl+C ends the station; the day's devices go on without it.
            return ending == TEnding::record_fails && ended && daysOver();
        };
        const bool over = station.WaitUntil(step, 180000);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        station.Signal(SIGINT);
        const int code = station.Wait();

        std::string failures;
        auto check = [&](bool ok, const std::string& what) {
            if (!ok) failures += "  " + what + "\n";
        };
        const bool shortened = ending != TEnding::day_over;
        check(over || shortened, "the day did not end");
        // Every attempt's line: in the record, or on stderr once it could not be.
        const bool filled = ending == TEnding::record_fails && ended;
        std::vector<TObject> records = JsonLines(ReadAll(filled ? kept : record));
        for (const TObject& r : JsonLines(station.err, "varnomiksal-cli: not recorded: "))
            records.push_back(r);
        std::vector<TObject> events = JsonLines(station.out);
        std::map<std::string, int> recorded, told;
        for (auto& r : records) {
            ++recorded[r["result"].text];
            check(r["slot"].text.rfind("socket-", 0) == 0,
                  "a slot of its own for " + r["slot"].text);
        }
        for (auto& e : events)
            ++told[e["event"].text];
        const bool recordFailed = told["record-failed"] > 0;
        check(code == (recordFailed                                   ? 4
                       : recorded["failed"] + recorded["interrupted"] ? 1
                                                                      : 0),
              "exit code " + std::to_string(code));
        check(!recordFailed || ending == TEnding::record_fails, "a record failed");
        for (const char* kind :
             {"passed", "failed", "interrupted", "wrong-device", "returned", "not-written"})
            check(recorded[kind] == told[kind], std::string(kind) + ": " +
                                                    std::to_string(recorded[kind]) + " recorded, " +
                                                    std::to_string(told[kind]) + " told");
        TObject totals = events.empty() ? TObject{} : events.back();
        check(totals["event"].text == "totals" && totals["passed"].number == recorded["passed"] &&
                  totals["failed"].number == recorded["failed"] + recorded["interrupted"] &&
                  totals["wrong_device"].number == recorded["wrong-device"],
              "the totals differ from the record");
        check(told["started"] == recorded["passed"] + recorded["failed"] + recorded["interrupted"],
              "a write without its record");
        // No write starts once the station has stopped taking devices.
        bool stopped = false;
        for (auto& e : events) {
            const std::string kind = e["event"].text;
            check(!(stopped && kind == "started"), "a write started after the stop");
            stopped = stopped || kind == "stopping" || kind == "record-failed";
        }
        check(ending == TEnding::day_over || ending == TEnding::record_fails || stopped,
              "the Ctrl+C was not acknowledged");
        check(told["interrupted"] == 0 || secondSent, "interrupted without a second Ctrl+C");

        for (int k = 0; k < kSlots; ++k) {
            const std::string slot = "socket-" + std::to_string(k);
            std::vector<TObject> mine;
            for (auto& r : records)
                if (r["slot"].text == slot) mine.push_back(r);
            std::vector<SimReport> seen = k == moved ? before : std::vector<SimReport>{};
            if (k != moved || !unplugged || replugged)
                for (const SimReport& r : sims[std::size_t(k)]->Seatings())
                    seen.push_back(r);
            boards_ += int(seen.size());
            // The moved slot followed its socket to the adapter's new name.
            for (std::size_t i = k == moved ? cut : mine.size(); i < mine.size(); ++i)
                check(mine[i]["port"].text == "COM" + std::to_string(kFirstPort + kSlots + k),
                      slot + ": record " + std::to_string(i + 1) + " on " + mine[i]["port"].text);
            // A day cut short leaves the boards after the stop unrecorded,
            // and unwritten.
            check(shortened ? mine.size() <= seen.size() : mine.size() == seen.size(),
                  slot + ": " + std::to_string(seen.size()) + " boards, " +
                      std::to_string(mine.size()) + " records");
            for (std::size_t i = 0; i < seen.size(); ++i) {
                const SimReport& s = seen[i];
                const std::string result = i < mine.size() ? mine[i]["result"].text : "none";
                const std::string board = slot + " board " + std::to_string(i + 1) + " (" +
                                          days[std::size_t(k)][i].word + ", " + result + ")";
                check(s.wholeImages <= 1, board + ": the image twice");
                if (days[std::size_t(k)][i].other)
                    check(!s.imageBegun && (result == "wrong-device" || shortened),
                          board + ": another device heard the image");
                if (result == "passed")
                    check(s.matchesImage && s.pusk && s.wholeImages == 1,
                          board + ": passed, but the image or \"PUSK\" did not arrive");
                if (result == "failed" || result == "interrupted")
                    check(!s.pusk, board + ": " + result + ", yet started");
                if (result == "returned" || result == "wrong-device" || result == "not-written" ||
                    result == "none")
                    check(!s.imageBegun, board + ": not written, yet it heard the image");
            }
        }
        seconds_ += seconds;
        if (failures.empty()) return "";
        return "seed " + std::to_string(seed) + (strict ? " (strict bootloaders)" : "") + ":\n" +
               plan + failures + "events:\n" + station.out + "stderr:\n" + station.err;
    }

    void PlayDays(bool strict) {
        const char* first = std::getenv("VARNO_DAYS_SEED");
        const char* count = std::getenv("VARNO_DAYS");
        // By default a day of each ending: two under each kind of bootloader.
        const unsigned offset = strict ? 1000002u : 0u;
        const unsigned seed0 =
            (first ? unsigned(std::strtoul(first, nullptr, 10)) : 20261208u) + offset;
        const int days = count ? std::atoi(count) : 2;
        int held = 0;
        for (int d = 0; d < days; ++d) {
            const std::string failures = PlayDay(seed0 + unsigned(d), strict);
            EXPECT_EQ(failures, "") << "VARNO_DAYS_SEED=" << seed0 + unsigned(d) - offset
                                    << " VARNO_DAYS=1 replays this day";
            held += failures.empty();
            sims_.clear();
        }
        std::printf("station days%s: %d days, %d boards, every promise held on %d days (%.0f s)\n",
                    strict ? " (bootloaders that answer once)" : "", days, boards_, held, seconds_);
    }

    int boards_ = 0;
    double seconds_ = 0;
};

} // namespace

TEST_F(StationDays, EveryPromiseHoldsOnRandomDays) {
    PlayDays(false);
}

TEST_F(StationDays, EveryPromiseHoldsOnRandomDaysWithBootloadersThatAnswerOnce) {
    PlayDays(true);
}
