// The web backend of the control object: an HTML element renders the state
// (WebToolkit.js draws them; this file tells it what to show). The page has
// one thread, so every call is already on the GUI thread.
#include "ui/toolkit/Control.h"

#include "platform/Text1251.h"
#include "runtime/Strings.h"
#include "ui/toolkit/Colors.h"
#include "ui/toolkit/Image.h"

#include <emscripten/emscripten.h>

#include <algorithm>

struct TControl::TImpl {
    int node = 0; // the element's number in WebToolkit.js; 0 when none
    bool shiftHeld = false;
};

#include "ui/toolkit/ControlRecord.h"

// clang-format off
EM_JS(int, varno_ui_create, (int kind, int parent, TControl* control), {
    return Module.varnoUi.create(kind, parent, control);
});
EM_JS(void, varno_ui_destroy, (int node), { Module.varnoUi.destroy(node); });
EM_JS(void, varno_ui_styles, (int node, uint32_t style, uint32_t exStyle), {
    Module.varnoUi.styles(node, style >>> 0, exStyle >>> 0);
});
EM_JS(void, varno_ui_place, (int node, int left, int top, int width, int height), {
    Module.varnoUi.place(node, left, top, width, height);
});
EM_JS(void, varno_ui_visible, (int node, bool visible), {
    Module.varnoUi.visible(node, visible);
});
EM_JS(void, varno_ui_enabled, (int node, bool enabled), {
    Module.varnoUi.enabled(node, enabled);
});
EM_JS(void, varno_ui_text, (int node, const char* text), {
    Module.varnoUi.text(node, UTF8ToString(text));
});
EM_JS(char*, varno_ui_get_text, (int node), {
    const text = Module.varnoUi.getText(node);
    const size = lengthBytesUTF8(text) + 1;
    const p = _malloc(size);
    stringToUTF8(text, p, size);
    return p;
});
EM_JS(void, varno_ui_colors, (int node, uint32_t background, uint32_t text, uint32_t bar,
                              bool transparent), {
    Module.varnoUi.colors(node, background >>> 0, text >>> 0, bar >>> 0, transparent);
});
EM_JS(void, varno_ui_font, (int node, const char* face, int pixels, int style), {
    Module.varnoUi.font(node, UTF8ToString(face), pixels, style);
});
EM_JS(void, varno_ui_tooltip, (int node, const char* text), {
    Module.varnoUi.tooltip(node, UTF8ToString(text));
});
EM_JS(void, varno_ui_progress, (int node, int max, int position), {
    Module.varnoUi.progress(node, max, position);
});
EM_JS(void, varno_ui_insert_item, (int node, int index, const char* text), {
    Module.varnoUi.insertItem(node, index, UTF8ToString(text));
});
EM_JS(void, varno_ui_item_text, (int node, int index, const char* text), {
    Module.varnoUi.itemText(node, index, UTF8ToString(text));
});
EM_JS(void, varno_ui_clear_items, (int node), { Module.varnoUi.clearItems(node); });
EM_JS(void, varno_ui_select, (int node, int index), { Module.varnoUi.select(node, index); });
EM_JS(int, varno_ui_selected, (int node), { return Module.varnoUi.selected(node); });
EM_JS(int, varno_ui_caret, (int node), { return Module.varnoUi.caret(node); });
EM_JS(void, varno_ui_set_caret, (int node, int pos), { Module.varnoUi.setCaret(node, pos); });
EM_JS(void, varno_ui_focus, (int node), { Module.varnoUi.focus(node); });
EM_JS(bool, varno_ui_focused, (int node), { return Module.varnoUi.focused(node); });
EM_JS(bool, varno_ui_shown, (int node), { return Module.varnoUi.shown(node); });
EM_JS(void, varno_ui_raise, (int node), { Module.varnoUi.raise(node); });
EM_JS(void, varno_ui_measure, (const char* text, const char* face, int pixels, int style,
                               int* out), {
    const m = Module.varnoUi.measure(UTF8ToString(text), UTF8ToString(face), pixels, style);
    HEAP32[out >> 2] = m[0];
    HEAP32[(out >> 2) + 1] = m[1];
    HEAP32[(out >> 2) + 2] = m[2];
});
EM_JS(void, varno_ui_fill, (int node, int left, int top, int width, int height, uint32_t color), {
    Module.varnoUi.fill(node, left, top, width, height, color >>> 0);
});
EM_JS(void, varno_ui_image, (int node, const uint32_t* argb, int width, int height, int left,
                             int top, int drawWidth, int drawHeight, bool smooth), {
    Module.varnoUi.image(node, HEAPU32.subarray(argb >> 2, (argb >> 2) + width * height), width,
                         height, left, top, drawWidth, drawHeight, smooth);
});
EM_JS(void, varno_ui_icon, (const unsigned char* png, int size, const uint32_t* argb, int width,
                            int height), {
    Module.varnoUi.icon(png ? HEAPU8.slice(png, png + size) : null,
                        argb ? HEAPU32.slice(argb >> 2, (argb >> 2) + width * height) : null,
                        width, height);
});
// clang-format on

namespace {

std::string Utf8Of(const std::string& cp1251) {
    std::string t = cp1251;
    ReplaceAll(t, "\r\n", "\n");
    return Cp1251ToUtf8(t);
}

// The classic faces are not on every system: the page asks for them first and
// falls back on a plain sans-serif face of the same size.
std::string FaceOf(const TFontRec& f) {
    return Cp1251ToUtf8(f.Name.substr(0, 31));
}

// A canvas over the picture box's <canvas>.
class TWebCanvas : public TCanvas {
public:
    explicit TWebCanvas(int node) : node_(node) {}
    void FillRect(const TRect& r, uint32_t color) override {
        if (r.Width() > 0 && r.Height() > 0)
            varno_ui_fill(node_, r.left, r.top, r.Width(), r.Height(), ResolveColor(color));
    }
    void DrawBitmap(const TBitmap& bitmap, const TRect& r) override {
        if (bitmap.Empty() || !bitmap.Handle() || r.Width() <= 0 || r.Height() <= 0) return;
        const TImage& image = bitmap.Handle()->image;
        varno_ui_image(node_, image.argb.data(), image.width, image.height, r.left, r.top,
                       r.Width(), r.Height(), stretchMode_ == HALFTONE);
    }
    void SetStretchMode(int mode) override { stretchMode_ = mode; }

private:
    int node_;
    int stretchMode_ = COLORONCOLOR;
};

TControl* Live(TControl* c) {
    return c && c->Impl().node ? c : nullptr;
}

} // namespace

// This system has no colour scheme of Windows' kind: the classic one stands in.
uint32_t SysColor(int index) {
    return ClassicColor(index);
}

// From WebToolkit.js: what the user did.
extern "C" EMSCRIPTEN_KEEPALIVE void varno_ui_clicked(TControl* c) {
    if (!Live(c) || !c->Enabled()) return;
    if (auto click = c->hooks.click) click();
}

extern "C" EMSCRIPTEN_KEEPALIVE void varno_ui_text_changed(TControl* c, const char* utf8) {
    if (Live(c)) c->TextChangedByWindow(Utf8ToCp1251(utf8));
}

extern "C" EMSCRIPTEN_KEEPALIVE void varno_ui_selection_changed(TControl* c) {
    if (!Live(c)) return;
    if (auto change = c->hooks.selChange) change();
}

extern "C" EMSCRIPTEN_KEEPALIVE void varno_ui_close_requested(TControl* c) {
    if (Live(c)) c->Close(0);
}

extern "C" EMSCRIPTEN_KEEPALIVE void varno_ui_paint(TControl* c) {
    if (!Live(c) || c->Kind() != TControlKind::Picture) return;
    TWebCanvas canvas(c->Impl().node);
    const TRect client = c->ClientRect();
    if (c->hooks.paint)
        c->hooks.paint(canvas);
    else
        canvas.FillRect(TRect{0, 0, client.Width(), client.Height()}, c->Color());
}

void TControl::CreateWindowOf(TControl* parent) {
    impl_->node = varno_ui_create(int(kind_), parent ? parent->impl_->node : 0, this);
    ApplyStyles();
    ApplyPalette();
    ApplyFont();
    varno_ui_visible(impl_->node, s_.visible);
}

void TControl::DestroyWindowOf() {
    if (impl_->node) varno_ui_destroy(impl_->node);
    impl_->node = 0;
    WindowDestroyed();
}

bool TControl::HasWindow() const {
    return impl_->node != 0;
}

void TControl::ApplyStyles() {
    if (!impl_->node) return;
    TStyles st;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
    }
    varno_ui_styles(impl_->node, st.style, st.exStyle);
}

void TControl::ApplyGeometry() {
    if (!impl_->node) return;
    const TRect r = kind_ == TControlKind::Form ? ClientRect() : AlignedRect();
    const TRect at = AlignedRect();
    varno_ui_place(impl_->node, at.left, at.top, r.Width(), r.Height());
}

void TControl::ApplyVisible(bool visible) {
    if (impl_->node) varno_ui_visible(impl_->node, visible);
}

// A disabled form refuses input and leaves its controls' look alone; a
// disabled control is drawn disabled.
void TControl::ApplyEnabled(bool enabled) {
    if (impl_->node) varno_ui_enabled(impl_->node, enabled);
}

void TControl::ApplyWindowText(const std::string& text) {
    if (impl_->node) varno_ui_text(impl_->node, Utf8Of(text).c_str());
}

void TControl::ApplyPalette() {
    if (!impl_->node) return;
    uint32_t color, textColor, bar;
    bool transparent;
    {
        std::lock_guard lock(mutex_);
        color = s_.color;
        textColor = s_.font.Color;
        bar = s_.barColor;
        transparent = s_.transparent;
    }
    varno_ui_colors(impl_->node, ResolveColor(color), ResolveColor(textColor), ResolveColor(bar),
                    transparent);
}

void TControl::ApplyFont() {
    const TFontRec font = Font();
    if (impl_->node)
        varno_ui_font(impl_->node, FaceOf(font).c_str(), std::max(1, -PointsToHeight(font.Size)),
                      font.Style);
}

bool TControl::MeasureText(const std::string& text, const TFontRec& font, int& width, int& height,
                           int& lineHeight) const {
    int m[3] = {0, 0, 0};
    varno_ui_measure(Utf8Of(text).c_str(), FaceOf(font).c_str(),
                     std::max(1, -PointsToHeight(font.Size)), font.Style, m);
    width = m[0];
    height = m[1];
    lineHeight = m[2];
    return true;
}

bool TControl::ShiftHeld() const {
    return impl_->shiftHeld;
}

void TControl::ApplyToolTip() {
    if (impl_->node) varno_ui_tooltip(impl_->node, Utf8Of(ToolTip()).c_str());
}

void TControl::ApplyRange() {
    if (impl_->node) varno_ui_progress(impl_->node, RangeMax(), Progress());
}

void TControl::ApplyProgress() {
    ApplyRange();
}

void TControl::SetFocus() {
    if (impl_->node) varno_ui_focus(impl_->node);
}

bool TControl::Focused() const {
    return impl_->node && varno_ui_focused(impl_->node);
}

void TControl::BringToTop() {
    if (impl_->node) varno_ui_raise(impl_->node);
}

// ---- combo box ----

void TControl::ApplyInsertItem(int index, const std::string& text) {
    if (impl_->node) varno_ui_insert_item(impl_->node, index, Utf8Of(text).c_str());
}

void TControl::ApplyItemText(int index, const std::string& text) {
    if (impl_->node) varno_ui_item_text(impl_->node, index, Utf8Of(text).c_str());
}

void TControl::ApplyClearItems() {
    if (impl_->node) varno_ui_clear_items(impl_->node);
}

void TControl::ApplyCurSel(int index) {
    if (impl_->node) varno_ui_select(impl_->node, index);
}

int TControl::WindowCurSel() const {
    return impl_->node ? varno_ui_selected(impl_->node) : -1;
}

void TControl::SetRedraw(bool) {}

// The browser draws a select's list itself, and a page cannot open it.
void TControl::ShowDropDown(bool) {}

bool TControl::DroppedDown() const {
    return false;
}

// ---- edit ----

int TControl::WindowCaretPos() const {
    return impl_->node ? varno_ui_caret(impl_->node) : 0;
}

void TControl::ApplyCaretPos(int pos) {
    if (impl_->node) varno_ui_set_caret(impl_->node, pos);
}

std::string TControl::WindowSelectedText() const {
    return {};
}

// ---- form ----

void TControl::Close(intptr_t lParam) {
    if (CloseRequested(lParam) && impl_->node) varno_ui_visible(impl_->node, false);
}

void TControl::DragMove() {}

// The caption shows the icon's smallest image.
void TControl::SetIcon(TIconHandle icon) {
    if (!icon || icon->images.empty()) return;
    const TIconImage* best = &icon->images.front();
    for (const TIconImage& entry : icon->images)
        if (entry.width && entry.width < best->width) best = &entry;
    if (!best->png.empty())
        varno_ui_icon(best->png.data(), int(best->png.size()), nullptr, 0, 0);
    else if (!best->image.argb.empty())
        varno_ui_icon(nullptr, 0, best->image.argb.data(), best->image.width, best->image.height);
}

TControl::TFrameShown TControl::FrameShown() const {
    TFrameShown f;
    const uint32_t style = Style();
    f.caption = (style & WS_CAPTION) == WS_CAPTION;
    f.sysMenu = style & WS_SYSMENU;
    return f;
}

void TControl::Activate() {}

// ---- picture box ----

void TControl::Invalidate() {
    if (impl_->node) varno_ui_paint(this);
}

// ---- what the window system shows ----

// The browser takes pictures of the page itself.
bool TControl::SaveScreenshot(const std::string&) const {
    return false;
}

TPixels TControl::Render() const {
    return {};
}

TRect TControl::DrawnRect() const {
    return kind_ == TControlKind::Form ? ClientRect() : AlignedRect();
}

bool TControl::WindowVisible() const {
    return impl_->node && varno_ui_shown(impl_->node);
}

std::string TControl::WindowText() const {
    if (!impl_->node) return {};
    char* p = varno_ui_get_text(impl_->node);
    std::string t = Utf8ToCp1251(p);
    free(p);
    ReplaceAll(t, "\n", "\r\n");
    return t;
}
