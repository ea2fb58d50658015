#include "app/cli/LogOutput.h"

#include "platform/Console.h"

TLogOutput::~TLogOutput() {
    if (file_) std::fclose(file_);
}

bool TLogOutput::Open(const std::string& file, bool toStderr, std::string& error, bool append) {
    toStderr_ = toStderr;
    if (file.empty()) return true;
    file_ = std::fopen(file.c_str(), append ? "ab" : "wb");
    if (!file_) {
        error = file + ": cannot write the log file";
        return false;
    }
    return true;
}

void TLogOutput::Write(const std::vector<std::string>& lines, const std::string& prefix) {
    if (lines.empty()) return;
    std::string text;
    for (const auto& line : lines)
        text += prefix + line + "\n";
    if (file_) {
        std::fwrite(text.data(), 1, text.size(), file_);
        std::fflush(file_);
    }
    if (!toStderr_) return;
    if (toStderr)
        toStderr(text);
    else
        ConsoleWrite(TStdStream::err, text);
}
