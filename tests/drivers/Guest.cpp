#include "tests/drivers/Guest.h"

#include "tools/simulator/SocketLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int Connect(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        fd = -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        long n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += std::size_t(n);
    }
    return true;
}

// Reads what arrives within timeoutMs; false once the far end has closed.
bool Receive(int fd, std::string& into, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return true;
    char chunk[4096];
    long n = recv(fd, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    into.append(chunk, std::size_t(n));
    return true;
}

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return int(std::max<long>(0, left.count()));
}

std::string FirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

GuestState ReadGuestState() {
    GuestState state;
    std::string dir = GUEST_STATE_DIR;
    state.skipReason = FirstLine(dir + "/skip");
    if (state.skipReason.empty()) {
        state.runDir = FirstLine(dir + "/run-dir");
        if (state.runDir.empty()) state.skipReason = "no guest: the fixture did not start it";
    }
    return state;
}

std::string CliRun::Field(const std::string& key) const {
    std::string tag = "\"" + key + "\": ";
    std::size_t at = json.find(tag);
    if (at == std::string::npos) return "<none>";
    at += tag.size();
    if (json[at] != '"') return json.substr(at, json.find_first_of(",}", at) - at);
    std::string value;
    for (std::size_t i = at + 1; i < json.size() && json[i] != '"'; ++i) {
        if (json[i] == '\\' && i + 1 < json.size()) ++i;
        value += json[i];
    }
    return value;
}

std::string CliRun::Describe() const {
    std::string text = "exit code " + std::to_string(rc) + "\nstdout: " + json + "\n";
    for (const auto& line : err)
        text += "stderr: " + line + "\n";
    return text;
}

GuestConsole::GuestConsole(const std::string& runDir) : fd_(Connect(runDir + "/con.sock")) {}

GuestConsole::~GuestConsole() {
    if (fd_ >= 0) close(fd_);
}

bool GuestConsole::ReadLine(std::string& line, int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t end;
    while ((end = buffer_.find('\n')) == std::string::npos) {
        if (fd_ < 0 || MsLeft(deadline) == 0 || !Receive(fd_, buffer_, MsLeft(deadline)))
            return false;
    }
    line = buffer_.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    buffer_.erase(0, end + 1);
    return true;
}

std::vector<std::string> GuestConsole::Command(const std::string& command, int timeoutMs) {
    std::string id = "@" + std::to_string(++next_);
    std::vector<std::string> answer;
    if (fd_ < 0 || !SendAll(fd_, id + " " + command + "\n")) {
        ADD_FAILURE() << "the guest's console is closed";
        return answer;
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string line;
    while (ReadLine(line, MsLeft(deadline))) {
        if (line.rfind(id + " ", 0) != 0) continue; // the kernel's messages, earlier answers
        std::string text = line.substr(id.size() + 1);
        if (text == "done") return answer;
        answer.push_back(text);
    }
    ADD_FAILURE() << "no answer from the guest to: " << command;
    return answer;
}

bool GuestConsole::WaitReady(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (MsLeft(deadline) > 0) {
        std::string id = "@" + std::to_string(++next_);
        if (fd_ < 0 || !SendAll(fd_, id + " ping\n")) return false;
        // Until the init reads the console, what is sent there is lost.
        auto retry = Clock::now() + std::chrono::milliseconds(500);
        std::string line;
        while (ReadLine(line, std::min(MsLeft(retry), MsLeft(deadline))))
            if (line.size() > 5 && line.compare(line.size() - 5, 5, " pong") == 0) return true;
    }
    return false;
}

CliRun GuestConsole::Run(const std::string& arguments, int timeoutMs) {
    Start("run", arguments);
    return Result("run", timeoutMs);
}

void GuestConsole::Start(const std::string& name, const std::string& arguments) {
    Command("start " + name + " " + arguments);
}

CliRun GuestConsole::Result(const std::string& name, int timeoutMs) {
    CliRun run;
    for (const auto& line : Command("result " + name, timeoutMs)) {
        if (line.rfind("out ", 0) == 0) run.json += line.substr(4);
        if (line.rfind("err ", 0) == 0) run.err.push_back(line.substr(4));
        if (line.rfind("rc ", 0) == 0) run.rc = std::atoi(line.c_str() + 3);
    }
    return run;
}

std::string GuestConsole::Read(const std::string& path) {
    auto lines = Command("sh cat " + path);
    return lines.empty() ? std::string() : lines.front();
}

std::string Monitor(const std::string& runDir, const std::string& command) {
    int fd = Connect(runDir + "/mon.sock");
    std::string out;
    auto deadline = Clock::now() + std::chrono::seconds(10);
    auto prompt = [&] {
        while (out.size() < 7 || out.compare(out.size() - 7, 7, "(qemu) ") != 0)
            if (MsLeft(deadline) == 0 || !Receive(fd, out, MsLeft(deadline))) return false;
        return true;
    };
    bool ok = fd >= 0 && prompt();
    out.clear();
    ok = ok && SendAll(fd, command + "\n") && prompt();
    if (fd >= 0) close(fd);
    EXPECT_TRUE(ok) << "QEMU's monitor did not answer " << command;
    return out;
}

std::unique_ptr<DeviceSimulator> StartDevice(const std::string& runDir, const std::string& chardev,
                                             SimConfig config) {
    auto line = std::make_unique<SocketLine>();
    std::string error;
    if (!line->Connect(runDir + "/" + chardev + ".sock", error)) {
        ADD_FAILURE() << error;
        return nullptr;
    }
    auto sim = std::make_unique<DeviceSimulator>(config);
    sim->Start(std::move(line));
    // QEMU takes one connection at a time: the last test's may still be
    // open on its side. Bytes the guest sends before it is taken are lost.
    auto deadline = Clock::now() + std::chrono::seconds(10);
    std::string entry = "\n" + chardev + ": filename=";
    while (MsLeft(deadline) > 0) {
        std::string info = Monitor(runDir, "info chardev");
        std::size_t at = info.find(entry);
        if (at != std::string::npos && info.compare(at + entry.size(), 5, "unix:") == 0) return sim;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ADD_FAILURE() << "QEMU did not take the connection on " << chardev;
    return sim;
}
