// The simulator's WebSocket line against a client's bytes as a browser sends
// them: the handshake's accept value, masked frames of each length form,
// a ping, and the close.
#include "tools/simulator/WebSocketLine.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// A line that hands out prepared bytes and keeps what is written.
class BytesLine final : public SimLine {
public:
    std::string in, out;
    bool hungUp = false;
    long Read(uint8_t* buffer, std::size_t size, int) override {
        if (in.empty()) return hungUp ? -1 : 0;
        const std::size_t n = std::min(size, in.size());
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

// A client's frame: always masked.
std::string ClientFrame(uint8_t opcode, const std::string& payload) {
    const uint8_t mask[4] = {0x12, 0x34, 0x56, 0x78};
    std::string f(1, char(0x80 | opcode));
    if (payload.size() < 126) {
        f += char(0x80 | payload.size());
    } else {
        f += char(0x80 | 126);
        f += char(payload.size() >> 8);
        f += char(payload.size() & 0xFF);
    }
    f.append(reinterpret_cast<const char*>(mask), 4);
    for (std::size_t i = 0; i < payload.size(); ++i)
        f += char(payload[i] ^ mask[i & 3]);
    return f;
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
