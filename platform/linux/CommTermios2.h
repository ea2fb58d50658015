// Line settings through the kernel's termios2 interface, which takes any baud
// rate. Kept apart because <asm/termbits.h> cannot share a source file with
// <termios.h>; this header includes neither.
#pragma once

#include <cstdint>

struct TTermiosLine {
    uint32_t baud = 9600;
    int dataBits = 8; // 5..8
    int parity = 0;   // none, odd, even, mark, space
    int stopBits = 0; // one, one and a half, two
    bool parityCheck = false;
    bool ctsRtsFlow = false;
    bool xonOut = false;
    bool xonIn = false;
    uint8_t xonChar = 17;
    uint8_t xoffChar = 19;
};

// Puts the line in raw mode with the given settings; takes effect at once
// (no wait for the output queue to drain).
bool ApplyTermiosLine(int fd, const TTermiosLine& line);
// Reads the settings back from the driver.
bool ReadTermiosLine(int fd, TTermiosLine& line);
// Discards the input and/or output queue.
bool FlushTermiosQueues(int fd, bool input, bool output);
