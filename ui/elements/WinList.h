// TQeWinList: what any list control element has: adding items with optional
// item data, clearing, reading all items and reporting the selection.
#pragma once

#include "ui/elements/Win.h"

#include <string>
#include <vector>

class TQeWinList : public TQeWin {
public:
    using TQeWin::TQeWin;

    void* ItemBuffer = nullptr;
    std::vector<std::string>* ItemList = nullptr;
    std::string ItemsText; // written by the schema, read by no operation
    bool InsertAtTop = false;
    bool SelectAdded = false;
    uint8_t SelectMode = 0; // 1: onSelect carries the item's text, else its index
    TEventLink srcString;
    TEventLink srcItemData;
    TEventLink onChange;
    TEventLink onSelect;

    void inAdd(TData& d, uint16_t index);
    void inClear(TData& d, uint16_t index);
    void valText(TData& d, uint16_t index);

    virtual void CopyItems(std::vector<std::string>& list);
    virtual void SetItems(const std::string& text) = 0;
    virtual void BeginUpdate(std::size_t size);
    virtual void EndUpdate();
    virtual int AddItem(const std::string& text);
    virtual void SelectIndex(int index);
    virtual void ReplaceItem(const TData& index, const TData& text);
    virtual void Clear(TData& d);
    virtual void GetText(TData& d);

protected:
    // The selection report, installed as the control's selection hook.
    void ReportSelection();
};
