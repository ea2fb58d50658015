#include "platform/Console.h"

#include <cerrno>
#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

bool StdinIsTerminal() {
    return ::isatty(STDIN_FILENO) == 1;
}

bool StdoutIsTerminal() {
    return ::isatty(STDOUT_FILENO) == 1;
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

int TerminalColumns() {
    winsize w{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0) return w.ws_col;
    return 0;
}

bool StderrTakesCursorMoves() {
    return StderrIsTerminal();
}

void RestoreConsoleModes() {
    // No terminal setting is changed here.
}

bool ConsoleWrite(TStdStream stream, const std::string& text) {
    int fd = stream == TStdStream::out ? STDOUT_FILENO : STDERR_FILENO;
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

void IgnoreBrokenPipe() {
    std::signal(SIGPIPE, SIG_IGN);
}
