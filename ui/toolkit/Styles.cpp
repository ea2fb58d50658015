#include "ui/toolkit/Styles.h"

#include <cstddef>

const char* ClassNameOf(TControlKind kind) {
    switch (kind) {
    case TControlKind::Form:
        return "Form";
    case TControlKind::Button:
        return "BUTTON";
    case TControlKind::Label:
    case TControlKind::Picture:
        return "STATIC";
    case TControlKind::Edit:
        return "EDIT";
    case TControlKind::Combo:
        return "COMBOBOX";
    case TControlKind::Progress:
        return "msctls_progress32";
    }
    return "";
}

namespace {

// The style words that option bits 0, 1, 2... add when they are set.
template <std::size_t N> uint32_t StylesOfSetBits(uint32_t options, const uint32_t (&styles)[N]) {
    uint32_t s = 0;
    for (std::size_t bit = 0; bit < N; ++bit)
        if (options & (1u << bit)) s |= styles[bit];
    return s;
}

} // namespace

uint32_t EditOptionStyle(uint32_t o) {
    // Bits 0 and 1 turn the automatic scrolling off.
    static const uint32_t kSet[] = {
        0,           0,           ES_LOWERCASE, ES_MULTILINE, ES_NOHIDESEL, ES_OEMCONVERT,
        ES_PASSWORD, ES_READONLY, ES_UPPERCASE, ES_WANTRETURN};
    uint32_t s = StylesOfSetBits(o, kSet);
    if (!(o & (1u << 0))) s |= ES_AUTOHSCROLL | WS_HSCROLL;
    if (!(o & (1u << 1))) s |= ES_AUTOVSCROLL | WS_VSCROLL;
    // Scroll bars belong to multi-line edits only.
    if (!(o & (1u << 3))) s &= ~(WS_HSCROLL | WS_VSCROLL);
    return s;
}

uint32_t ComboOptionStyle(uint32_t o) {
    // Bit 1 turns the automatic scrolling off.
    static const uint32_t kSet[] = {
        CBS_DROPDOWNLIST, 0,        CBS_DISABLENOSCROLL, CBS_LOWERCASE,      CBS_NOINTEGRALHEIGHT,
        CBS_OEMCONVERT,   CBS_SORT, CBS_UPPERCASE,       CBS_OWNERDRAWFIXED, CBS_OWNERDRAWVARIABLE};
    uint32_t s = StylesOfSetBits(o, kSet);
    if (!(o & (1u << 1))) s |= CBS_AUTOHSCROLL;
    if ((s & CBS_DROPDOWNLIST) != CBS_DROPDOWNLIST) s |= CBS_DROPDOWN;
    return s;
}

uint32_t ProgressOptionStyle(uint32_t o) {
    static const uint32_t kSet[] = {PBS_VERTICAL, PBS_SMOOTH};
    return StylesOfSetBits(o, kSet);
}

TStyles InitialStyles(TControlKind kind, uint32_t options) {
    switch (kind) {
    case TControlKind::Form:
        return {kFormStyle, 0};
    case TControlKind::Button:
        return {0x50011000 | kChildClipStyles, 0};
    case TControlKind::Label:
    case TControlKind::Picture:
        return {0x5000018C | kChildClipStyles, 0};
    case TControlKind::Edit:
        return {0x50810000 | kChildClipStyles | EditOptionStyle(options), 0};
    case TControlKind::Combo:
        return {0x50210200 | kChildClipStyles | ComboOptionStyle(options), 0};
    case TControlKind::Progress:
        return {0x50000000 | kChildClipStyles | ProgressOptionStyle(options), 0};
    }
    return {};
}

bool ApplyBorderStyle(TStyles& s, int n) {
    static constexpr TStyles kAdd[10] = {
        {0, 0},
        {0x00C20000, 0},
        {0x00C70000, 0},
        {0x00C00000, 0x100},
        {0x00C00000, 0x80},
        {0x00C40000, 0x80},
        {0, 0x1},
        {0x00040000, 0x80},
        {0, 0x201},
        {0x00040000, 0x200},
    };
    if (n < 0 || n > 9) return false;
    s.style = (s.style & 0xFF38FFFF) | kAdd[n].style;
    s.exStyle = (s.exStyle & 0xFFFFFE7E) | kAdd[n].exStyle;
    return true;
}

uint32_t ApplyTextAlign(TControlKind kind, uint32_t style, int align) {
    static constexpr uint32_t kStatic[3] = {SS_LEFT, SS_RIGHT, SS_CENTER};
    static constexpr uint32_t kEdit[3] = {ES_LEFT, ES_RIGHT, ES_CENTER};
    if (align < 0 || align > 2) align = 0;
    if (kind == TControlKind::Label) return (style & ~SS_TYPEMASK) | kStatic[align];
    if (kind == TControlKind::Edit) return (style & ~uint32_t(ES_CENTER | ES_RIGHT)) | kEdit[align];
    return style;
}

TFrameExtent FrameExtentOf(const TStyles& s) {
    TFrameExtent e;
    if ((s.style & WS_CAPTION) == WS_CAPTION) e.caption = (s.exStyle & WS_EX_TOOLWINDOW) ? 16 : 19;
    if (s.style & WS_THICKFRAME)
        e.frame = 4;
    else if ((s.style & WS_DLGFRAME) || (s.exStyle & WS_EX_DLGMODALFRAME))
        e.frame = 3;
    else if (s.style & WS_BORDER)
        e.frame = 1;
    if (s.exStyle & WS_EX_CLIENTEDGE) e.frame += 2;
    return e;
}
