// report: sums up record files of stations (one line per attempt), for
// example every station of a line writing into one shared folder: per
// station and slot the passes, failures and wrong devices, the yield and the
// median and worst seconds of a pass, and the failure reasons counted.
#include "app/cli/Commands.h"
#include "app/cli/JsonLine.h"
#include "platform/Console.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace {

struct TSlotSums {
    int passed = 0, failed = 0, wrong = 0;
    int notWritten = 0; // boards back in their bootloader, or left when the station stopped
    std::vector<double> seconds; // of the passes
};

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int Attempts(const TSlotSums& s) {
    return s.passed + s.failed;
}

double Yield(const TSlotSums& s) {
    return Attempts(s) ? 100.0 * s.passed / Attempts(s) : 0;
}

// The yield in words: "-" where nothing was written.
std::string YieldText(const TSlotSums& s) {
    return Attempts(s) ? Format("%.1f%%", Yield(s)) : "-";
}

} // namespace

int ReportCommand(TRun& run) {
    // Keyed by host, then slot.
    std::map<std::pair<std::string, std::string>, TSlotSums> slots;
    std::map<std::string, int> failures;
    int lines = 0, unreadable = 0;
    std::set<std::filesystem::path> read; // a file named twice is read once
    for (const std::string& file : run.options.ports) {
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec))
            return Fail(run, exit_usage, file + " is a folder; name the record files in it");
        std::filesystem::path same = std::filesystem::weakly_canonical(file, ec);
        if (!read.insert(ec ? std::filesystem::path(file) : same).second) continue;
        std::ifstream in(file, std::ios::binary);
        if (!in) return Fail(run, exit_usage, "cannot read the record file " + file);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            std::map<std::string, TJsonValue> record;
            if (!ParseJsonLine(line, record) || !record.count("result")) {
                ++unreadable;
                continue;
            }
            ++lines;
            TSlotSums& s = slots[{record["host"].text, record["slot"].text}];
            const std::string& result = record["result"].text;
            if (result == "passed") {
                ++s.passed;
                // A pass without its time counts in the yield, not in the times.
                if (record.count("seconds") && record["seconds"].number > 0)
                    s.seconds.push_back(record["seconds"].number);
            } else if (result == "wrong-device") {
                ++s.wrong;
            } else if (result == "returned" || result == "not-written") {
                ++s.notWritten;
            } else {
                ++s.failed;
                ++failures[record.count("failure") ? record["failure"].text : result];
            }
        }
    }
    TSlotSums all;
    std::string rows = "[";
    // The columns are as wide as their longest name.
    int hostWidth = 16, slotWidth = 24;
    for (const auto& [key, s] : slots) {
        hostWidth = std::max(hostWidth, int(key.first.size()));
        slotWidth = std::max(slotWidth, int(key.second.size()));
    }
    std::string table =
        Format("%-*s %-*s %6s %6s %6s %7s %8s %8s\n", hostWidth, "station", slotWidth, "slot",
               "passed", "failed", "wrong", "yield", "median", "worst");
    for (const auto& [key, s] : slots) {
        all.passed += s.passed;
        all.failed += s.failed;
        all.wrong += s.wrong;
        all.notWritten += s.notWritten;
        all.seconds.insert(all.seconds.end(), s.seconds.begin(), s.seconds.end());
        double worst =
            s.seconds.empty() ? 0 : *std::max_element(s.seconds.begin(), s.seconds.end());
        TJsonResult json;
        json.Add("host", key.first);
        json.Add("slot", key.second);
        json.Add("passed", (long long)s.passed);
        json.Add("failed", (long long)s.failed);
        json.Add("wrong_device", (long long)s.wrong);
        json.Add("not_written", (long long)s.notWritten);
        if (Attempts(s)) json.AddReal("yield_percent", Yield(s));
        json.AddReal("median_seconds", Median(s.seconds));
        json.AddReal("worst_seconds", worst);
        rows += (rows.size() > 1 ? ", " : "") + json.Text();
        table += Format("%-*s %-*s %6d %6d %6d %7s %7.1fs %7.1fs\n", hostWidth, key.first.c_str(),
                        slotWidth, key.second.c_str(), s.passed, s.failed, s.wrong,
                        YieldText(s).c_str(), Median(s.seconds), worst);
    }
    std::string reasons = "{";
    std::string reasonText;
    for (const auto& [name, count] : failures) {
        reasons +=
            (reasons.size() > 1 ? ", " : "") + JsonString(name) + ": " + std::to_string(count);
        reasonText += Format("  %-20s %d\n", name.c_str(), count);
    }
    if (run.options.json) {
        run.json.Add("command", std::string("report"));
        run.json.Add("records", (long long)lines);
        run.json.Add("unreadable_lines", (long long)unreadable);
        run.json.Add("passed", (long long)all.passed);
        run.json.Add("failed", (long long)all.failed);
        run.json.Add("wrong_device", (long long)all.wrong);
        run.json.Add("not_written", (long long)all.notWritten);
        if (Attempts(all)) run.json.AddReal("yield_percent", Yield(all));
        run.json.AddEncoded("slots", rows + "]");
        run.json.AddEncoded("failures", reasons + "}");
        return Finish(run, exit_ok, Format("%d records", lines));
    }
    std::string text = table + Format("\nAll: %d records; passed %d, failed %d, wrong device %d; "
                                      "yield %s; median %.1f s\n",
                                      lines, all.passed, all.failed, all.wrong,
                                      YieldText(all).c_str(), Median(all.seconds));
    if (!reasonText.empty()) text += "Failures:\n" + reasonText;
    if (unreadable) text += Format("%d line(s) could not be read\n", unreadable);
    ConsoleWrite(TStdStream::out, text);
    return exit_ok;
}
