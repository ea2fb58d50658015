// The combo box's part of the control object, and the one home of its item
// rules: where an item goes, which indexes count, what an item's text and
// data read as. The items are kept here; the backend's list shows them.
#include "ui/toolkit/Control.h"

#include "platform/Text1251.h"
#include "ui/toolkit/GuiThread.h"

// A sorted list places an item after every item whose text is not greater,
// ignoring case (Windows-1251); otherwise items are appended. The selection
// does not move to the new item.
int TControl::AddItem(const std::string& text) {
    return GuiResult<int>(
        [&] {
            if (kind_ != TControlKind::Combo || !HasWindow()) return -1;
            int index;
            {
                std::lock_guard lock(mutex_);
                std::vector<TItem>& items = s_.items;
                index = int(items.size());
                if (s_.styles.style & CBS_SORT) {
                    const std::string key = AnsiLowerCase1251(text);
                    index = 0;
                    while (index < int(items.size()) &&
                           AnsiLowerCase1251(items[std::size_t(index)].text) <= key)
                        ++index;
                }
                items.insert(items.begin() + index, TItem{text, 0});
            }
            ApplyInsertItem(index, text);
            return index;
        },
        -1);
}

// Index -1 appends; any other index outside 0..count fails.
int TControl::InsertItem(int index, const std::string& text) {
    return GuiResult<int>(
        [&] {
            if (kind_ != TControlKind::Combo || !HasWindow()) return -1;
            {
                std::lock_guard lock(mutex_);
                std::vector<TItem>& items = s_.items;
                if (index < -1 || index > int(items.size())) return -1;
                if (index == -1) index = int(items.size());
                items.insert(items.begin() + index, TItem{text, 0});
            }
            ApplyInsertItem(index, text);
            return index;
        },
        -1);
}

int TControl::ItemCount() const {
    std::lock_guard lock(mutex_);
    return int(s_.items.size());
}

std::string TControl::ItemText(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= int(s_.items.size())) return {};
    return s_.items[std::size_t(index)].text;
}

// The item keeps its place, its data and whether it is selected.
void TControl::SetItemText(int index, const std::string& text) {
    GuiCall([&] {
        {
            std::lock_guard lock(mutex_);
            if (index < 0 || index >= int(s_.items.size())) return;
            s_.items[std::size_t(index)].text = text;
        }
        ApplyItemText(index, text);
    });
}

int TControl::ItemData(int index) const {
    std::lock_guard lock(mutex_);
    if (index < 0 || index >= int(s_.items.size())) return -1;
    return s_.items[std::size_t(index)].data;
}

void TControl::SetItemData(int index, int data) {
    std::lock_guard lock(mutex_);
    if (index >= 0 && index < int(s_.items.size())) s_.items[std::size_t(index)].data = data;
}

// An index outside the list selects nothing.
void TControl::SetCurSel(int index) {
    GuiCall([&] {
        if (kind_ != TControlKind::Combo || !HasWindow()) return;
        if (index < 0 || index >= ItemCount()) index = -1;
        ApplyCurSel(index);
    });
}

int TControl::CurSel() const {
    return GuiResult<int>(
        [&] { return kind_ == TControlKind::Combo && HasWindow() ? WindowCurSel() : -1; }, -1);
}

void TControl::ResetContent() {
    GuiCall([&] {
        if (kind_ != TControlKind::Combo || !HasWindow()) return;
        {
            std::lock_guard lock(mutex_);
            s_.items.clear();
        }
        ApplyClearItems();
    });
}

void TControl::SetItemHeight(int height) {
    SetField(&TState::itemHeight, height);
}

void TControl::SetDroppedHeight(int height) {
    SetField(&TState::droppedHeight, height);
}

int TControl::DroppedHeight() const {
    return Field(&TState::droppedHeight);
}
