// The combo box in the Win32 backend: the selection reported once it has
// settled, the open list sized for eight items, the edit field whose keys
// and focus belong to the combo box; the list shows the control's items
// (ComboControl.cpp keeps their rules).
#include "ui/toolkit/win32/Win32.h"

#include <algorithm>
#include <vector>

namespace {

int ItemCountOf(HWND combo) {
    return int(SendMessageW(combo, CB_GETCOUNT, 0, 0));
}

std::string ItemTextOf(HWND combo, int index) {
    const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(index), 0);
    if (n == CB_ERR) return {};
    std::vector<wchar_t> buf(std::size_t(n) + 1);
    const LRESULT got = SendMessageW(combo, CB_GETLBTEXT, WPARAM(index), LPARAM(buf.data()));
    return got == CB_ERR ? std::string() : Narrow(buf.data(), std::size_t(got));
}

// The height of a combo box's window with its list open: the list shows at
// most eight items, each as high as the closed box.
int OpenComboHeight(HWND combo, int closed) {
    return closed * (std::clamp(ItemCountOf(combo), 1, 8) + 1) + 2;
}

// A combo box's edit field: its keys and focus belong to the combo box.
LRESULT CALLBACK ComboEditProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto prev = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kPrevProcProp));
    TControl* combo = ControlOf(GetParent(hwnd));
    if (!prev) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (combo) {
        switch (msg) {
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_CHAR:
            return KeyMessage(combo, prev, true, hwnd, msg, wParam, lParam);
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            TMessage m;
            m.msg = msg;
            combo->DeliverMessage(m);
            break;
        }
        case WM_NCDESTROY:
            RemovePropW(hwnd, kPrevProcProp);
            SetWindowLongPtrW(hwnd, GWLP_WNDPROC, LONG_PTR(prev));
            break;
        default:
            break;
        }
    }
    return CallWindowProcW(prev, hwnd, msg, wParam, lParam);
}

class TComboKind : public TWin32Kind {
public:
    void Created(TControl& c, HWND hwnd) const override {
        COMBOBOXINFO info{};
        info.cbSize = sizeof(info);
        if (GetComboBoxInfo(hwnd, &info) && info.hwndItem && info.hwndItem != hwnd) {
            c.Impl().edit = info.hwndItem;
            SetPropW(info.hwndItem, kPrevProcProp,
                     reinterpret_cast<HANDLE>(GetWindowLongPtrW(info.hwndItem, GWLP_WNDPROC)));
            SetWindowLongPtrW(info.hwndItem, GWLP_WNDPROC, LONG_PTR(&ComboEditProc));
        }
    }

    bool Command(TControl& c, HWND hwnd, UINT code) const override {
        switch (code) {
        case CBN_SELCHANGE: {
            const int sel = int(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
            c.TextChangedByWindow(sel >= 0 ? ItemTextOf(hwnd, sel) : std::string());
            // Reported once the change has settled, so the hook reads the
            // new selection.
            PostMessageW(hwnd, kMsgSelChange, 0, 0);
            return true;
        }
        case CBN_EDITCHANGE:
            c.TextChangedByWindow(WindowTextOf(hwnd));
            return true;
        case CBN_DROPDOWN: {
            RECT r;
            GetWindowRect(hwnd, &r);
            const int dropped = OpenComboHeight(hwnd, r.bottom - r.top);
            c.SetDroppedHeight(dropped);
            SetWindowPos(hwnd, nullptr, 0, 0, r.right - r.left, dropped,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            return true;
        }
        default:
            return false;
        }
    }

    bool Message(TControl& c, HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) const override {
        if (msg != kMsgSelChange) return false;
        if (c.hooks.selChange) {
            auto f = c.hooks.selChange;
            f();
        }
        result = 0;
        return true;
    }

    // The selection field takes the control's height; the window also holds
    // the drop-down list.
    void Place(TControl& c, HWND hwnd, const TRect& r) const override {
        const int field = std::max(1, r.Height() - 6);
        if (SendMessageW(hwnd, CB_GETITEMHEIGHT, WPARAM(-1), 0) != field)
            SendMessageW(hwnd, CB_SETITEMHEIGHT, WPARAM(-1), field);
        PlaceWindow(c.Impl(), r.left, r.top, r.Width(), OpenComboHeight(hwnd, r.Height()));
    }

    void ApplyText(TControl& c, HWND hwnd, const std::wstring& text) const override {
        if (c.Impl().edit) {
            SetWindowTextW(hwnd, text.c_str());
        } else {
            const LRESULT index =
                SendMessageW(hwnd, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text.c_str()));
            SendMessageW(hwnd, CB_SETCURSEL, WPARAM(index), 0);
        }
    }
};

} // namespace

const TWin32Kind& Win32ComboKind() {
    static const TComboKind kind;
    return kind;
}

void TControl::ApplyInsertItem(int index, const std::string& text) {
    const std::wstring w = Wide(text);
    SendMessageW(impl_->hwnd, CB_INSERTSTRING, WPARAM(index), LPARAM(w.c_str()));
    ApplyGeometry();
}

void TControl::ApplyItemText(int index, const std::string& text) {
    HWND hwnd = impl_->hwnd;
    if (!hwnd) return;
    const int sel = int(SendMessageW(hwnd, CB_GETCURSEL, 0, 0));
    const std::wstring w = Wide(text);
    SendMessageW(hwnd, CB_DELETESTRING, WPARAM(index), 0);
    SendMessageW(hwnd, CB_INSERTSTRING, WPARAM(index), LPARAM(w.c_str()));
    if (sel == index) SendMessageW(hwnd, CB_SETCURSEL, WPARAM(index), 0);
}

void TControl::ApplyClearItems() {
    SendMessageW(impl_->hwnd, CB_RESETCONTENT, 0, 0);
    TextChangedByWindow(WindowTextOf(impl_->hwnd));
    ApplyGeometry();
}

void TControl::ApplyCurSel(int index) {
    SendMessageW(impl_->hwnd, CB_SETCURSEL, WPARAM(index), 0);
    TextChangedByWindow(WindowTextOf(impl_->hwnd));
}

int TControl::WindowCurSel() const {
    return int(SendMessageW(impl_->hwnd, CB_GETCURSEL, 0, 0));
}

void TControl::SetRedraw(bool on) {
    GuiCall([&] {
        if (HWND hwnd = impl_->hwnd) {
            SendMessageW(hwnd, WM_SETREDRAW, on ? TRUE : FALSE, 0);
            if (on) InvalidateRect(hwnd, nullptr, FALSE);
        }
    });
}

void TControl::ShowDropDown(bool show) {
    GuiCall([&] {
        if (kind_ == TControlKind::Combo && impl_->hwnd)
            SendMessageW(impl_->hwnd, CB_SHOWDROPDOWN, show ? TRUE : FALSE, 0);
    });
}

bool TControl::DroppedDown() const {
    return GuiResult<bool>(
        [&] {
            return kind_ == TControlKind::Combo && impl_->hwnd &&
                   SendMessageW(impl_->hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0;
        },
        false);
}
