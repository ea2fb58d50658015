#include "app/cli/CliRun.h"

#include "platform/Console.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace {

int Rank(int code) {
    switch (code) {
    case exit_ok:
        return 0;
    case exit_interrupted:
        return 1;
    case exit_no_device:
        return 2;
    case exit_transfer_failed:
        return 3;
    default:
        return 4;
    }
}

} // namespace

int WorseExit(int a, int b) {
    return Rank(a) >= Rank(b) ? a : b;
}

std::string Format(const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text(std::size_t(std::max(length, 0)) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, again);
    va_end(again);
    text.pop_back();
    return text;
}

void Say(const TRun& run, const std::string& line) {
    if (!run.options.json) ConsoleWrite(TStdStream::out, line + "\n");
}

void Error(const std::string& line) {
    ConsoleWrite(TStdStream::err, "varnomiksal-cli: " + line + "\n");
}

int Finish(TRun& run, int code, const std::string& message) {
    run.json.Add("exit_code", (long long)code);
    run.json.Add("message", message);
    if (run.options.json) ConsoleWrite(TStdStream::out, run.json.Text() + "\n");
    return code;
}

int Fail(TRun& run, int code, const std::string& message) {
    Error(message);
    run.json.Add("result", std::string(code == exit_interrupted ? "interrupted" : "error"));
    return Finish(run, code, message);
}
