// A line carried in WebSocket messages (RFC 6455) over another line: the
// page's stand-in for Web Serial connects straight to the device, so no
// relay sits between the browser and the simulator. The device's side is the
// server: it answers the opening handshake, reads the client's masked
// frames and writes each reply as one binary message.
#pragma once

#include "tools/simulator/SimLine.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class WebSocketLine final : public SimLine {
public:
    explicit WebSocketLine(std::unique_ptr<SimLine> raw) : raw_(std::move(raw)) {}

    // Reads the client's opening request and accepts it, within timeoutMs.
    bool Handshake(int timeoutMs, std::string& error);

    long Read(uint8_t* buffer, std::size_t size, int timeoutMs) override;
    bool Write(const void* data, std::size_t size) override;
    void HangUp() override;
    void Wake() override { raw_->Wake(); }
    double ArrivedAt() const override { return arrivedAt_; }

    // The Sec-WebSocket-Accept value for a client's Sec-WebSocket-Key.
    static std::string AcceptFor(std::string_view key);

private:
    // Takes whole frames out of in_: payloads into payload_, control frames
    // answered. False once the client closed.
    bool TakeFrames();
    bool SendFrame(uint8_t opcode, const void* data, std::size_t size);

    std::unique_ptr<SimLine> raw_;
    std::vector<uint8_t> in_;      // received, not yet a whole frame
    std::vector<uint8_t> payload_; // message bytes not yet read
    bool closed_ = false;
    double arrivedAt_ = 0; // when the bytes now being read reached the line
};
