// The control object's geometry: place and size, the client area, the
// alignment of children within their parent and the size that follows the
// text.
#include "ui/toolkit/Control.h"

#include "ui/toolkit/GuiThread.h"

#include <algorithm>

int TControl::EdgeWidth() const {
    std::lock_guard lock(mutex_);
    if (kind_ == TControlKind::Form) return 0;
    int e = 0;
    if (s_.styles.exStyle & WS_EX_CLIENTEDGE) e += 2;
    if (s_.styles.exStyle & WS_EX_STATICEDGE) e += 1;
    if (s_.styles.exStyle & WS_EX_DLGMODALFRAME) e += 3;
    if (s_.styles.style & WS_BORDER) e += 1;
    return e;
}

void TControl::SetPosition(int left, int top) {
    Change(
        [&] {
            s_.left = left;
            s_.top = top;
        },
        [&] { ApplyGeometry(); });
}

void TControl::SetSize(int width, int height) {
    GuiCall([&] {
        TWindowPos pos;
        {
            std::lock_guard lock(mutex_);
            pos = {s_.left, s_.top, width, height, false, true};
        }
        TMessage m;
        m.msg = WM_WINDOWPOSCHANGING;
        m.pos = &pos;
        DeliverMessage(m);
        {
            std::lock_guard lock(mutex_);
            s_.width = pos.cx;
            s_.height = pos.cy;
        }
        UpdateAutoSize();
        ApplyGeometry();
        if (parent_) parent_->Realign();
    });
}

int TControl::Left() const {
    return Field(&TState::left);
}
int TControl::Top() const {
    return Field(&TState::top);
}
int TControl::Width() const {
    return Field(&TState::width);
}
int TControl::Height() const {
    return Field(&TState::height);
}

TRect TControl::ClientRect() const {
    TStyles st;
    int w, h;
    {
        std::lock_guard lock(mutex_);
        st = s_.styles;
        w = s_.width;
        h = s_.height;
    }
    if (kind_ == TControlKind::Form) {
        const TFrameExtent e = FrameExtentOf(st);
        return {0, 0, std::max(0, w - 2 * e.frame), std::max(0, h - 2 * e.frame - e.caption)};
    }
    const int edge = EdgeWidth();
    return {0, 0, std::max(0, w - 2 * edge), std::max(0, h - 2 * edge)};
}

TRect TControl::AlignedRect() const {
    std::lock_guard lock(mutex_);
    return {s_.left, s_.top, s_.left + s_.width, s_.top + s_.height};
}

void TControl::SetAlign(int align) {
    Change([&] { s_.align = align; },
           [&] {
               UpdateAutoSize();
               if (parent_) parent_->Realign();
           });
}

int TControl::Align() const {
    return Field(&TState::align);
}

// Auto-size: the text's extent plus the class's margin; alignment to the
// left or right leaves the height alone, to the top or bottom the width.
void TControl::UpdateAutoSize() {
    bool on;
    int align;
    std::string text;
    TFontRec font;
    {
        std::lock_guard lock(mutex_);
        on = s_.autoSize;
        align = s_.align;
        text = s_.text;
        font = s_.font;
    }
    if (!on || align == 5) return;
    int tw = 0, th = 0, line = 0;
    if (!MeasureText(text, font, tw, th, line)) return;
    int mx = 4, my = 4;
    if (kind_ == TControlKind::Button) mx = 16, my = 8;
    if (kind_ == TControlKind::Edit || kind_ == TControlKind::Combo) mx = 8, my = 8;
    const int edge = 2 * EdgeWidth();
    std::lock_guard lock(mutex_);
    if (align != 2 && align != 4) s_.width = tw + mx + edge;
    if (align != 1 && align != 3) s_.height = std::max(line, th) + my + edge;
}

void TControl::SetAutoSize(bool on) {
    Change([&] { s_.autoSize = on; },
           [&] {
               UpdateAutoSize();
               ApplyGeometry();
               if (parent_) parent_->Realign();
           });
}

// Places the aligned children against the edges of the client area, each
// after those already aligned there, in creation order.
void TControl::Realign() {
    TRect rest = ClientRect();
    for (TControl* c : children_) {
        int align, w, h;
        {
            std::lock_guard lock(c->mutex_);
            align = c->s_.align;
            w = c->s_.width;
            h = c->s_.height;
        }
        if (align < 1 || align > 5) continue;
        TRect r;
        switch (align) {
        case 1:
            r = {rest.left, rest.top, rest.left + w, rest.bottom}, rest.left += w;
            break;
        case 2:
            r = {rest.left, rest.top, rest.right, rest.top + h}, rest.top += h;
            break;
        case 3:
            r = {rest.right - w, rest.top, rest.right, rest.bottom}, rest.right -= w;
            break;
        case 4:
            r = {rest.left, rest.bottom - h, rest.right, rest.bottom}, rest.bottom -= h;
            break;
        default:
            r = rest;
            break;
        }
        {
            std::lock_guard lock(c->mutex_);
            c->s_.left = r.left;
            c->s_.top = r.top;
            c->s_.width = r.Width();
            c->s_.height = r.Height();
        }
        c->ApplyGeometry();
    }
}
