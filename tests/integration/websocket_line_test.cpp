// The simulator's WebSocket line against a client's bytes as a browser sends
// them: the handshake's accept value, masked frames of each length form,
// a ping, and the close; the same split anywhere, byte by byte and at random;
// and what it refuses: foreign origins, unmasked and oversized frames.
#include "tools/simulator/WebSocketLine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// A line that hands out prepared bytes, at most `most` at a time (or a
// random count of 1 to 20 when given splits), and keeps what is written.
class BytesLine final : public SimLine {
public:
    std::string in, out;
    bool hungUp = false;
    std::size_t most = SIZE_MAX;
    std::mt19937* splits = nullptr;
    long Read(uint8_t* buffer, std::size_t size, int) override {
        if (in.empty()) return hungUp ? -1 : 0;
        std::size_t n = std::min({size, in.size(), most});
        if (splits) n = std::min(n, std::size_t(1 + (*splits)() % 20));
        std::memcpy(buffer, in.data(), n);
        in.erase(0, n);
        return long(n);
    }
    bool Write(const void* data, std::size_t size) override {
        out.append(static_cast<const char*>(data), size);
        return true;
    }
    void HangUp() override { hungUp = true; }
    void Wake() override {}
};

// A client's frame, masked as a browser's always is; `length` stands in the
// header in place of the payload's own (to claim more than is sent).
std::string ClientFrame(uint8_t opcode, const std::string& payload, bool fin = true,
                        bool masked = true, uint64_t length = UINT64_MAX) {
    if (length == UINT64_MAX) length = payload.size();
    const uint8_t mask[4] = {0x12, 0x34, 0x56, 0x78};
    const char m = masked ? char(0x80) : 0;
    std::string f(1, char((fin ? 0x80 : 0) | opcode));
    if (length < 126) {
        f += char(m | char(length));
    } else if (length < 65536) {
        f += char(m | 126);
        f += char(length >> 8);
        f += char(length & 0xFF);
    } else {
        f += char(m | 127);
        for (int i = 7; i >= 0; --i)
            f += char(length >> (8 * i));
    }
    if (masked) f.append(reinterpret_cast<const char*>(mask), 4);
    for (std::size_t i = 0; i < payload.size(); ++i)
        f += char(payload[i] ^ (masked ? mask[i & 3] : 0));
    return f;
}

const std::string kRequest = "GET /serial HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                             "Origin: http://127.0.0.1:8080\r\n"
                             "sec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n";

// Everything the line yields until it hangs up or has nothing more.
std::string ReadAll(WebSocketLine& line, bool& ended) {
    std::string got;
    uint8_t buffer[100];
    ended = false;
    for (;;) {
        const long n = line.Read(buffer, sizeof buffer, 0);
        if (n < 0) ended = true;
        if (n <= 0) return got;
        got.append(reinterpret_cast<char*>(buffer), std::size_t(n));
    }
}

// A line on the given bytes, past its handshake from the page's origin.
WebSocketLine Opened(std::unique_ptr<BytesLine> raw, const std::string& frames) {
    raw->in = kRequest + frames;
    WebSocketLine line(std::move(raw), "http://127.0.0.1:8080");
    std::string error;
    EXPECT_TRUE(line.Handshake(1000, error)) << error;
    return line;
}

} // namespace

TEST(WebSocketLine, AnswersTheHandshakeAndCarriesMessagesBothWays) {
    EXPECT_EQ(WebSocketLine::AcceptFor("dGhlIHNhbXBsZSBub25jZQ=="), "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=");

    auto raw = std::make_unique<BytesLine>();
    BytesLine& bytes = *raw;
    const std::string block(256, '\xA5');
    bytes.in = "GET /serial HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
               "sec-websocket-key: dGhlIHNhbXBsZSBub25jZQ==\r\n\r\n" +
               ClientFrame(0x2, "VERS") + ClientFrame(0x9, "p") + ClientFrame(0x2, block);
    WebSocketLine line(std::move(raw));
    std::string error;
    ASSERT_TRUE(line.Handshake(1000, error)) << error;
    EXPECT_NE(bytes.out.find("101 Switching Protocols"), std::string::npos);
    EXPECT_NE(bytes.out.find("Sec-WebSocket-Accept: s3pPLMBiTxaQ9kYGzzhZRbK+xOo=\r\n\r\n"),
              std::string::npos);
    bytes.out.clear();

    // Both messages come through unmasked, whatever pieces the reads take.
    std::string got;
    uint8_t buffer[100];
    for (long n; (n = line.Read(buffer, sizeof buffer, 0)) > 0;)
        got.append(reinterpret_cast<char*>(buffer), std::size_t(n));
    EXPECT_EQ(got, "VERS" + block);
    EXPECT_EQ(bytes.out, std::string("\x8A\x01p", 3)); // the ping's pong

    bytes.out.clear();
    ASSERT_TRUE(line.Write("\x12\x34", 2));
    EXPECT_EQ(bytes.out, std::string("\x82\x02\x12\x34", 4));

    // The client's close is answered, and the line is then hung up.
    bytes.out.clear();
    bytes.in = ClientFrame(0x8, "");
    EXPECT_EQ(line.Read(buffer, sizeof buffer, 0), -1);
    EXPECT_EQ(bytes.out, std::string("\x88\x00", 2));
    EXPECT_TRUE(bytes.hungUp);
    EXPECT_FALSE(line.Write("x", 1));
}

TEST(WebSocketLine, TakesFramesSplitAnywhere) {
    // Every length form, a message in fragments with a ping between them,
    // then the close: byte by byte, and in 200 seeded random splits.
    const std::string big(70000, 'b'), mid(300, 'm');
    const std::string bigFrame = ClientFrame(0x2, big);
    const std::string frames = ClientFrame(0x2, "VERS") + ClientFrame(0x2, mid) +
                               ClientFrame(0x2, "frag", false) + ClientFrame(0x9, "p") +
                               ClientFrame(0x0, "ment", false) + ClientFrame(0x0, "ed") +
                               ClientFrame(0x8, "");
    const std::string message = "VERS" + mid + "fragmented";

    std::mt19937 random(41);
    for (int round = 0; round <= 200; ++round) {
        auto raw = std::make_unique<BytesLine>();
        BytesLine& bytes = *raw;
        if (round == 0)
            bytes.most = 1;
        else
            bytes.splits = &random;
        WebSocketLine line = Opened(std::move(raw), round == 0 ? bigFrame + frames : frames);
        bytes.out.clear();
        std::string got;
        bool ended = false;
        while (!ended)
            got += ReadAll(line, ended);
        ASSERT_EQ(got, round == 0 ? big + message : message) << "round " << round;
        EXPECT_EQ(bytes.out, std::string("\x8A\x01p\x88\x00", 5)) << "round " << round;
    }

    // Garbage, split at random, ends in a refusal or in nothing, never in
    // more bytes than were sent.
    for (int round = 0; round < 200; ++round) {
        auto raw = std::make_unique<BytesLine>();
        BytesLine& bytes = *raw;
        std::string garbage(1 + random() % 64, '\0');
        for (char& c : garbage)
            c = char(random());
        if (round % 2) garbage[0] = char(0x82), garbage[1] = char(0xFE | (random() & 1));
        WebSocketLine line = Opened(std::move(raw), garbage);
        bytes.splits = &random;
        bool ended = false;
        std::string got;
        while (!bytes.in.empty() && !ended)
            got += ReadAll(line, ended);
        EXPECT_LE(got.size(), garbage.size());
    }
}

TEST(WebSocketLine, RefusesForeignOriginsUnmaskedAndOversizedFrames) {
    for (const char* origin : {"", "http://127.0.0.1", "http://localhost:8080", "http://[::1]:80"})
        EXPECT_TRUE(WebSocketLine::OriginAllowed(origin, "")) << origin;
    for (const char* origin : {"http://evil.example", "http://127.0.0.1.evil.example",
                               "http://localhost:80x", "null", "https://localhost.evil:1"})
        EXPECT_FALSE(WebSocketLine::OriginAllowed(origin, "")) << origin;
    EXPECT_TRUE(WebSocketLine::OriginAllowed("http://LOCALHOST:8080", "http://localhost:8080"));
    EXPECT_FALSE(WebSocketLine::OriginAllowed("http://localhost:9999", "http://localhost:8080"));

    // A page elsewhere is refused before any frame is read.
    auto raw = std::make_unique<BytesLine>();
    BytesLine& bytes = *raw;
    bytes.in = kRequest;
    WebSocketLine foreign(std::move(raw), "http://127.0.0.1:9999");
    std::string error;
    EXPECT_FALSE(foreign.Handshake(1000, error));
    EXPECT_EQ(bytes.out.rfind("HTTP/1.1 403 Forbidden", 0), 0u);

    // Each refused with its status code, at the header, before any payload.
    const std::string half(600000, 'x');
    struct Case {
        std::string frames, status;
    } cases[] = {
        {ClientFrame(0x2, "VERS", true, false), "\x03\xEA"},               // unmasked: 1002
        {ClientFrame(0x2, "", true, true, uint64_t(1) << 40), "\x03\xF1"}, // too big: 1009
        {ClientFrame(0x2, half, false) + ClientFrame(0x0, half), "\x03\xF1"},
        {ClientFrame(0x0, "late"), "\x03\xEA"},                // a continuation of nothing
        {ClientFrame(0x9, std::string(126, 'p')), "\x03\xEA"}, // a long ping
    };
    for (const Case& c : cases) {
        auto raw = std::make_unique<BytesLine>();
        BytesLine& bytes = *raw;
        WebSocketLine line = Opened(std::move(raw), c.frames);
        bytes.out.clear();
        bool ended = false;
        while (!ended)
            ReadAll(line, ended);
        EXPECT_EQ(bytes.out, "\x88\x02" + c.status);
        EXPECT_TRUE(bytes.hungUp);
    }
}
