#include "app/LastSessionFile.h"

#include "platform/StateFolder.h"

#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

fs::path LastSessionPath() {
    fs::path folder = StateFolder();
    return folder.empty() ? fs::path() : folder / "last-session.log";
}

bool WriteLastSession(const std::vector<std::string>& lines) {
    fs::path file = LastSessionPath();
    if (file.empty()) return false;
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    fs::path previous = file;
    previous += ".1";
    if (fs::exists(file, ec)) {
        fs::remove(previous, ec);
        fs::rename(file, previous, ec);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines)
        out << line << '\n';
    return bool(out);
}
