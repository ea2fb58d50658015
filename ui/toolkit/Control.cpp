// The control object's state and rules, shared by both backends: every
// operation updates the guarded state on the GUI thread and has the backend
// make the window show it.
#include "ui/toolkit/Control.h"

#include "ui/toolkit/Application.h"
#include "ui/toolkit/GuiThread.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> g_nextId{1};

TFontRec DefaultFont() {
    return MakeFontRec("MS Sans Serif", 8, 0, 0, 1);
}

} // namespace

TControl::TControl(TControlKind kind, TControl* parent, uint32_t options)
    : kind_(kind), parent_(parent), id_(g_nextId++), impl_(NewImpl()) {
    TApplication& app = TApplication::Instance();
    s_.styles = InitialStyles(kind, options);
    s_.font = DefaultFont();
    if (parent_) {
        s_.color = parent_->Color();
        s_.askedSunken = parent_->AskedSunken();
    }
    // Only the kinds that take a sunken edge start sunken, and only when the
    // parent asked for that look; the others start flat as their class is.
    const bool takesSunken = kind == TControlKind::Edit || kind == TControlKind::Combo;
    s_.currentSunken = kind == TControlKind::Form || (takesSunken && s_.askedSunken);
    if (kind != TControlKind::Form && s_.currentSunken) {
        s_.styles.style &= ~WS_BORDER;
        s_.styles.exStyle |= WS_EX_CLIENTEDGE;
    }
    s_.visible = kind != TControlKind::Form; // forms are created hidden

    GuiCall([&] { CreateWindowOf(parent_); });
    if (parent_) {
        parent_->children_.push_back(this);
        parent_->tabOrder_.push_back(this);
    }
    if (kind == TControlKind::Form) app.FormCreated(this);
}

TControl::~TControl() {
    *alive_ = false; // updates still queued for this control do nothing
    hooks = TControlHooks{};
    if (parent_) {
        std::erase(parent_->children_, this);
        std::erase(parent_->tabOrder_, this);
        if (parent_->defaultButton_ == this) parent_->defaultButton_ = nullptr;
    }
    for (TControl* child : children_)
        child->parent_ = nullptr;
    if (kind_ == TControlKind::Form && TApplication::Exists())
        TApplication::Instance().FormDestroyed(this);
    GuiCall([&] { DestroyWindowOf(); });
}

std::string TControl::ClassName() const {
    return std::string("obj_") + ClassNameOf(kind_);
}

// ---- styles ----

uint32_t TControl::Style() const {
    return Field(&TState::styles).style;
}

uint32_t TControl::ExStyle() const {
    return Field(&TState::styles).exStyle;
}

void TControl::SetStyle(uint32_t style) {
    Change([&] { s_.styles.style = style; }, [&] { Restyle(); });
}

void TControl::SetExStyle(uint32_t exStyle) {
    Change([&] { s_.styles.exStyle = exStyle; }, [&] { Restyle(); });
}

void TControl::Restyle() {
    ApplyStyles();
    ApplyGeometry();
}

// ---- state ----

void TControl::SetVisible(bool visible) {
    GuiCall([&] {
        bool changed, behind;
        {
            std::lock_guard lock(mutex_);
            changed = s_.visible != visible;
            s_.visible = visible;
            behind = visible && textBehind_;
            if (behind) textBehind_ = false;
        }
        if (behind) ApplyText(Text());
        ApplyVisible(visible);
        if (changed) {
            if (visible && hooks.shown) hooks.shown();
            if (!visible && hooks.hidden) hooks.hidden();
        }
    });
}

bool TControl::Visible() const {
    return Field(&TState::visible);
}

void TControl::SetEnabled(bool enabled) {
    Change([&] { s_.enabled = enabled; }, [&] { ApplyEnabled(enabled); });
}

bool TControl::Enabled() const {
    return Field(&TState::enabled);
}

// With onlyLatestMatters (nobody watches the intermediate texts), a text set
// off the GUI thread is stored at once, so readers see it, and the window
// follows through one posted update; texts that arrive before that update
// runs only replace the stored one. This spares the reader thread a round
// trip to the GUI thread for every text. Otherwise the call is carried over
// and waited for, so every change is shown and reported in order.
void TControl::SetText(const std::string& text, bool onlyLatestMatters) {
    if (onlyLatestMatters) {
        // A hidden window shows no text: it takes the latest one when it is
        // shown, so a field set after every byte costs no drawing work (and,
        // under wine, no round trip to the window system) while hidden.
        std::lock_guard lock(mutex_);
        if (!s_.visible) {
            s_.text = text;
            textBehind_ = true;
            return;
        }
    }
    if (onlyLatestMatters && !OnGuiThread()) {
        if (CallsClosed()) return;
        bool post;
        {
            std::lock_guard lock(mutex_);
            s_.text = text;
            post = !textUpdatePending_;
            textUpdatePending_ = true;
        }
        if (post)
            GuiPost([this, alive = alive_] {
                if (!*alive) return;
                std::string latest;
                {
                    std::lock_guard lock(mutex_);
                    textUpdatePending_ = false;
                    textBehind_ = false;
                    latest = s_.text;
                }
                ApplyText(latest);
            });
        return;
    }
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.text = text;
            textBehind_ = false;
        }
        ApplyText(text);
    });
}

void TControl::ApplyText(const std::string& text) {
    // The window's change notice must not copy this text back over a newer
    // one that another thread has stored meanwhile.
    applyingText_ = true;
    ApplyWindowText(text);
    UpdateAutoSize();
    ApplyGeometry();
    applyingText_ = false;
}

std::string TControl::Text() const {
    return Field(&TState::text);
}

void TControl::SetColor(uint32_t color) {
    Change([&] { s_.color = color; }, [&] { ApplyPalette(); });
}

uint32_t TControl::Color() const {
    return Field(&TState::color);
}

void TControl::SetFont(const TFontRec& font) {
    Change([&] { s_.font = font; },
           [&] {
               ApplyFont();
               ApplyPalette();
               UpdateAutoSize();
               ApplyGeometry();
           });
}

TFontRec TControl::Font() const {
    return Field(&TState::font);
}

void TControl::SetFontColor(uint32_t color) {
    TFontRec f = Font();
    f.Color = color;
    SetFont(f);
}

void TControl::SetFontStyle(uint8_t style) {
    TFontRec f = Font();
    f.Style = style;
    SetFont(f);
}

void TControl::SetTabOrder(int order) {
    Change(
        [&] {
            if (order < 0)
                s_.styles.style &= ~WS_TABSTOP;
            else if (order > 0)
                s_.styles.style |= WS_TABSTOP;
        },
        [&] {
            if (parent_ && order > 0) {
                auto& seq = parent_->tabOrder_;
                std::erase(seq, this);
                const std::size_t place = std::min<std::size_t>(std::size_t(order - 1), seq.size());
                seq.insert(seq.begin() + std::ptrdiff_t(place), this);
            }
            ApplyStyles();
        });
}

int TControl::TabOrder() const {
    if (!parent_) return 0;
    const auto& seq = parent_->tabOrder_;
    auto it = std::find(seq.begin(), seq.end(), this);
    return it == seq.end() ? 0 : int(it - seq.begin()) + 1;
}

void TControl::SetEdge3D(bool sunken) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            s_.askedSunken = sunken;
            if (s_.currentSunken == sunken) return;
            s_.currentSunken = sunken;
            if (sunken) {
                s_.styles.style &= ~WS_BORDER;
                s_.styles.exStyle |= WS_EX_CLIENTEDGE;
            } else {
                s_.styles.style |= WS_BORDER;
                s_.styles.exStyle &= ~WS_EX_CLIENTEDGE;
            }
        }
        Restyle();
    });
}

bool TControl::AskedSunken() const {
    return Field(&TState::askedSunken);
}

void TControl::SetTextAlign(int align) {
    Change(
        [&] {
            s_.textAlign = align;
            s_.styles.style = ::ApplyTextAlign(kind_, s_.styles.style, align);
        },
        [&] { ApplyStyles(); });
}

void TControl::SetTransparent(bool on) {
    Change([&] { s_.transparent = on; }, [&] { ApplyPalette(); });
}

void TControl::SetCursor(int cursor) {
    GuiCall([&] {
        std::lock_guard lock(mutex_);
        s_.cursor = cursor;
    });
}

void TControl::SetKeyRouting(bool on) {
    SetField(&TState::keyRouting, on);
}

bool TControl::KeyRouting() const {
    return Field(&TState::keyRouting);
}

void TControl::SetToolTip(const std::string& text) {
    Change([&] { s_.toolTip = text; }, [&] { ApplyToolTip(); });
}

std::string TControl::ToolTip() const {
    return Field(&TState::toolTip);
}

// ---- messages ----

bool TControl::DeliverMessage(TMessage& m) {
    if (!hooks.message) return false;
    auto hook = hooks.message;
    return hook(m);
}

void TControl::DeliverMouse(uint32_t msg, const TMouseEvent& ev) {
    TMessage m;
    m.msg = msg;
    m.wParam = ev.keys;
    m.lParam = intptr_t(uint16_t(ev.x)) | (intptr_t(uint16_t(ev.y)) << 16);
    if (DeliverMessage(m)) return;
    std::function<void(const TMouseEvent&)>* hook = nullptr;
    switch (msg) {
    case WM_MOUSEMOVE:
        hook = &hooks.mouseMove;
        break;
    case WM_MOUSEWHEEL:
        hook = &hooks.mouseWheel;
        break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        hook = &hooks.mouseDown;
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        hook = &hooks.mouseUp;
        break;
    default:
        hook = &hooks.dblClick;
        break;
    }
    if (*hook) {
        auto f = *hook;
        f(ev);
    }
}

void TControl::WindowDestroyed() {
    if (hooks.destroyed) hooks.destroyed();
}
