// The report's figures summed up by the line's database, in portable SQL:
// counts per slot, the worst pass, and the median through ROW_NUMBER() (the
// middle one or two of each slot's passes, ordered by seconds).
#include "platform/Odbc.h"
#include "station/AttemptTable.h"
#include "station/DatabaseConnection.h"
#include "station/RecordFigures.h"

#include <cstdlib>

namespace {

const char* const kWithin = " end_time >= ? AND end_time < ?";
const char* const kNoAttempt = "('passed', 'wrong-device', 'returned', 'not-written')";

std::string SlotCounts() {
    return std::string("SELECT host, slot, COUNT(*),"
                       " SUM(CASE WHEN result = 'passed' THEN 1 ELSE 0 END),"
                       " SUM(CASE WHEN result NOT IN ") +
           kNoAttempt +
           " THEN 1 ELSE 0 END),"
           " SUM(CASE WHEN result = 'wrong-device' THEN 1 ELSE 0 END),"
           " SUM(CASE WHEN result IN ('returned', 'not-written') THEN 1 ELSE 0 END),"
           " MAX(CASE WHEN result = 'passed' AND seconds > 0 THEN seconds END)"
           " FROM varnomiksal_attempts WHERE" +
           kWithin + " GROUP BY host, slot";
}

// The median of the passes' seconds, per slot or (`perSlot` false) of all.
std::string Medians(bool perSlot) {
    const std::string keys = perSlot ? "host, slot" : "";
    const std::string partition = perSlot ? "PARTITION BY host, slot " : "";
    return "SELECT " + keys + (perSlot ? ", " : "") +
           "AVG(seconds) FROM (SELECT host, slot, seconds, ROW_NUMBER() OVER (" + partition +
           "ORDER BY seconds) AS n, COUNT(*) OVER (" + partition +
           ") AS c FROM varnomiksal_attempts WHERE result = 'passed' AND seconds > 0 AND" +
           kWithin + ") ranked WHERE 2 * n >= c AND 2 * n <= c + 2" +
           (perSlot ? " GROUP BY host, slot" : "");
}

std::string Failures() {
    return std::string("SELECT COALESCE(failure, result), COUNT(*) FROM varnomiksal_attempts "
                       "WHERE result NOT IN ") +
           kNoAttempt + " AND" + kWithin + " GROUP BY COALESCE(failure, result)";
}

double Number(const TOdbcValue& v) {
    return v.kind == TOdbcValue::TKind::text ? std::strtod(v.text.c_str(), nullptr) : 0;
}

long long Count(const TOdbcValue& v) {
    return (long long)Number(v);
}

} // namespace

bool FiguresOfDatabase(const std::string& connection, const std::string& password,
                       const TTimeBounds& bounds, TRecordFigures& figures, std::string& error) {
    TOdbcConnection db;
    TOdbcError e;
    // An end before any time, and one after every time.
    const TOdbcRow within = {TOdbcValue::Text(bounds.since),
                             TOdbcValue::Text(bounds.until.empty() ? "9999" : bounds.until)};
    std::vector<TOdbcRow> counts, medians, median, failures;
    if (!db.Connect(WithPassword(connection, password), 30, e) ||
        !db.Query(SlotCounts(), within, counts, e) ||
        !db.Query(Medians(true), within, medians, e) ||
        !db.Query(Medians(false), within, median, e) ||
        !db.Query(Failures(), within, failures, e)) {
        error =
            "the database cannot be read: " + Masked(e.message, password) + " (" + e.state + ")";
        return false;
    }
    for (const TOdbcRow& row : counts) {
        TSlotFigures& s = figures.slots[{row[0].text, row[1].text}];
        figures.records += Count(row[2]);
        s.passed = Count(row[3]);
        s.failed = Count(row[4]);
        s.wrong = Count(row[5]);
        s.notWritten = Count(row[6]);
        s.worst = Number(row[7]);
        figures.all.passed += s.passed;
        figures.all.failed += s.failed;
        figures.all.wrong += s.wrong;
        figures.all.notWritten += s.notWritten;
        figures.all.worst = std::max(figures.all.worst, s.worst);
    }
    for (const TOdbcRow& row : medians)
        figures.slots[{row[0].text, row[1].text}].median = HalfMilliseconds(Number(row[2]));
    if (!median.empty()) figures.all.median = HalfMilliseconds(Number(median[0][0]));
    for (const TOdbcRow& row : failures)
        figures.failures[row[0].text] = Count(row[1]);
    return true;
}
