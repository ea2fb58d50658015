// TQeComboBox: a drop-down list, editable or not, of strings with item data.
#pragma once

#include "ui/elements/LWinList.h"

class TQeComboBox : public TQeLWinList {
public:
    using TQeLWinList::TQeLWinList;

    // Collaborators for element-drawn items; none in this program.
    void* IndexMapper = nullptr;
    void* ItemPainter = nullptr;
    void* PictureSource = nullptr;
    bool Editable = false;
    std::string Text;
    std::string Strings;
    bool Sorted = false;
    int32_t ItemHeight = 0;

    // Setters called after Init; a null argument changes nothing.
    void SetIndexMapper(void* m);
    void SetItemPainter(void* m);
    void SetPictureSource(void* m);

    void BeginUpdate(std::size_t size) override;
    int AddItem(const std::string& text) override;
    void Init() override;
};
