// A line's figures from its records: per station and slot the passes,
// failures, wrong devices and boards not written, the median and worst
// seconds of a pass, and the failure reasons counted. The same figures from
// record files (or spools) and from a line's database, where SQL sums them.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct TSlotFigures {
    long long passed = 0, failed = 0, wrong = 0;
    long long notWritten = 0; // boards back in their bootloader, or left when the station stopped
    double median = 0, worst = 0; // seconds of the passes that have them
};

struct TRecordFigures {
    std::map<std::pair<std::string, std::string>, TSlotFigures> slots; // by host, then slot
    TSlotFigures all;
    std::map<std::string, long long> failures; // by reason
    long long records = 0, unreadable = 0;
};

// Seconds are kept to the millisecond, so a median is a whole number of
// half milliseconds: taken to that, the figures of files and of a database
// (whose average comes through another sum, and as text) are the same.
inline double HalfMilliseconds(double seconds) {
    return double((long long)(seconds * 2000 + (seconds < 0 ? -0.5 : 0.5))) / 2000;
}

// Only records that ended at or after `since` and before `until` (ISO 8601
// UTC text, compared as text; empty: no bound).
struct TTimeBounds {
    std::string since, until;
    bool Holds(const std::string& end) const {
        return (since.empty() || end >= since) && (until.empty() || end < until);
    }
};

// From record files and spools; an attempt named twice (by id) counts once.
bool FiguresOfFiles(const std::vector<std::string>& files, const TTimeBounds& bounds,
                    TRecordFigures& figures, std::string& error);

// From the line's database (an ODBC connection string, the password apart).
bool FiguresOfDatabase(const std::string& connection, const std::string& password,
                       const TTimeBounds& bounds, TRecordFigures& figures, std::string& error);
