// The edit in the Win32 backend: its change notice, the caret kept where it
// was when the program sets the text, and the read-only and password styles,
// which the class keeps apart from the window's style.
#include "ui/toolkit/win32/Win32.h"

#include <algorithm>

namespace {

class TEditKind : public TWin32Kind {
public:
    bool Command(TControl& c, HWND hwnd, UINT code) const override {
        if (code != EN_CHANGE) return false;
        c.TextChangedByWindow(WindowTextOf(hwnd));
        return true;
    }

    void StylesChanging(HWND hwnd, DWORD style, DWORD oldStyle) const override {
        if ((style ^ oldStyle) & ES_READONLY)
            SendMessageW(hwnd, EM_SETREADONLY, (style & ES_READONLY) ? TRUE : FALSE, 0);
        if ((style ^ oldStyle) & ES_PASSWORD)
            SendMessageW(hwnd, EM_SETPASSWORDCHAR, (style & ES_PASSWORD) ? L'*' : 0, 0);
    }

    void ApplyText(TControl&, HWND hwnd, const std::wstring& text) const override {
        DWORD start = 0, end = 0;
        SendMessageW(hwnd, EM_GETSEL, WPARAM(&start), LPARAM(&end));
        SetWindowTextW(hwnd, text.c_str());
        const int caret = std::min<int>(int(start), int(text.size()));
        SendMessageW(hwnd, EM_SETSEL, WPARAM(caret), LPARAM(caret));
    }
};

} // namespace

const TWin32Kind& Win32EditKind() {
    static const TEditKind kind;
    return kind;
}

int TControl::WindowCaretPos() const {
    DWORD start = 0, end = 0;
    if (kind_ != TControlKind::Edit || !impl_->hwnd) return 0;
    SendMessageW(impl_->hwnd, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    return int(start);
}

void TControl::ApplyCaretPos(int pos) {
    if (kind_ == TControlKind::Edit && impl_->hwnd)
        SendMessageW(impl_->hwnd, EM_SETSEL, WPARAM(pos), LPARAM(pos));
}

std::string TControl::WindowSelectedText() const {
    HWND field = kind_ == TControlKind::Edit ? impl_->hwnd : impl_->edit;
    if (!field) return std::string();
    DWORD start = 0, end = 0;
    SendMessageW(field, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    const std::string text = WindowTextOf(field);
    if (end <= start || start >= text.size()) return std::string();
    return text.substr(start, end - start);
}
