// A line carried in WebSocket messages (RFC 6455) over another line: the
// page's stand-in for Web Serial connects straight to the device, so no
// relay sits between the browser and the simulator. The device's side is the
// server: it answers the opening handshake, reads the client's masked
// frames and writes each reply as one binary message. It listens on a local
// port that any web page could reach, so it answers only the page's own
// origin and refuses any frame it would have to trust blindly: unmasked,
// malformed, or larger than kMaxMessage.
#pragma once

#include "tools/simulator/SimLine.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class WebSocketLine final : public SimLine {
public:
    // The most a message (or one frame) may carry: far above anything the
    // page sends in one write, far below what would strain the simulator.
    static constexpr std::size_t kMaxMessage = 1 << 20;

    // origin: the one page origin allowed to connect (as a browser sends it,
    // e.g. "http://127.0.0.1:8080"); empty: any page on the loopback address.
    explicit WebSocketLine(std::unique_ptr<SimLine> raw, std::string origin = {});

    // Reads the client's opening request and accepts it, within timeoutMs.
    // A request from another origin is refused (403).
    bool Handshake(int timeoutMs, std::string& error);

    long Read(uint8_t* buffer, std::size_t size, int timeoutMs) override;
    bool Write(const void* data, std::size_t size) override;
    void HangUp() override;
    void Wake() override { raw_->Wake(); }
    double ArrivedAt() const override { return arrivedAt_; }

    // The Sec-WebSocket-Accept value for a client's Sec-WebSocket-Key.
    static std::string AcceptFor(std::string_view key);
    // Whether a request's Origin header (empty: none, a client that is no
    // browser) may connect, given the one allowed origin (empty: loopback).
    static bool OriginAllowed(std::string_view origin, std::string_view allowed);

private:
    // Takes whole frames out of in_: payloads into payload_, control frames
    // answered. False once the client closed or broke the protocol.
    bool TakeFrames();
    // Closes with a status code (RFC 6455 7.4): the client broke the rules.
    bool Refuse(uint16_t status);
    bool SendFrame(uint8_t opcode, const void* data, std::size_t size);

    std::unique_ptr<SimLine> raw_;
    std::vector<uint8_t> in_;      // received, not yet a whole frame
    std::vector<uint8_t> payload_; // message bytes not yet read
    std::string origin_;           // the page's origin allowed, or empty
    std::size_t message_ = 0;      // bytes of the fragmented message so far
    bool fragmented_ = false;      // a message's first frame came, its last not yet
    bool closed_ = false;
    double arrivedAt_ = 0; // when the bytes now being read reached the line
};
