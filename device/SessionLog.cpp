#include "device/SessionLog.h"
#include "device/Protocol.h"
#include "device/UploadOutcome.h"
#include "device/VisibleText.h"
#include "platform/Ports.h"
#include "platform/Text1251.h"
#include "serial/qeComAsync.h"

#include <cstdio>
#include <filesystem>

namespace {

// Puts `tap`'s input in front of what `link` leads to; `out` keeps the old way.
template <auto Input> void Tap(TEventLink& link, TEventLink& out, TSessionLog* log) {
    out = link;
    link = MakeLink<Input>(link.index, log);
}

std::string Milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

std::string LineSettings(const TQeComAsync& port) {
    static const char* parities[] = {"no parity", "odd parity", "even parity", "mark parity",
                                     "space parity"};
    static const char* stops[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    bool flow = port.CtsFlow || port.DsrFlow || port.XonXoffIn || port.XonXoffOut;
    return std::to_string(port.BaudRate) + " baud, " + std::to_string(port.DataBits + 5) +
           " data bits, " + parities[port.Parity <= 4 ? port.Parity : 0] + ", " +
           stops[port.StopBits <= 2 ? port.StopBits : 0] + ", " +
           (flow ? "flow control" : "no flow control");
}

} // namespace

std::string HexBytes(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string PrintableText(const std::string& bytes) {
    std::string text;
    for (unsigned char c : bytes)
        text += c >= 0x20 && c != 0x7F && c != 0x98 ? char(c) : '.';
    return Cp1251ToUtf8(text);
}

void TSessionLog::Attach(TDeviceSession& session) {
    session_ = &session;
    TQeComAsync& port = *session.SerialPort;
    port.onBeforeOpen = MakeLink<&TSessionLog::inBeforeOpen>(0, this);
    port.onClose = MakeLink<&TSessionLog::inClose>(0, this);
    Tap<&TSessionLog::inOpen>(port.onOpen, openOut_, this);
    Tap<&TSessionLog::inRead>(port.onRead, readOut_, this);
    auto& probe = session.ProbeHost->onPass;
    Tap<&TSessionLog::inVers>(probe[probe_write], versOut_, this);
    Tap<&TSessionLog::inFound>(probe[probe_found], foundOut_, this);
    probe[probe_not_found] = MakeLink<&TSessionLog::inNotFound>(0, this);
    auto& upload = session.UploadHost->onPass;
    Tap<&TSessionLog::inCrc>(upload[upload_crc], crcOut_, this);
    Tap<&TSessionLog::inSuccess>(upload[upload_success], successOut_, this);
    Tap<&TSessionLog::inFailure>(upload[upload_failure], failureOut_, this);
}

std::string TSessionLog::Stamp(Clock::time_point at) const {
    char text[32];
    // Seconds with their milliseconds.
    std::snprintf(text, sizeof text, "%9.3f", std::chrono::duration<double>(at - t0_).count());
    return text;
}

void TSessionLog::Add(const std::string& text) {
    std::string line = Stamp(Clock::now()) + "  " + text;
    lines_.push_back(line);
    if (sink) sink(line);
}

void TSessionLog::Note(const std::string& text) {
    std::lock_guard lock(mutex_);
    Add(text);
}

std::vector<std::string> TSessionLog::Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::vector<std::string> TSessionLog::LastSession() const {
    std::lock_guard lock(mutex_);
    return std::vector<std::string>(lines_.begin() + std::ptrdiff_t(sessionStart_), lines_.end());
}

void TSessionLog::End() {
    {
        std::lock_guard lock(mutex_);
        if (!inSession_) return;
        inSession_ = false;
    }
    if (ended) ended();
}

void TSessionLog::Finish() {
    {
        std::lock_guard lock(mutex_);
        if (!inSession_) return;
        CloseBlock();
        Add("session ended");
    }
    End();
}

void TSessionLog::CloseBlock() {
    if (!block_.open) return;
    block_.open = false;
    std::string line = "block " + std::to_string(block_.number) + "/" +
                       std::to_string(kImageBlocks) + "  crc " + block_.crc + "  reply ";
    if (block_.reply.empty()) {
        line += "none";
    } else {
        line +=
            block_.reply + "  after " +
            Milliseconds(
                std::chrono::duration<double, std::milli>(block_.replyAt - block_.sentAt).count());
    }
    Add(line);
}

void TSessionLog::inBeforeOpen(TData&, uint16_t) {
    std::lock_guard lock(mutex_);
    t0_ = Clock::now();
    sessionStart_ = lines_.size();
    uploading_ = false;
    inSession_ = true;
    block_ = {};
    bytes_ = 0;
}

void TSessionLog::inOpen(TData& d, uint16_t) {
    int32_t number = ToInteger(d);
    {
        std::lock_guard lock(mutex_);
        TQeComAsync& port = *session_->SerialPort;
        std::string name = port.PortName();
        if (number > 0) {
            std::string device;
            ResolvePort(name, device);
            // The device itself, where a link in the port directory leads.
            std::error_code ec;
            std::string target = std::filesystem::canonical(device, ec).string();
            if (!ec && !target.empty()) device = target;
            Add("opened " + name + (device.empty() ? "" : " (" + device + ")") + ": " +
                LineSettings(port));
            if (std::string note = port.LatencyNote(); !note.empty()) Add(note);
        } else {
            Add("could not open " + (name.empty() ? std::string("the port") : name));
        }
    }
    Fire(openOut_, d);
    if (number <= 0) End();
}

void TSessionLog::inRead(TData& d, uint16_t) {
    {
        std::string bytes = ToString(d);
        std::lock_guard lock(mutex_);
        if (uploading_) {
            // A piece of the reply to the block in flight.
            if (block_.reply.empty()) block_.replyAt = Clock::now();
            if (!block_.reply.empty()) block_.reply += "+";
            for (char c : HexBytes(bytes))
                if (c != ' ') block_.reply += c;
        } else if (!bytes.empty()) {
            Add("received " + HexBytes(bytes) + "  \"" + PrintableText(bytes) + "\"");
        }
    }
    Fire(readOut_, d);
}

void TSessionLog::inVers(TData& d, uint16_t) {
    {
        std::string bytes = ToString(d);
        std::lock_guard lock(mutex_);
        Add("sent " + HexBytes(bytes) + "  \"" + PrintableText(bytes) + "\"");
    }
    Fire(versOut_, d);
}

void TSessionLog::inFound(TData& d, uint16_t) {
    {
        TData name, version;
        std::string device = Cp1251ToUtf8(ReadString(
            name, MakeLink<&TQeMultiElementEx::valPass>(probe_device, session_->ProbeHost), ""));
        std::string firmware = Cp1251ToUtf8(ReadString(
            version, MakeLink<&TQeMultiElementEx::valPass>(probe_version, session_->ProbeHost),
            ""));
        std::lock_guard lock(mutex_);
        Add("identified: device " + VisibleText(device) + ", firmware " + VisibleText(firmware));
    }
    Fire(foundOut_, d);
}

void TSessionLog::inNotFound(TData& d, uint16_t) {
    std::lock_guard lock(mutex_);
    if ((d.type & ~data_forward) == data_null)
        Add("no device: the port did not open");
    else
        Add("no device: the answer is no Varnomiksal bootloader's (\"" +
            PrintableText(ToString(d)) + "\")");
}

void TSessionLog::inCrc(TData& d, uint16_t) {
    // The CRC step comes before its byte is written: the count is the
    // image bytes handed to the port, this one included.
    int n = bytes_.fetch_add(1, std::memory_order_relaxed) + 1;
    int inBlock = n % kBlockBytes;
    if (inBlock == 1 || inBlock == 0) {
        std::lock_guard lock(mutex_);
        if (n > 1 && !uploading_) {
            // The outcome is logged: the rest of a block that a time-out cut
            // short adds no line after it.
        } else if (inBlock == 1) {
            // The next block begins: the last one was acknowledged.
            if (n == 1) {
                uploading_ = true;
                Add("upload started");
            }
            CloseBlock();
        } else {
            block_ = {};
            block_.open = true;
            block_.number = n / kBlockBytes;
            block_.crc = ToString(d);
            block_.sentAt = Clock::now();
        }
    }
    Fire(crcOut_, d);
}

void TSessionLog::inSuccess(TData& d, uint16_t) {
    {
        std::lock_guard lock(mutex_);
        CloseBlock();
        Add("final acknowledgement " + ToString(d) + "; sent \"" + kStartCommand + "\"");
        Add("outcome: success, " + std::to_string(bytes_.load()) + " bytes written");
        uploading_ = false;
    }
    Fire(successOut_, d);
}

void TSessionLog::inFailure(TData& d, uint16_t) {
    {
        std::lock_guard lock(mutex_);
        int number = block_.number;
        std::string crc = block_.crc;
        CloseBlock();
        TFailureSeen seen = DecodeFailure(d);
        TFailureFacts facts;
        facts.reply = seen.reply;
        facts.expected = crc;
        facts.where = number > 0 ? "block " + std::to_string(number) : "before block 1";
        Add(FailureWords(seen.failure, TFailureTeller::log, facts));
        Add("outcome: failure, " + std::to_string(bytes_.load()) + " bytes written");
        uploading_ = false;
    }
    Fire(failureOut_, d);
}

void TSessionLog::inClose(TData&, uint16_t) {
    {
        std::lock_guard lock(mutex_);
        CloseBlock();
        Add("port closed");
        if (std::string note = session_->SerialPort->LatencyNote(); !note.empty()) Add(note);
    }
    End();
}
