#include "tools/simulator/WebSocketLine.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {

uint32_t Rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// SHA-1 (FIPS 180-4), which the handshake's accept value is made of.
std::array<uint8_t, 20> Sha1(std::string_view text) {
    std::vector<uint8_t> m(text.begin(), text.end());
    const uint64_t bits = uint64_t(m.size()) * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56)
        m.push_back(0);
    for (int i = 7; i >= 0; --i)
        m.push_back(uint8_t(bits >> (8 * i)));
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    for (std::size_t at = 0; at < m.size(); at += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(m[at + 4 * i]) << 24 | uint32_t(m[at + 4 * i + 1]) << 16 |
                   uint32_t(m[at + 4 * i + 2]) << 8 | m[at + 4 * i + 3];
        for (int i = 16; i < 80; ++i)
            w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            const uint32_t f = i < 20   ? (b & c) | (~b & d)
                               : i < 40 ? b ^ c ^ d
                               : i < 60 ? (b & c) | (b & d) | (c & d)
                                        : b ^ c ^ d;
            const uint32_t k = i < 20   ? 0x5A827999
                               : i < 40 ? 0x6ED9EBA1
                               : i < 60 ? 0x8F1BBCDC
                                        : 0xCA62C1D6;
            const uint32_t t = Rotl(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = Rotl(b, 30);
            b = a;
            a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::array<uint8_t, 20> out;
    for (int i = 0; i < 20; ++i)
        out[std::size_t(i)] = uint8_t(h[i / 4] >> (24 - 8 * (i % 4)));
    return out;
}

std::string Base64(const uint8_t* p, std::size_t n) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < n; i += 3) {
        const uint32_t v = uint32_t(p[i]) << 16 | (i + 1 < n ? uint32_t(p[i + 1]) << 8 : 0) |
                           (i + 2 < n ? p[i + 2] : 0);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < n ? digits[(v >> 6) & 63] : '=';
        out += i + 2 < n ? digits[v & 63] : '=';
    }
    return out;
}

// The value of a request's header, found by its name in any case.
std::string Header(const std::string& request, std::string_view name) {
    for (std::size_t at = request.find("\r\n"); at != std::string::npos;
         at = request.find("\r\n", at + 2)) {
        const std::size_t colon = request.find(':', at + 2);
        const std::size_t end = request.find("\r\n", at + 2);
        if (colon == std::string::npos || colon > end || colon - (at + 2) != name.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(uint8_t(request[at + 2 + i])) == std::tolower(uint8_t(name[i]));
        if (!same) continue;
        std::size_t from = colon + 1;
        while (from < end && request[from] == ' ')
            ++from;
        return request.substr(from, end - from);
    }
    return {};
}

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = char(std::tolower(uint8_t(c)));
    return out;
}

} // namespace

WebSocketLine::WebSocketLine(std::unique_ptr<SimLine> raw, std::string origin)
    : raw_(std::move(raw)), origin_(std::move(origin)) {}

bool WebSocketLine::OriginAllowed(std::string_view origin, std::string_view allowed) {
    if (origin.empty()) return true; // no browser: a browser always names the page
    const std::string o = Lower(origin);
    if (!allowed.empty()) return o == Lower(allowed);
    for (std::string_view host : {"http://127.0.0.1", "http://localhost", "http://[::1]"}) {
        if (o.compare(0, host.size(), host) != 0) continue;
        const std::string_view rest = std::string_view(o).substr(host.size());
        if (rest.empty()) return true;
        return rest.size() > 1 && rest.size() <= 6 && rest[0] == ':' &&
               rest.find_first_not_of("0123456789", 1) == std::string_view::npos;
    }
    return false;
}

std::string WebSocketLine::AcceptFor(std::string_view key) {
    const auto digest = Sha1(std::string(key) + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11");
    return Base64(digest.data(), digest.size());
}

bool WebSocketLine::Handshake(int timeoutMs, std::string& error) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string request;
    uint8_t buffer[1024];
    std::size_t end;
    while ((end = request.find("\r\n\r\n")) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0 || request.size() > 16384) {
            error = "no WebSocket request came";
            return false;
        }
        const long n = raw_->Read(buffer, sizeof buffer, int(left.count()));
        if (n < 0) {
            error = "the client left before its WebSocket request";
            return false;
        }
        request.append(reinterpret_cast<char*>(buffer), std::size_t(n));
    }
    // Whatever follows the request is the first frames.
    in_.assign(request.begin() + long(end + 4), request.end());
    request.resize(end + 2);
    const std::string key = Header(request, "Sec-WebSocket-Key");
    if (request.compare(0, 4, "GET ") != 0 || key.empty()) {
        const std::string refusal = "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n";
        raw_->Write(refusal.data(), refusal.size());
        error = "not a WebSocket request";
        return false;
    }
    if (!OriginAllowed(Header(request, "Origin"), origin_)) {
        const std::string refusal = "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n";
        raw_->Write(refusal.data(), refusal.size());
        error = "a WebSocket request from another origin (" + Header(request, "Origin") + ")";
        return false;
    }
    const std::string answer = "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                               "Connection: Upgrade\r\nSec-WebSocket-Accept: " +
                               AcceptFor(key) + "\r\n\r\n";
    if (!raw_->Write(answer.data(), answer.size())) {
        error = "the client left during the handshake";
        return false;
    }
    return true;
}

bool WebSocketLine::TakeFrames() {
    for (;;) {
        // The header: 2 bytes, 2 or 8 more for a longer length, then the mask.
        if (in_.size() < 2) return true;
        const bool fin = in_[0] & 0x80;
        const uint8_t opcode = in_[0] & 0x0F;
        const bool masked = in_[1] & 0x80;
        uint64_t length = in_[1] & 0x7F;
        std::size_t at = length == 126 ? 4 : length == 127 ? 10 : 2;
        if (in_.size() < at) return true;
        if (at > 2) {
            length = 0;
            for (std::size_t i = 2; i < at; ++i)
                length = length << 8 | in_[i];
        }
        // Judged as soon as the header is known, so that a frame refused
        // is never waited for nor kept.
        const bool control = opcode & 0x8;
        if ((in_[0] & 0x70) != 0 || !masked) return Refuse(1002);
        if (control && (opcode > 0xA || !fin || length > 125)) return Refuse(1002);
        if (!control && (opcode > 0x2 || (opcode == 0) != fragmented_)) return Refuse(1002);
        if (!control && length > kMaxMessage - (opcode == 0 ? message_ : 0)) return Refuse(1009);
        const std::size_t mask = at;
        at += 4;
        if (in_.size() < at || in_.size() - at < length) return true;

        std::vector<uint8_t> data(in_.begin() + long(at), in_.begin() + long(at + length));
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] ^= in_[mask + (i & 3)];
        in_.erase(in_.begin(), in_.begin() + long(at + length));
        if (opcode == 0x8) { // close: answered, and the line is hung up
            SendFrame(0x8, nullptr, 0);
            return false;
        }
        if (opcode == 0x9) SendFrame(0xA, data.data(), data.size()); // ping
        if (control) continue;
        message_ = (opcode == 0 ? message_ : 0) + length;
        fragmented_ = !fin;
        payload_.insert(payload_.end(), data.begin(), data.end());
    }
}

bool WebSocketLine::Refuse(uint16_t status) {
    const uint8_t code[2] = {uint8_t(status >> 8), uint8_t(status)};
    SendFrame(0x8, code, sizeof code);
    in_.clear();
    return false;
}

long WebSocketLine::Read(uint8_t* buffer, std::size_t size, int timeoutMs) {
    if (payload_.empty()) {
        if (closed_) return -1;
        uint8_t bytes[4096];
        const long n = raw_->Read(bytes, sizeof bytes, timeoutMs);
        if (n < 0) {
            closed_ = true;
            return -1;
        }
        in_.insert(in_.end(), bytes, bytes + n);
        if (n > 0) arrivedAt_ = raw_->ArrivedAt();
        if (!TakeFrames()) {
            closed_ = true;
            raw_->HangUp();
        }
        if (payload_.empty()) return closed_ ? -1 : 0;
    }
    const std::size_t n = std::min(size, payload_.size());
    std::memcpy(buffer, payload_.data(), n);
    payload_.erase(payload_.begin(), payload_.begin() + long(n));
    return long(n);
}

bool WebSocketLine::SendFrame(uint8_t opcode, const void* data, std::size_t size) {
    std::vector<uint8_t> frame = {uint8_t(0x80 | opcode)};
    if (size < 126) {
        frame.push_back(uint8_t(size));
    } else if (size < 65536) {
        frame.insert(frame.end(), {126, uint8_t(size >> 8), uint8_t(size)});
    } else {
        frame.push_back(127);
        for (int i = 7; i >= 0; --i)
            frame.push_back(uint8_t(uint64_t(size) >> (8 * i)));
    }
    const auto* p = static_cast<const uint8_t*>(data);
    frame.insert(frame.end(), p, p + size);
    return raw_->Write(frame.data(), frame.size());
}

bool WebSocketLine::Write(const void* data, std::size_t size) {
    return !closed_ && SendFrame(0x2, data, size);
}

void WebSocketLine::HangUp() {
    if (!closed_) SendFrame(0x8, nullptr, 0);
    closed_ = true;
    raw_->HangUp();
}
