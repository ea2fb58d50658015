// Style words of the windows the toolkit creates, computed from the
// elements' settings.
#pragma once

#include "ui/toolkit/WinDefs.h"

#include <cstdint>

enum class TControlKind { Form, Button, Label, Picture, Edit, Combo, Progress };

// Styles every child control gets.
inline constexpr uint32_t kChildClipStyles = WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
// The default overlapped form window.
inline constexpr uint32_t kFormStyle = 0x16CF0000;

struct TStyles {
    uint32_t style = 0;
    uint32_t exStyle = 0;
};

// Base class name and styles of a newly created control of `kind`. Options
// are the edit, combo or progress option bits.
const char* ClassNameOf(TControlKind kind);
TStyles InitialStyles(TControlKind kind, uint32_t options);

// Styles of an edit (bits: 0 auto-h-scroll off ... 9 want-return).
uint32_t EditOptionStyle(uint32_t options);
// Styles of a combo box (bit 0 drop-down list, 6 sort, 8 owner-draw ...).
uint32_t ComboOptionStyle(uint32_t options);
// Styles of a progress bar (bit 0 vertical, bit 1 smooth).
uint32_t ProgressOptionStyle(uint32_t options);

// Border style n (0..9) of a form; false (styles unchanged) when n > 9.
bool ApplyBorderStyle(TStyles& s, int n);

// Replaces the text alignment bits (0 left, 1 right, 2 centre) of a label
// or an edit; other kinds are unchanged.
uint32_t ApplyTextAlign(TControlKind kind, uint32_t style, int align);

// The non-client extent of a top-level window with these styles, in the
// classic metrics: frame on each side and the caption height.
struct TFrameExtent {
    int frame = 0;
    int caption = 0;
};
TFrameExtent FrameExtentOf(const TStyles& s);
