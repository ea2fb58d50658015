// Buttons, edits, labels and progress bars on a started form.
#include "UiTestSupport.h"

#include "testing/ui/toolkit/Drive.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeEdit.h"
#include "ui/elements/qeLabel.h"
#include "ui/elements/qeProgressBar.h"

TEST_F(FormTest, ButtonFiresACopyOfDataOnMouseClickAndSpace) {
    auto* button = Place<TQeButton>(schema, form, 5, 50, 85, 30);
    button->Caption = Cp1251("Записать");
    SetInteger(button->Data, 0);
    form->Init();
    button->Init();
    button->onClick = Link(0);
    Start();
    DriveClick(button->Control);
    DriveKey(button->Control, VK_SPACE);
    Pump();
    ASSERT_EQ(probe->seen.size(), 2u);
    for (const auto& s : probe->seen) {
        EXPECT_EQ(s.type, data_int);
        EXPECT_EQ(s.i, 0);
    }
    EXPECT_EQ(button->Data.type, data_int); // a copy was sent
    EXPECT_TRUE(button->Control->Style() & BS_MULTILINE);
}

TEST_F(FormTest, DisabledButtonDoesNotFire) {
    auto* button = Place<TQeButton>(schema, form, 5, 50, 85, 30);
    button->Enabled = false;
    form->Init();
    button->Init();
    button->onClick = Link(0);
    Start();
    DriveClick(button->Control);
    Pump();
    EXPECT_TRUE(probe->seen.empty());
}

TEST_F(FormTest, EditEnterFiresClearsAndDoesNotReportTheClearing) {
    auto* edit = Place<TQeEdit>(schema, form, 110, 10, 320, 25);
    form->Init();
    edit->Init();
    edit->onEnter = Link(1);
    edit->onChange = Link(2);
    Start();
    DriveText(edit->Control, "abc");
    ASSERT_EQ(probe->seen.size(), 3u); // one change per letter
    EXPECT_EQ(probe->seen[2].s, "abc");
    probe->seen.clear();
    DriveKey(edit->Control, VK_RETURN);
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].index, 1);
    EXPECT_EQ(probe->seen[0].s, "abc");
    EXPECT_EQ(edit->Control->Text(), "");
    probe->seen.clear();
    DriveText(edit->Control, "d");
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].index, 2);
    EXPECT_EQ(probe->seen[0].s, "d");
}

TEST_F(FormTest, EditKeepsTextSetDuringOnEnter) {
    auto* edit = Place<TQeEdit>(schema, form, 110, 10, 320, 25);
    form->Init();
    edit->Init();
    edit->onEnter = Link(1);
    probe->onEvent = [&](TData&) {
        TData t;
        SetString(t, "reply");
        edit->inSetText(t, 0);
    };
    Start();
    DriveText(edit->Control, "x");
    DriveKey(edit->Control, VK_RETURN);
    EXPECT_EQ(edit->Control->Text(), "reply");
    EXPECT_EQ(edit->Control->WindowText(), "reply");
}

TEST_F(FormTest, EditInitialTextIsNotReportedAndSetTextKeepsTheCaret) {
    auto* edit = Place<TQeEdit>(schema, form, 110, 10, 320, 25);
    edit->Text = Cp1251("Выберите порт с подключённым устройством.");
    edit->ReadOnly = true;
    edit->EdgeStyle = 0;
    form->Init();
    edit->Init();
    edit->onChange = Link(2);
    Start();
    EXPECT_TRUE(probe->seen.empty());
    EXPECT_TRUE(edit->Control->Style() & ES_READONLY);
    EXPECT_EQ(edit->Control->WindowText(), Cp1251("Выберите порт с подключённым устройством."));
    // The sunken look on the flat form: client edge instead of the border.
    EXPECT_TRUE(edit->Control->ExStyle() & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(edit->Control->Style() & WS_BORDER);
    edit->Control->SetCaretPos(5);
    TData t;
    SetString(t, "0123456789");
    edit->inSetText(t, 0);
    EXPECT_EQ(edit->Control->CaretPos(), 5);
    SetString(t, "01");
    edit->inSetText(t, 0);
    EXPECT_EQ(edit->Control->CaretPos(), 2);
    TData v;
    edit->valText(v, 0);
    EXPECT_EQ(v.type, data_str);
    EXPECT_EQ(v.sdata.str(), "01");
    // A NULL event value with no source clears the text.
    TData none;
    edit->inSetText(none, 0);
    EXPECT_EQ(edit->Control->Text(), "");
    EXPECT_EQ(probe->seen.size(), 3u); // the program's changes are reported
}

TEST_F(FormTest, SetVisibleHidesOnlyForIntegerZero) {
    auto* label = Place<TQeLabel>(schema, form, 10, 10, 100, 20);
    label->Caption = "CRC:";
    label->Visible = false;
    form->Init();
    label->Init();
    Start();
    EXPECT_FALSE(label->Control->WindowVisible());
    TData d;
    SetString(d, "0");
    label->inSetVisible(d, 0);
    EXPECT_TRUE(label->Control->WindowVisible());
    SetInteger(d, 0);
    label->inSetVisible(d, 0);
    EXPECT_FALSE(label->Control->WindowVisible());
    TData null;
    label->inSetVisible(null, 0);
    EXPECT_TRUE(label->Control->Visible());
}

TEST_F(FormTest, ProgressTakesTheEventValueAndNullGoesToZero) {
    auto* bar = Place<TQeProgressBar>(schema, form, 5, 90, 485, 30);
    bar->Max = 507;
    bar->Smooth = true;
    bar->BarColor = 0xFF000010;
    bar->EdgeStyle = 0;
    form->Init();
    bar->Init();
    Start();
    TData d;
    SetInteger(d, 254);
    bar->inSetPosition(d, 0);
    EXPECT_EQ(bar->Control->Progress(), 254);
    TData null;
    bar->inSetPosition(null, 0);
    EXPECT_EQ(bar->Control->Progress(), 0);
    SetInteger(d, 9999); // kept within the range
    bar->inSetPosition(d, 0);
    EXPECT_EQ(bar->Control->Progress(), 507);
    SetString(d, "abc");
    bar->inSetPosition(d, 0);
    EXPECT_EQ(bar->Control->Progress(), 0);
}

TEST_F(FormTest, LabelShowsCaptionAlignsAndHovers) {
    auto* top = Place<TQeLabel>(schema, form, 0, 0, 497, 24);
    top->Align = 2;
    top->Alignment = 2;
    top->Caption = Cp1251("Ошибка при передаче данных!");
    auto* second = Place<TQeLabel>(schema, form, 0, 24, 497, 24);
    second->Align = 2;
    second->Caption = "x";
    second->HoverColor = 0x000000FF;
    second->HoverUnderline = true;
    form->Init();
    top->Init();
    second->Init();
    top->onClick = Link(7);
    Start();
    EXPECT_EQ(top->Control->Top(), 0);
    EXPECT_EQ(top->Control->Width(), 497); // stretched over the client area
    EXPECT_EQ(second->Control->Top(), 24); // after the first
    EXPECT_EQ(top->Control->Style() & SS_TYPEMASK, SS_CENTER);
    DriveMouseEnter(second->Control);
    EXPECT_EQ(second->Control->Font().Color, 0x000000FFu);
    EXPECT_TRUE(second->Control->Font().Style & fs_underline);
    DriveMouseLeave(second->Control);
    EXPECT_EQ(second->Control->Font().Color, 0u);
    EXPECT_FALSE(second->Control->Font().Style & fs_underline);
    DriveClick(top->Control);
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].index, 7);
}

TEST_F(FormTest, SizeFilterChangesTheProposedSizeOnlyWithAnInteger) {
    auto* label = Place<TQeLabel>(schema, form, 0, 0, 100, 20);
    form->Init();
    label->Init();
    Start();
    SetInteger(probe->answer, 5);
    label->srcHeightFilter = MakeLink<&TProbe::valAnswer>(0, probe);
    label->Control->SetSize(100, 40);
    EXPECT_EQ(label->Control->Height(), 25);
    SetString(probe->answer, "7");
    label->srcWidthFilter = MakeLink<&TProbe::valAnswer>(0, probe);
    label->Control->SetSize(150, 25);
    EXPECT_EQ(label->Control->Width(), 150);
}

TEST_F(FormTest, TabMovesFocusByTabOrderAndShiftTabBack) {
    auto* a = Place<TQeEdit>(schema, form, 0, 0, 50, 20);
    auto* b = Place<TQeButton>(schema, form, 0, 30, 50, 20);
    auto* c = Place<TQeEdit>(schema, form, 0, 60, 50, 20);
    c->TabOrder = 1; // first in the sequence
    form->Init();
    a->Init();
    b->Init();
    c->Init();
    form->Control->InstallTabNavigation();
    Start();
    c->Control->SetFocus();
    Pump();
    ASSERT_TRUE(c->Control->Focused());
    DriveKey(c->Control, VK_TAB);
    EXPECT_TRUE(a->Control->Focused());
    DriveKey(a->Control, VK_TAB);
    EXPECT_TRUE(b->Control->Focused());
    DriveKey(b->Control, VK_TAB);
    EXPECT_TRUE(c->Control->Focused()); // wrapped around
    DriveKey(c->Control, VK_TAB, true);
    EXPECT_TRUE(b->Control->Focused());
}
