#include "ui/elements/qeComboBox.h"

void TQeComboBox::SetIndexMapper(void* m) {
    if (m) IndexMapper = m;
}

void TQeComboBox::SetItemPainter(void* m) {
    if (m) ItemPainter = m;
}

void TQeComboBox::SetPictureSource(void* m) {
    if (m) PictureSource = m;
}

void TQeComboBox::BeginUpdate(std::size_t size) {
    TQeWinList::BeginUpdate(size); // the toolkit's list needs no storage hint
}

// The combo box only adds: no item becomes selected by itself.
int TQeComboBox::AddItem(const std::string& text) {
    return Control->AddItem(text);
}

void TQeComboBox::Init() {
    // 1. Option bits and the control.
    uint32_t options = 0;
    if (!Editable) options |= 1u << 0;
    if (Sorted) options |= 1u << 6;
    if (Options & 8) options |= 1u << 8;
    Control = new TControl(TControlKind::Combo, ParentControl, options);
    // 2. The item height of element-drawn items.
    Control->SetItemHeight(ItemHeight);
    // 3. The common Init.
    InitWin();
    // 4.-5. Items and the edit field's text.
    SetItems(Strings);
    Control->SetText(Text);
    // 6. The selection report.
    Control->hooks.selChange = [this] { ReportSelection(); };
    // 7. Element-drawn items would need an ItemPainter; none exists here.
}
