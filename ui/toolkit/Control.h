// The control object: one per window (a form or a child control). It keeps
// the window's state as style words, geometry, text, colours and font, and
// the backend's window renders that state (qt/ on Linux, win32/ on
// Windows). Elements install hooks to hear about clicks, changes, keys,
// mouse, focus, size and visibility.
//
// Every operation may be called from any thread: off the GUI thread it is
// carried to the GUI thread and waited for (GuiThread.h); reads are served
// from a guarded copy of the state.
//
// The portable part holds the state and the rules: Control.cpp (state, text,
// colours, messages), ControlGeometry.cpp, and one file per kind with rules
// of its own (FormControl, EditControl, ComboControl, ProgressControl). Each
// backend defines TImpl and the member functions marked as backend below, in
// one file per kind and a common one.
#pragma once

#include "runtime/Font.h"
#include "ui/toolkit/Bitmap.h"
#include "ui/toolkit/GuiThread.h"
#include "ui/toolkit/Pixels.h"
#include "ui/toolkit/Styles.h"
#include "ui/toolkit/WinDefs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TControlHooks {
    // Sees every message first; true means handled (the default handling,
    // e.g. a form's close, is skipped).
    std::function<bool(TMessage&)> message;
    std::function<void()> click;     // button, label, picture box
    std::function<void()> change;    // edit text changed (by user or program)
    std::function<void()> selChange; // combo selection, after it is settled
    std::function<void()> destroyed; // the window is gone
    std::function<void()> resized;   // size changed
    std::function<void()> shown;     // visibility became true
    std::function<void()> hidden;    // visibility became false
    std::function<void(const TMouseEvent&)> mouseDown, mouseUp, mouseMove, mouseWheel, dblClick;
    // Key hooks may replace the key, or set it to 0 to swallow it.
    std::function<void(int&key)> keyDown, keyUp, keyChar;
    std::function<void(TCanvas&)> paint; // picture box
};

class TControl {
public:
    // A form has no parent (or a parent form that owns it); every other kind
    // is a child of `parent`. `options` are the edit, combo or progress bits.
    TControl(TControlKind kind, TControl* parent, uint32_t options = 0);
    ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    TControlKind Kind() const { return kind_; }
    TControl* Parent() const { return parent_; }
    // Registered class name: "obj_" and the base class name.
    std::string ClassName() const;
    int Id() const { return id_; }

    uint32_t Style() const;
    uint32_t ExStyle() const;
    void SetStyle(uint32_t style);
    void SetExStyle(uint32_t exStyle);
    // Form only: border style 0..9; larger values are ignored.
    void SetBorderStyle(int n);

    void SetPosition(int left, int top);
    void SetSize(int width, int height);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    TRect ClientRect() const;

    // A control that has the focus when it is hidden or disabled leaves it
    // with its form: no control has the focus then.
    void SetVisible(bool visible);
    bool Visible() const;
    // A disabled form refuses input and draws its controls unchanged; a
    // disabled control is drawn disabled.
    void SetEnabled(bool enabled);
    bool Enabled() const;

    // Window text in Windows-1251 (for a combo box the edit field's text).
    void SetText(const std::string& text, bool onlyLatestMatters = false);
    std::string Text() const;

    void SetColor(uint32_t color);
    uint32_t Color() const;
    void SetFont(const TFontRec& font);
    TFontRec Font() const;
    void SetFontColor(uint32_t color);
    void SetFontStyle(uint8_t style);

    // Tab order: the place in the parent's tab sequence (1-based); a negative
    // value takes the control out of Tab navigation.
    void SetTabOrder(int order);
    int TabOrder() const;
    void SetAlign(int align);
    int Align() const;
    // Three-dimensional edge: true asks for the sunken look, false the flat.
    void SetEdge3D(bool sunken);
    bool AskedSunken() const;
    void SetTextAlign(int align);
    void SetAutoSize(bool on);
    void SetTransparent(bool on);
    void SetCursor(int cursor);
    void SetKeyRouting(bool on);
    void SetFocus();
    bool Focused() const;
    void BringToTop();
    void SetToolTip(const std::string& text);
    std::string ToolTip() const;

    // Form: the close request; lParam 0 is the user's, 1 the program's. The
    // message hook may refuse it; otherwise the window closes and, for the
    // main form, the loop ends.
    void Close(intptr_t lParam);
    void SetIcon(TIconHandle icon);
    // Form: lets the user move the window with the mouse button held.
    void DragMove();
    // Form: Tab and Shift+Tab move the focus through the child controls in
    // tab order (installed on the form's key-down hook).
    void InstallTabNavigation();
    // Form: the button that answers Enter (none by default).
    void SetDefaultButton(TControl* button);
    TControl* DefaultButton() const;

    // Edit: caret position (start of the selection).
    int CaretPos() const;
    void SetCaretPos(int pos);

    // Progress bar.
    void SetRange(int max);
    int RangeMax() const;
    void SetProgress(int pos);
    int Progress() const;
    void SetBarColor(uint32_t color);
    uint32_t BarColor() const;

    // Combo box items. Indexes are 0-based; -1 means none.
    int AddItem(const std::string& text);
    int InsertItem(int index, const std::string& text);
    int ItemCount() const;
    std::string ItemText(int index) const;
    void SetItemText(int index, const std::string& text);
    // Item data: 0 until set; -1 for an index outside the list. Items and
    // their data are read from the control's own copy.
    int ItemData(int index) const;
    void SetItemData(int index, int data);
    void SetCurSel(int index);
    int CurSel() const;
    void ResetContent();
    void SetRedraw(bool on);
    void SetItemHeight(int height);
    // Opens or closes the drop-down list; the combo's height while open is
    // closed height × (n + 1) + 2, n the item count limited to 1..8.
    void ShowDropDown(bool show);
    bool DroppedDown() const;
    int DroppedHeight() const;

    // Edit or combo box edit field: the selected text.
    std::string SelectedText() const;

    // Picture box: repaint.
    void Invalidate();
    // What the window system shows now, for tests and tools: whether the
    // window is shown, its text (Windows-1251; an edit's or combo box's
    // field), and a form's frame.
    bool WindowVisible() const;
    std::string WindowText() const;
    struct TFrameShown {
        bool caption = false, sysMenu = false, minimizeBox = false, maximizeBox = false;
        bool sizable = false;
    };
    TFrameShown FrameShown() const;
    // Form: makes the window the active one.
    void Activate();
    // Renders the window (a form with its children) to a PNG file.
    bool SaveScreenshot(const std::string& path) const;
    // The window as it is drawn now (a form with its children).
    TPixels Render() const;
    // Where the window is drawn: its rectangle in the parent's client area;
    // for a form, its client area.
    TRect DrawnRect() const;

    TControlHooks hooks;

    // Toolkit internals, for the backends.
    struct TImpl;
    TImpl& Impl() { return *impl_; }
    void Realign();
    void UpdateAutoSize();
    void DeliverMouse(uint32_t msg, const TMouseEvent& m);
    bool DeliverMessage(TMessage& m);
    bool CloseRequested(intptr_t lParam);
    // The window system moved a form, destroyed the window, or changed the
    // text of an edit or combo box (the new text in Windows-1251).
    void WindowMoved(int left, int top);
    void WindowDestroyed();
    void TextChangedByWindow(const std::string& text);
    void SetDroppedHeight(int height);
    bool KeyRouting() const;
    bool ApplyingText() const { return applyingText_; }

private:
    struct TItem {
        std::string text;
        int data = 0;
    };
    struct TState {
        TStyles styles;
        int left = 0, top = 0, width = 0, height = 0;
        bool visible = true;
        bool enabled = true;
        std::string text;
        uint32_t color = 0x8000000F;
        TFontRec font;
        int align = 0;
        bool askedSunken = true;
        bool currentSunken = true;
        int textAlign = 0;
        bool autoSize = false;
        bool transparent = false;
        int cursor = 0;
        bool keyRouting = true;
        int rangeMax = 100;
        int progress = 0;
        uint32_t barColor = 0x8000000D;
        int itemHeight = 0;
        int droppedHeight = 0;
        std::string toolTip;
        std::vector<TItem> items; // a combo box's
    };

    // One field of the state, read or stored under the lock.
    template <class T> T Field(T TState::*field) const {
        std::lock_guard lock(mutex_);
        return s_.*field;
    }
    template <class T> void SetField(T TState::*field, const T& value) {
        std::lock_guard lock(mutex_);
        s_.*field = value;
    }
    // On the GUI thread: `store` changes the state under the lock, then
    // `follow` makes the window show it.
    template <class Store, class Follow> void Change(Store store, Follow follow) {
        GuiCall([&] {
            {
                std::lock_guard lock(mutex_);
                store();
            }
            follow();
        });
    }

    // Shows the style words, and the geometry that follows from them.
    void Restyle();
    TRect AlignedRect() const;
    int EdgeWidth() const;
    std::vector<TControl*> TabSequence() const;
    // Shows `text` in the window and follows it with the size (GUI thread).
    void ApplyText(const std::string& text);

    // Backend, all on the GUI thread: make and release the window, and make
    // it show what the state says.
    void CreateWindowOf(TControl* parent);
    void DestroyWindowOf();
    void ApplyStyles();
    void ApplyGeometry();
    void ApplyPalette(); // background, text and bar colours, transparency
    void ApplyFont();
    void ApplyWindowText(const std::string& text);
    void ApplyVisible(bool visible);
    void ApplyEnabled(bool enabled);
    void ApplyRange();
    void ApplyProgress();
    void ApplyToolTip();
    // Whether the window exists (creating it may have failed).
    bool HasWindow() const;
    // A combo box's list shows the items: insert one, change one's text
    // (keeping its selection), remove all; select one (-1: none) and read
    // the selection, which the user changes too.
    void ApplyInsertItem(int index, const std::string& text);
    void ApplyItemText(int index, const std::string& text);
    void ApplyClearItems();
    void ApplyCurSel(int index);
    int WindowCurSel() const;
    // An edit's caret (the start of its selection), put at `pos`; the text
    // selected in an edit or a combo box's edit field.
    int WindowCaretPos() const;
    void ApplyCaretPos(int pos);
    std::string WindowSelectedText() const;
    // The extent of the text in the font: width, height of its lines, and
    // the height of one line. False when the window cannot measure.
    bool MeasureText(const std::string& text, const TFontRec& font, int& width, int& height,
                     int& lineHeight) const;
    // Whether Shift is held for the key being handled.
    bool ShiftHeld() const;

    TControlKind kind_;
    TControl* parent_;
    int id_;
    std::vector<TControl*> children_; // creation order
    std::vector<TControl*> tabOrder_; // tab sequence
    TControl* defaultButton_ = nullptr;
    mutable std::mutex mutex_;
    TState s_;
    bool textUpdatePending_ = false; // guarded by mutex_
    bool textBehind_ = false;        // hidden: the window has an older text (mutex_)
    bool applyingText_ = false;      // GUI thread only
    // Shared with posted updates; false once the control is gone.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    // Backend: the window's own record.
    struct TImplDeleter {
        void operator()(TImpl* impl) const;
    };
    static TImpl* NewImpl();
    std::unique_ptr<TImpl, TImplDeleter> impl_;
};
