#include "station/RecordSpool.h"

#include <filesystem>
#include <fstream>
#include <set>

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

} // namespace

bool TRecordSpool::Open(const std::string& path, std::string& error) {
    path_ = path;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty()) std::filesystem::create_directories(folder, ec);
    if (!hold_.Take(path + ".lock", error)) {
        error = "the spool " + path + " cannot be taken (" + error +
                "): each station needs a spool of its own (--spool FILE)";
        return false;
    }
    if (!AppendRecordLine(path, "", error)) return false;
    std::set<std::string> sent;
    for (const std::string& id : Lines(path + ".sent"))
        sent.insert(id);
    // A line torn by a crash of the machine was never taken as kept.
    for (const std::string& line : Lines(path)) {
        TAttemptRecord record;
        if (ParseRecordLine(line, record) && !record.id.empty() && !sent.count(record.id))
            unsent_.push_back(record);
    }
    if (unsent_.empty()) Compact();
    return true;
}

bool TRecordSpool::Append(const TAttemptRecord& record, std::string& error) {
    if (!AppendRecordLine(path_, RecordLine(record) + "\n", error)) return false;
    unsent_.push_back(record);
    return true;
}

bool TRecordSpool::MarkSent(const std::string& id, std::string& error) {
    if (!AppendRecordLine(path_ + ".sent", id + "\n", error)) return false;
    if (!unsent_.empty() && unsent_.front().id == id) unsent_.pop_front();
    return true;
}

void TRecordSpool::Compact(unsigned long long bytes) {
    std::error_code ec;
    if (!unsent_.empty() || std::filesystem::file_size(path_, ec) < bytes) return;
    // The spool first: a crash between the two leaves only ids of nothing.
    std::filesystem::resize_file(path_, 0, ec);
    if (!ec) std::filesystem::resize_file(path_ + ".sent", 0, ec);
}
