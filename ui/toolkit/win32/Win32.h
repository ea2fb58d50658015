// What the Win32 backend's sources share: the control's window record and
// the conversions at the Win32 boundary. The toolkit's headers come before
// <windows.h>, whose macros would otherwise rename their constants.
#pragma once

#include "runtime/Font.h"
#include "ui/toolkit/Application.h"
#include "ui/toolkit/Bitmap.h"
#include "ui/toolkit/Colors.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/Image.h"
#include "ui/toolkit/Pixels.h"

#include <string>
#include <string_view>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

// Private messages: a combo box's deferred selection report, the release of
// a control object whose window is gone, and the wake-up of the GUI thread
// for carried calls (to the application window).
inline constexpr UINT kMsgSelChange = WM_APP + 1;
inline constexpr UINT kMsgServeCalls = WM_APP + 2;

struct TControl::TImpl {
    HWND hwnd = nullptr;
    HWND edit = nullptr;          // a combo box's edit field, which gets the keys
    WNDPROC systemProc = nullptr; // the system class's procedure
    HBRUSH brush = nullptr;       // the background brush and its colour
    COLORREF brushColor = 0;
    HFONT font = nullptr;
    RECT placed{};            // the rectangle last given to SetWindowPos
    bool swallowChar = false; // the key down was swallowed: so is its character
    bool tracking = false;    // TrackMouseEvent asked for the leave
};

// Windows-1251 to UTF-16 and back, through the program's own codec.
std::wstring Wide(std::string_view cp1251);
std::string Narrow(const wchar_t* text, std::size_t length);
std::string WindowTextOf(HWND hwnd);

// A colour value as a COLORREF (system colours resolved).
inline COLORREF ColorRefOf(uint32_t color) {
    return COLORREF(ResolveColor(color));
}

// A logical font for a font setting; the caller owns it.
HFONT MakeFont(const TFontRec& font);

// The application window: owner of the forms and receiver of the wake-up.
HWND AppWindow();

// The control object of a window of ours; null for any other window.
TControl* ControlOf(HWND hwnd);

// A DIB section of the window's client area as it is drawn now.
TPixels CapturePixels(HWND hwnd, bool clientOnly);

// A canvas over a device context.
class TGdiCanvas : public TCanvas {
public:
    explicit TGdiCanvas(HDC dc) : dc_(dc) {}
    void FillRect(const TRect& r, uint32_t color) override;
    void DrawBitmap(const TBitmap& bitmap, const TRect& r) override;
    void SetStretchMode(int mode) override { stretchMode_ = mode; }

private:
    HDC dc_;
    int stretchMode_ = COLORONCOLOR;
};

// An icon handle made of the icon's largest image (null for none).
HICON MakeIcon(TIconHandle icon);

// ---- what the control sources share ----

// The window property that holds a subclassed window's previous procedure.
inline constexpr wchar_t kPrevProcProp[] = L"PREV_PROC";

// The control's form: itself, or its topmost parent.
TControl* FormOf(TControl* c);
// Runs the control's click hook, if any.
void Click(TControl* c);
// The background brush of a control in its colour, made again when the
// colour changes.
HBRUSH BrushOf(TControl* c);
// Moves the window unless it is where it was put last.
void PlaceWindow(TControl::TImpl& impl, int x, int y, int w, int h);
// Key routing of a key message of the control (or of its combo box's edit
// field, `subclassed`, whose previous procedure is `proc`).
LRESULT KeyMessage(TControl* c, WNDPROC proc, bool subclassed, HWND hwnd, UINT msg, WPARAM wParam,
                   LPARAM lParam);

// The registered class of the kind's windows, "obj_<base>" (registered at
// the first call).
std::wstring RegisteredClassOf(TControlKind kind);

// What a kind of control does with its window beyond what every window does
// (one per kind, in Win32<Kind>.cpp).
class TWin32Kind {
public:
    virtual ~TWin32Kind() = default;
    // The window has just been made.
    virtual void Created(TControl&, HWND) const {}
    // A notification of the control, reflected from its parent; true when
    // handled.
    virtual bool Command(TControl&, HWND, UINT /*code*/) const { return false; }
    // A message of the window's own that the kind handles in full; true
    // with the result when handled.
    virtual bool Message(TControl&, HWND, UINT, WPARAM, LPARAM, LRESULT&) const { return false; }
    // The style words change from `oldStyle` to `style`: tell the class what
    // it keeps apart from them.
    virtual void StylesChanging(HWND, DWORD /*style*/, DWORD /*oldStyle*/) const {}
    // Moves the window to the control's rectangle in its parent.
    virtual void Place(TControl& c, HWND, const TRect& r) const {
        PlaceWindow(c.Impl(), r.left, r.top, r.Width(), r.Height());
    }
    // Shows the window text.
    virtual void ApplyText(TControl&, HWND hwnd, const std::wstring& text) const {
        SetWindowTextW(hwnd, text.c_str());
    }
    // Colours of the kind's own beyond the background brush.
    virtual void ApplyPalette(TControl&, HWND) const {}
};

// A kind whose notification `clickCode` is its click.
class TClickKind : public TWin32Kind {
public:
    explicit TClickKind(UINT clickCode) : clickCode_(clickCode) {}
    bool Command(TControl& c, HWND, UINT code) const override {
        if (code != clickCode_) return false;
        Click(&c);
        return true;
    }

private:
    UINT clickCode_;
};

const TWin32Kind& Win32FormKind();
const TWin32Kind& Win32ButtonKind();
const TWin32Kind& Win32LabelKind(); // the label and the picture box's click
const TWin32Kind& Win32PictureKind();
const TWin32Kind& Win32EditKind();
const TWin32Kind& Win32ComboKind();
const TWin32Kind& Win32ProgressKind();
const TWin32Kind& Win32KindOf(TControlKind kind);
