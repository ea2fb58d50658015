#include "station/RecordFigures.h"

#include "station/AttemptRecord.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return HalfMilliseconds(n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2);
}

} // namespace

bool FiguresOfFiles(const std::vector<std::string>& files, const TTimeBounds& bounds,
                    TRecordFigures& figures, std::string& error) {
    std::map<std::pair<std::string, std::string>, std::vector<double>> seconds;
    std::set<std::filesystem::path> read; // a file named twice is read once
    std::set<std::string> ids;
    for (const std::string& file : files) {
        std::error_code ec;
        if (std::filesystem::is_directory(file, ec)) {
            error = file + " is a folder; name the record files in it";
            return false;
        }
        std::filesystem::path same = std::filesystem::weakly_canonical(file, ec);
        if (!read.insert(ec ? std::filesystem::path(file) : same).second) continue;
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            error = "cannot read the record file " + file;
            return false;
        }
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty()) continue;
            TAttemptRecord r;
            if (!ParseRecordLine(line, r)) {
                ++figures.unreadable;
                continue;
            }
            if (!bounds.Holds(r.end) || (!r.id.empty() && !ids.insert(r.id).second)) continue;
            ++figures.records;
            TSlotFigures& s = figures.slots[{r.host, r.slot}];
            if (r.result == "passed") {
                ++s.passed;
                // A pass without its time counts in the yield, not in the times.
                if (r.seconds > 0) seconds[{r.host, r.slot}].push_back(r.seconds);
            } else if (r.result == "wrong-device") {
                ++s.wrong;
            } else if (r.result == "returned" || r.result == "not-written") {
                ++s.notWritten;
            } else {
                ++s.failed;
                ++figures.failures[r.failure.empty() ? r.result : r.failure];
            }
        }
    }
    std::vector<double> all;
    for (auto& [key, s] : figures.slots) {
        const std::vector<double>& v = seconds[key];
        s.median = Median(v);
        s.worst = v.empty() ? 0 : *std::max_element(v.begin(), v.end());
        all.insert(all.end(), v.begin(), v.end());
        figures.all.passed += s.passed;
        figures.all.failed += s.failed;
        figures.all.wrong += s.wrong;
        figures.all.notWritten += s.notWritten;
    }
    figures.all.median = Median(all);
    figures.all.worst = all.empty() ? 0 : *std::max_element(all.begin(), all.end());
    return true;
}
