// Colour values: plain 0x00BBGGRR references, or system colours when the top
// bit is set (the low byte names the system colour).
#pragma once

#include <cstdint>

// The classic Windows scheme's system colour `index` (0x00BBGGRR); 0 for
// indexes outside the table.
uint32_t ClassicColor(int index);

// The system colour `index` as the system has it now: on Win32 the user's
// scheme (GetSysColor); where there is no such scheme, the classic one.
// Defined by the toolkit's backend.
uint32_t SysColor(int index);

// A colour value made usable: system colours are looked up, others pass.
uint32_t ResolveColor(uint32_t color);

inline constexpr uint32_t Rgb(int r, int g, int b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

enum : uint32_t {
    clBtnFace = 0x8000000F,
    clHighlight = 0x8000000D,
    clWindow = 0x80000005,
    clInfoBk = 0x80000018,
    clInfoText = 0x80000017,
};
