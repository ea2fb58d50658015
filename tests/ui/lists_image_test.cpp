// The combo box element and the image element.
#include "UiTestSupport.h"

#include "testing/ui/toolkit/Drive.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeImage.h"

namespace {
TQeComboBox* PortCombo(TTestSchema* schema, TQeSimpleForm* form) {
    auto* c = schema->Add<TQeComboBox>(form->Control);
    c->Left = 10, c->Top = 10, c->Width = 85, c->Height = 24;
    c->Color = 0xFF000005;
    c->EdgeStyle = 1;
    c->SelectMode = 1;
    c->Editable = true;
    c->ItemHeight = 20;
    return c;
}
void Add(TQeComboBox* c, const char* text) {
    TData d;
    SetString(d, text);
    Fire(MakeLink<&TQeWinList::inAdd>(0, c), d);
}
// The port box, with its form, initialised.
TQeComboBox* InitedPortCombo(TTestSchema* schema, TQeSimpleForm* form) {
    auto* c = PortCombo(schema, form);
    form->Init();
    c->Init();
    return c;
}
void AddPorts(TQeComboBox* c) {
    for (const char* port : {"COM1", "COM3", "COM4"})
        Add(c, port);
}
} // namespace

TEST_F(FormTest, ComboAddsInOrderWithoutSelectingAndReportsChanges) {
    auto* combo = InitedPortCombo(schema, form);
    combo->onChange = Link(3);
    Start();
    AddPorts(combo);
    ASSERT_EQ(combo->Control->ItemCount(), 3);
    EXPECT_EQ(combo->Control->ItemText(0), "COM1");
    EXPECT_EQ(combo->Control->ItemText(2), "COM4");
    EXPECT_EQ(combo->Control->CurSel(), -1);
    ASSERT_EQ(probe->seen.size(), 3u);
    for (const auto& s : probe->seen)
        EXPECT_EQ(s.type, data_null);
    // An empty list still reports its clearing.
    TData d;
    Fire(MakeLink<&TQeWinList::inClear>(0, combo), d);
    Fire(MakeLink<&TQeWinList::inClear>(0, combo), d);
    EXPECT_EQ(combo->Control->ItemCount(), 0);
    EXPECT_EQ(probe->seen.size(), 5u);
}

TEST_F(FormTest, ComboInsertAtTopAndItemDataFromTheValueList) {
    auto* combo = PortCombo(schema, form);
    combo->InsertAtTop = true;
    form->Init();
    combo->Init();
    Start();
    Add(combo, "COM1");
    TData text, number;
    SetString(text, "COM3");
    SetInteger(number, 42);
    text.next = &number;
    Fire(MakeLink<&TQeWinList::inAdd>(0, combo), text);
    EXPECT_EQ(combo->Control->ItemText(0), "COM3");
    EXPECT_EQ(combo->Control->ItemText(1), "COM1");
    EXPECT_EQ(combo->Control->ItemData(0), 42);
    EXPECT_EQ(combo->Control->ItemData(1), 0);
    EXPECT_EQ(combo->Control->ItemData(5), -1);
}

TEST_F(FormTest, ComboSelectionReportsTheNewItemThenItsData) {
    auto* combo = InitedPortCombo(schema, form);
    combo->onSelect = Link(8);
    Start();
    AddPorts(combo);
    combo->Control->SetFocus();
    DriveKey(combo->Control, VK_DOWN);
    Pump();
    DriveKey(combo->Control, VK_DOWN);
    Pump();
    ASSERT_EQ(probe->seen.size(), 2u);
    EXPECT_EQ(probe->seen[0].s, "COM1");
    EXPECT_EQ(probe->seen[1].s, "COM3");
    ASSERT_EQ(probe->seen[1].list.size(), 1u);
    EXPECT_EQ(probe->seen[1].list[0].type, data_int);
    EXPECT_EQ(probe->seen[1].list[0].idata, 0);
    EXPECT_EQ(combo->Control->Text(), "COM3");
    // Typing in the edit field selects nothing.
    probe->seen.clear();
    DriveText(combo->Control, "7");
    Pump();
    EXPECT_TRUE(probe->seen.empty());
}

// The edit field only edits: "COM2" stays "COM2" with COM200 in the list,
// and neither Enter nor leaving the field chooses an item, even one whose
// text has been typed in full. Only a choice in the list reports.
TEST_F(FormTest, ComboEditFieldCompletesNothingAndOnlyAChoiceIsReported) {
    auto* combo = PortCombo(schema, form);
    auto* other = schema->Add<TQeComboBox>(form->Control);
    other->Left = 10, other->Top = 50, other->Width = 85, other->Height = 24;
    form->Init();
    combo->Init();
    other->Init();
    combo->onSelect = Link(8);
    Start();
    for (const char* port : {"COM1", "COM200"})
        Add(combo, port);
    combo->Control->SetFocus();
    Pump();
    DriveText(combo->Control, "COM2");
    Pump();
    EXPECT_EQ(combo->Control->Text(), "COM2");
    EXPECT_EQ(combo->Control->SelectedText(), "");
    DriveKey(combo->Control, VK_RETURN);
    DriveText(combo->Control, "00");
    DriveKey(combo->Control, VK_RETURN);
    Pump();
    other->Control->SetFocus();
    Pump();
    ASSERT_FALSE(combo->Control->Focused());
    EXPECT_TRUE(probe->seen.empty());
    EXPECT_EQ(combo->Control->Text(), "COM200");
    EXPECT_EQ(combo->Control->CurSel(), -1);

    // An arrow key chooses an item (which one, from a typed text, is the
    // list control's own rule) and reports it.
    combo->Control->SetFocus();
    DriveKey(combo->Control, VK_DOWN);
    Pump();
    ASSERT_EQ(probe->seen.size(), 1u);
    ASSERT_GE(combo->Control->CurSel(), 0);
    EXPECT_EQ(probe->seen[0].s, combo->Control->ItemText(combo->Control->CurSel()));
}

TEST_F(FormTest, ComboTextJoinsItemsAndFillsFromLines) {
    auto* combo = PortCombo(schema, form);
    combo->Strings = "A\r\nB\nC\rD\r\n";
    form->Init();
    combo->Init();
    Start();
    ASSERT_EQ(combo->Control->ItemCount(), 3);
    EXPECT_EQ(combo->Control->ItemText(1), "B\nC"); // a lone LF does not break
    TData d;
    combo->valText(d, 0);
    EXPECT_EQ(d.sdata.str(), "A\r\nB\nC\r\nD");
    TData none;
    combo->inClear(none, 0);
    Add(combo, "A");
    Add(combo, "");
    combo->valText(d, 0);
    EXPECT_EQ(d.sdata.str(), "A\r\n\r\n");
}

TEST_F(FormTest, ComboDropDownHeightRule) {
    auto* combo = InitedPortCombo(schema, form);
    Start();
    const int closed = combo->Control->DrawnRect().Height();
    combo->Control->ShowDropDown(true);
    Pump();
    EXPECT_EQ(combo->Control->DroppedHeight(), closed * 2 + 2); // no item
    combo->Control->ShowDropDown(false);
    for (int i = 0; i < 20; ++i)
        Add(combo, "COM");
    combo->Control->ShowDropDown(true);
    Pump();
    EXPECT_EQ(combo->Control->DroppedHeight(), closed * 9 + 2);
    EXPECT_TRUE(combo->Control->DroppedDown());
    combo->Control->ShowDropDown(false);
}

TEST(ImageGeometry, ProportionalRectanglesWithTheRounding) {
    EXPECT_EQ(ProportionalRect(100, 50, 290, 290, false), (TRect{25, 0, 75, 50}));
    EXPECT_EQ(ProportionalRect(50, 100, 290, 290, false), (TRect{0, 25, 50, 75}));
    // 15 × 14: the height is fitted and nearest(0.5) is 0.
    EXPECT_EQ(ProportionalRect(15, 14, 290, 290, false), (TRect{0, 0, 15, 14}));
    // 17 × 14: nearest(1.5) is 2, halves go to the even neighbour.
    EXPECT_EQ(ProportionalRect(17, 14, 290, 290, false), (TRect{2, 0, 15, 14}));
    // Covering instead of fitting.
    EXPECT_EQ(ProportionalRect(100, 50, 290, 290, true), (TRect{0, -25, 100, 75}));
}

namespace {
// A canvas that records what is drawn.
class TRecordingCanvas : public TCanvas {
public:
    std::vector<std::pair<TRect, uint32_t>> fills;
    std::vector<TRect> bitmaps;
    void FillRect(const TRect& r, uint32_t c) override { fills.push_back({r, c}); }
    void DrawBitmap(const TBitmap&, const TRect& r) override { bitmaps.push_back(r); }
    void SetStretchMode(int) override {}
};
std::vector<unsigned char> SolidDib(int w, int h) {
    std::vector<unsigned char> b(40, 0);
    b[0] = 40;
    b[4] = uint8_t(w), b[5] = uint8_t(w >> 8);
    b[8] = uint8_t(h), b[9] = uint8_t(h >> 8);
    b[12] = 1;
    b[14] = 32;
    b.resize(40 + std::size_t(w) * h * 4, 0x80);
    return b;
}
} // namespace

TEST_F(FormTest, ImagePaintsBandsAndPictureOrOnlyBackground) {
    auto* image = schema->Add<TQeImage>(form->Control);
    image->Left = 0, image->Top = 0, image->Width = 100, image->Height = 50;
    image->EdgeStyle = 1;
    image->AutoSize = true;
    image->SetBitmap(nullptr); // ignored: stays empty
    form->Init();
    image->Init();
    Start();
    EXPECT_TRUE(image->Bitmap.Empty());
    EXPECT_EQ(image->Control->Width(), 100); // no picture, no auto-size
    TRecordingCanvas empty;
    image->Control->hooks.paint(empty);
    ASSERT_EQ(empty.fills.size(), 1u);
    EXPECT_TRUE(empty.bitmaps.empty());
    auto bytes = SolidDib(290, 290);
    image->SetBitmap(DecodeDib(bytes.data(), bytes.size()));
    image->SetStretchMode(true);
    EXPECT_EQ(image->StretchMode, HALFTONE);
    TRecordingCanvas canvas;
    image->Control->hooks.paint(canvas);
    ASSERT_EQ(canvas.bitmaps.size(), 1u);
    EXPECT_EQ(canvas.bitmaps[0], (TRect{25, 0, 75, 50}));
    ASSERT_EQ(canvas.fills.size(), 2u);
    EXPECT_EQ(canvas.fills[0].first, (TRect{0, 0, 25, 50}));
    EXPECT_EQ(canvas.fills[1].first, (TRect{75, 0, 100, 50}));
}
