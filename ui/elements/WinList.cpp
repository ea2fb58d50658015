#include "ui/elements/WinList.h"

void TQeWinList::inAdd(TData& d, uint16_t) {
    // 1. The text: from srcString, or the first value of the event's list.
    const std::string text = ReadString(d, srcString, "");
    // 2. Insert at the top, or add.
    int index;
    if (InsertAtTop) {
        index = Control->InsertItem(0, text);
        if (index == -1) Control->SetText(Control->Text() + "\r\n" + text);
    } else {
        index = AddItem(text);
    }
    // 3. Select it when asked.
    if (SelectAdded) Control->SetCurSel(index);
    // 4. Item data: from srcItemData, or the next value of the list.
    TData data;
    ReadFirst(d, srcItemData, nullptr, data);
    if (data.type == data_int) Control->SetItemData(index, data.idata);
    // 5. onChange fires with NULL after we return.
    ForwardNull(d, onChange);
}

void TQeWinList::inClear(TData& d, uint16_t) {
    Clear(d);
}

void TQeWinList::valText(TData& d, uint16_t) {
    GetText(d);
}

void TQeWinList::CopyItems(std::vector<std::string>& list) {
    const int n = Control->ItemCount();
    for (int i = 0; i < n; ++i)
        list.push_back(Control->ItemText(i));
}

void TQeWinList::BeginUpdate(std::size_t) {
    Control->SetRedraw(false);
    Control->ResetContent();
}

void TQeWinList::EndUpdate() {
    Control->SetRedraw(true);
    Control->Invalidate();
}

int TQeWinList::AddItem(const std::string& text) {
    const int index = Control->AddItem(text);
    if (Control->ItemCount() == 1) Control->SetCurSel(index);
    return index;
}

void TQeWinList::SelectIndex(int index) {
    if (index < 0 || index >= Control->ItemCount()) index = -1;
    Control->SetCurSel(index);
}

void TQeWinList::ReplaceItem(const TData& index, const TData& text) {
    const int i = ToIndex(index);
    if (i >= 0 && i < Control->ItemCount()) Control->SetItemText(i, ToString(text));
}

void TQeWinList::Clear(TData& d) {
    Control->ResetContent();
    ForwardNull(d, onChange);
}

void TQeWinList::GetText(TData& d) {
    std::string text;
    const int n = Control->ItemCount();
    std::string last;
    for (int i = 0; i < n; ++i) {
        last = Control->ItemText(i);
        text += last;
        text += "\r\n";
    }
    if (n > 0 && !last.empty()) text.resize(text.size() - 2);
    SetString(d, text);
}

void TQeWinList::ReportSelection() {
    const int index = Control->CurSel();
    // With no selection there is no item to report.
    if (index < 0) return;
    TData first;
    if (SelectMode == 1)
        SetString(first, Control->ItemText(index));
    else
        SetInteger(first, index);
    TData second;
    const int data = Control->ItemData(index);
    if (data != -1) {
        SetInteger(second, data);
        first.next = &second;
    }
    Fire(onSelect, first);
}
