#include "ui/toolkit/Styles.h"

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

uint32_t EditOptionStyle(uint32_t o) {
    uint32_t s = 0;
    if (!(o & (1u << 0))) s |= ES_AUTOHSCROLL | WS_HSCROLL;
    if (!(o & (1u << 1))) s |= ES_AUTOVSCROLL | WS_VSCROLL;
    if (o & (1u << 2)) s |= ES_LOWERCASE;
    if (o & (1u << 3)) s |= ES_MULTILINE;
    if (o & (1u << 4)) s |= ES_NOHIDESEL;
    if (o & (1u << 5)) s |= ES_OEMCONVERT;
    if (o & (1u << 6)) s |= ES_PASSWORD;
    if (o & (1u << 7)) s |= ES_READONLY;
    if (o & (1u << 8)) s |= ES_UPPERCASE;
    if (o & (1u << 9)) s |= ES_WANTRETURN;
    // Scroll bars belong to multi-line edits only.
    if (!(o & (1u << 3))) s &= ~(WS_HSCROLL | WS_VSCROLL);
    return s;
}

uint32_t ComboOptionStyle(uint32_t o) {
    uint32_t s = 0;
    if (o & (1u << 0)) s |= CBS_DROPDOWNLIST;
    if (!(o & (1u << 1))) s |= CBS_AUTOHSCROLL;
    if (o & (1u << 2)) s |= CBS_DISABLENOSCROLL;
    if (o & (1u << 3)) s |= CBS_LOWERCASE;
    if (o & (1u << 4)) s |= CBS_NOINTEGRALHEIGHT;
    if (o & (1u << 5)) s |= CBS_OEMCONVERT;
    if (o & (1u << 6)) s |= CBS_SORT;
    if (o & (1u << 7)) s |= CBS_UPPERCASE;
    if (o & (1u << 8)) s |= CBS_OWNERDRAWFIXED;
    if (o & (1u << 9)) s |= CBS_OWNERDRAWVARIABLE;
    if ((s & CBS_DROPDOWNLIST) != CBS_DROPDOWNLIST) s |= CBS_DROPDOWN;
    return s;
}

uint32_t ProgressOptionStyle(uint32_t o) {
    uint32_t s = 0;
    if (o & 1u) s |= PBS_VERTICAL;
    if (o & 2u) s |= PBS_SMOOTH;
    return s;
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
