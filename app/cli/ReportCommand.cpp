// report: sums up the records of stations, for example every station of a
// line writing into one shared folder, or into the line's database: per
// station and slot the passes, failures and wrong devices, the yield and the
// median and worst seconds of a pass, and the failure reasons counted.
#include "app/cli/Commands.h"
#include "app/cli/SharedOptions.h"
#include "platform/Console.h"
#include "station/DatabaseConnection.h"
#include "station/RecordFigures.h"
#include "station/RecordStore.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace {

long long Attempts(const TSlotFigures& s) {
    return s.passed + s.failed;
}

double Yield(const TSlotFigures& s) {
    return Attempts(s) ? 100.0 * double(s.passed) / double(Attempts(s)) : 0;
}

// The yield in words: "-" where nothing was written.
std::string YieldText(const TSlotFigures& s) {
    return Attempts(s) ? Format("%.1f%%", Yield(s)) : "-";
}

// The figures of the files named, or of the one database named.
bool Gather(const TCliOptions& o, TRecordFigures& figures, std::string& error) {
    const TTimeBounds bounds{o.since, o.until};
    const auto database = std::find_if(o.ports.begin(), o.ports.end(), IsDatabaseTarget);
    if (database == o.ports.end()) return FiguresOfFiles(o.ports, bounds, figures, error);
    if (o.ports.size() > 1) {
        error = "report reads one database, or files: not both";
        return false;
    }
    if (HasPassword(*database)) {
        error = "a password on the command line is seen by every user of this machine: put it in "
                "the DSN or in " +
                std::string(kPasswordVariable);
        return false;
    }
    const char* password = std::getenv(kPasswordVariable);
    if (FiguresOfDatabase(database->substr(std::string(kDatabasePrefix).size()),
                          password ? password : "", bounds, figures, error))
        return true;
    error = MaskedConnection(*database) + ": " + error;
    return false;
}

int ReportCommand(TRun& run) {
    TRecordFigures figures;
    std::string error;
    if (!Gather(run.options, figures, error)) return Fail(run, exit_usage, error);
    std::string rows = "[";
    // The columns are as wide as their longest name.
    int hostWidth = 16, slotWidth = 24;
    for (const auto& [key, s] : figures.slots) {
        hostWidth = std::max(hostWidth, int(key.first.size()));
        slotWidth = std::max(slotWidth, int(key.second.size()));
    }
    std::string table =
        Format("%-*s %-*s %6s %6s %6s %7s %8s %8s\n", hostWidth, "station", slotWidth, "slot",
               "passed", "failed", "wrong", "yield", "median", "worst");
    for (const auto& [key, s] : figures.slots) {
        TJsonResult json;
        json.Add("host", key.first);
        json.Add("slot", key.second);
        json.Add("passed", s.passed);
        json.Add("failed", s.failed);
        json.Add("wrong_device", s.wrong);
        json.Add("not_written", s.notWritten);
        if (Attempts(s)) json.AddReal("yield_percent", Yield(s));
        json.AddReal("median_seconds", s.median);
        json.AddReal("worst_seconds", s.worst);
        rows += (rows.size() > 1 ? ", " : "") + json.Text();
        table += Format("%-*s %-*s %6lld %6lld %6lld %7s %7.1fs %7.1fs\n", hostWidth,
                        key.first.c_str(), slotWidth, key.second.c_str(), s.passed, s.failed,
                        s.wrong, YieldText(s).c_str(), s.median, s.worst);
    }
    std::string reasons = "{";
    std::string reasonText;
    for (const auto& [name, count] : figures.failures) {
        reasons +=
            (reasons.size() > 1 ? ", " : "") + JsonString(name) + ": " + std::to_string(count);
        reasonText += Format("  %-20s %lld\n", name.c_str(), count);
    }
    const TSlotFigures& all = figures.all;
    if (run.options.json) {
        run.json.Add("command", std::string("report"));
        run.json.Add("records", figures.records);
        run.json.Add("unreadable_lines", figures.unreadable);
        run.json.Add("passed", all.passed);
        run.json.Add("failed", all.failed);
        run.json.Add("wrong_device", all.wrong);
        run.json.Add("not_written", all.notWritten);
        if (Attempts(all)) run.json.AddReal("yield_percent", Yield(all));
        run.json.AddReal("median_seconds", all.median);
        run.json.AddEncoded("slots", rows + "]");
        run.json.AddEncoded("failures", reasons + "}");
        return Finish(run, exit_ok, Format("%lld records", figures.records));
    }
    std::string text =
        table + Format("\nAll: %lld records; passed %lld, failed %lld, wrong device %lld; "
                       "yield %s; median %.1f s\n",
                       figures.records, all.passed, all.failed, all.wrong, YieldText(all).c_str(),
                       all.median);
    if (!reasonText.empty()) text += "Failures:\n" + reasonText;
    if (figures.unreadable) text += Format("%lld line(s) could not be read\n", figures.unreadable);
    ConsoleWrite(TStdStream::out, text);
    return exit_ok;
}

// A bound of the records: a UTC date (2026-12-09), or a date and a time to
// the minute or second, with or without its Z. Records' times are compared
// with it as text, which orders them in time.
bool IsTimeBound(const std::string& t) {
    const std::string shape = "dddd-dd-ddTdd:dd:dd";
    std::size_t n = t.size() && t.back() == 'Z' ? t.size() - 1 : t.size();
    if (n != 10 && n != 16 && n != 19) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(t[i])) : t[i] != shape[i])
            return false;
    return true;
}

bool TakeBound(const TOptionArg& arg, std::string& bound, std::string& error) {
    if (!NeedValue(arg, error)) return false;
    bound = arg.value;
    if (!IsTimeBound(bound)) {
        error = std::string(arg.option.name) +
                " takes a UTC date or time such as 2026-12-09 or 2026-12-09T14:30, not '" + bound +
                "'";
        return false;
    }
    if (bound.back() == 'Z') bound.pop_back();
    return true;
}

constexpr const char* kBoundsElsewhere = "--since and --until go with report";
const TCliOption kSinceOption{"--since", nullptr, true,
                              [](TOptionArg& arg, TCliOptions& o, std::string& error) {
                                  return TakeBound(arg, o.since, error);
                              },
                              kBoundsElsewhere};
const TCliOption kUntilOption{"--until", nullptr, true,
                              [](TOptionArg& arg, TCliOptions& o, std::string& error) {
                                  return TakeBound(arg, o.until, error);
                              },
                              kBoundsElsewhere};

} // namespace

const TCliCommand& ReportCommandRow() {
    static const TCliCommand row{
        .name = "report",
        .help = {0, "report FILE...", R"(sum up station record files (--record), or the line's
database (report odbc:CONNECTION): per station
and slot the passes, failures, wrong devices, yield,
and median and worst seconds; the failure reasons)"},
        .mostWords = std::size_t(-2),
        .needsWords = "report needs one or more record files",
        .options = {&kJsonOption, &kSinceOption, &kUntilOption},
        .optionHelp = {{150, "--since TIME, --until TIME",
                        R"(report: only records that ended at or after TIME, or
before it (UTC: 2026-12-09 or 2026-12-09T14:30))"}},
        .run = ReportCommand,
    };
    return row;
}
