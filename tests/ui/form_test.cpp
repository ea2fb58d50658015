// The main form: start, visibility, close decisions, border styles, the
// disabled form and where the focus goes.
#include "UiTestSupport.h"

#include "testing/ui/toolkit/Drive.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeEdit.h"
#include "ui/elements/qeLabel.h"
#include "ui/elements/qeProgressBar.h"

TEST_F(FormTest, BorderStyleOneGivesAFixedWindowWithoutMaximiseBox) {
    form->Init();
    Start();
    EXPECT_EQ(form->Control->Style(), 0x16CA0000u);
    const TControl::TFrameShown f = form->Control->FrameShown();
    EXPECT_FALSE(f.sizable);
    EXPECT_TRUE(f.caption);
    EXPECT_TRUE(f.sysMenu);
    EXPECT_TRUE(f.minimizeBox);
    EXPECT_FALSE(f.maximizeBox);
    // The client area is the outer size less the classic frame and caption.
    const TRect client = form->Control->DrawnRect();
    EXPECT_EQ(client.Width(), 497);
    EXPECT_EQ(client.Height(), 137);
    EXPECT_EQ(form->Control->Width(), 503);
    EXPECT_EQ(form->Control->WindowText(), "Varnomiksal bootloader");
}

TEST_F(FormTest, WindowBecomesVisibleOnlyAfterOnCreateReturns) {
    form->Init();
    bool visibleDuringCreate = true;
    probe->onEvent = [&](TData&) {
        visibleDuringCreate = form->Control->Visible() || form->Control->WindowVisible();
    };
    form->onCreate = Link(4);
    EXPECT_FALSE(form->Control->WindowVisible()); // created hidden
    Start();
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].type, data_null);
    EXPECT_FALSE(visibleDuringCreate);
    EXPECT_TRUE(form->Control->WindowVisible());
    EXPECT_TRUE(form->ShownOnce);
}

TEST_F(FormTest, UserCloseWithoutBlockFiresOnCloseOnceThenNothing) {
    auto* button = schema->Add<TQeButton>(form->Control);
    button->Left = 5, button->Top = 5, button->Width = 80, button->Height = 25;
    button->Caption = "OK";
    form->Init();
    button->Init();
    form->onClose = Link(1);
    button->onClick = Link(2);
    Start();
    DriveUserClose(form->Control);
    Pump();
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].index, 1);
    EXPECT_FALSE(form->Control->WindowVisible());
    EXPECT_TRUE(TApplication::Instance().Quitting());
    // Nothing reaches any element any more.
    DriveClick(button->Control);
    DriveUserClose(form->Control);
    Pump();
    EXPECT_EQ(probe->seen.size(), 1u);
    // The loop returns at once after the close.
    TApplication::Instance().Run();
}

TEST_F(FormTest, BlockCloseRefusesTheUserButNotInClose) {
    form->Init();
    form->onClose = Link(1);
    SetInteger(probe->answer, 1);
    form->srcBlockClose = MakeLink<&TProbe::valAnswer>(0, probe);
    Start();
    DriveUserClose(form->Control);
    Pump();
    EXPECT_TRUE(probe->seen.empty());
    EXPECT_TRUE(form->Control->WindowVisible());
    EXPECT_FALSE(TApplication::Instance().Quitting());
    TData d;
    form->inClose(d, 0);
    Pump();
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_FALSE(form->Control->WindowVisible());
    EXPECT_TRUE(TApplication::Instance().Quitting());
}

TEST_F(FormTest, InSetEnabledDisablesOnlyForIntegerZero) {
    form->Init();
    Start();
    TData d;
    SetInteger(d, 0);
    form->inSetEnabled(d, 0);
    EXPECT_FALSE(form->Control->Enabled());
    SetString(d, "0");
    form->inSetEnabled(d, 0);
    EXPECT_TRUE(form->Control->Enabled());
}

// A disabled form takes no input, neither what the window system delivers to
// its window nor what reaches a control directly, and draws its controls
// exactly as before; a disabled control is drawn disabled.
TEST_F(FormTest, DisabledFormRefusesInputAndDrawsItsControlsUnchanged) {
    auto* button = Place<TQeButton>(schema, form, 5, 50, 85, 30);
    button->Caption = Cp1251("Записать");
    SetInteger(button->Data, 0);
    auto* edit = Place<TQeEdit>(schema, form, 110, 10, 320, 25);
    edit->Text = "text";
    edit->EdgeStyle = 0;
    auto* label = Place<TQeLabel>(schema, form, 110, 55, 272, 20);
    label->Caption = Cp1251("Версия ПО для обновления:8.4 (KMV-4)");
    auto* bar = Place<TQeProgressBar>(schema, form, 5, 90, 485, 30);
    bar->Max = 507;
    auto* combo = Place<TQeComboBox>(schema, form, 10, 10, 85, 24);
    combo->Color = 0xFF000005;
    combo->Editable = true;
    combo->Strings = "COM1";
    form->Init();
    for (TQeWin* w : std::initializer_list<TQeWin*>{button, edit, label, bar, combo})
        w->Init();
    button->onClick = Link(1);
    edit->onChange = Link(2);
    Start();
    TData position;
    SetInteger(position, 200);
    bar->inSetPosition(position, 0);
    form->Control->SetFocus(); // no caret blinks in any control
    Pump();
    const std::vector<TControl*> controls = {button->Control, edit->Control, label->Control,
                                             bar->Control, combo->Control};
    std::vector<TPixels> enabled;
    for (TControl* c : controls)
        enabled.push_back(c->Render());
    combo->Control->ShowDropDown(true);
    Pump();
    ASSERT_TRUE(combo->Control->DroppedDown());

    TData off, on;
    SetInteger(off, 0);
    SetInteger(on, 1);
    form->inSetEnabled(off, 0);
    Pump();
    EXPECT_FALSE(combo->Control->DroppedDown()); // the open list closes
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const TPixels now = controls[i]->Render();
        ASSERT_GT(now.width, 0);
        EXPECT_TRUE(now == enabled[i]) << "control " << i << " is drawn differently";
    }
    DriveClick(button->Control);
    DriveWindowClick(button->Control);
    DriveKey(button->Control, VK_SPACE);
    DriveWindowClick(edit->Control);
    DriveText(edit->Control, "x");
    DriveWindowKey(form->Control, 'Y');
    Pump();
    EXPECT_TRUE(probe->seen.empty());
    EXPECT_EQ(edit->Control->Text(), "text");
    EXPECT_TRUE(form->Control->Focused());

    form->inSetEnabled(on, 0);
    DriveWindowClick(button->Control);
    Pump();
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].index, 1);

    form->Control->SetFocus();
    Pump();
    const TPixels before = button->Control->Render();
    button->inSetEnabled(off, 0);
    Pump();
    EXPECT_FALSE(button->Control->Render() == before);
}

// Disabling or hiding the control that has the focus leaves the focus with
// the form, not with the next control: a read-only edit given the focus by
// Tab would select all its text. The window activated again gives the focus
// to the form as well.
TEST_F(FormTest, AControlDisabledOrHiddenWithTheFocusLeavesItWithTheForm) {
    auto* combo = Place<TQeComboBox>(schema, form, 10, 10, 85, 24);
    combo->Editable = true;
    combo->Strings = "COM1";
    auto* status = Place<TQeEdit>(schema, form, 110, 10, 320, 25);
    status->Text = Cp1251("Устройство: VMX-1   Текущая версия ПО: 8.3");
    status->ReadOnly = true;
    auto* button = Place<TQeButton>(schema, form, 5, 50, 85, 30);
    form->Init();
    combo->Init();
    status->Init();
    button->Init();
    Start();
    auto noControlFocused = [&] {
        return !combo->Control->Focused() && !status->Control->Focused() &&
               !button->Control->Focused();
    };
    TData off;
    SetInteger(off, 0);
    // The control takes the focus, then `leave` takes it away: no control
    // keeps it.
    auto focusThenLeave = [&](TQeWin* win, const std::function<void()>& leave) {
        win->Control->SetFocus();
        Pump();
        ASSERT_TRUE(win->Control->Focused());
        leave();
        Pump();
        EXPECT_TRUE(noControlFocused());
    };

    focusThenLeave(combo, [&] { combo->inSetEnabled(off, 0); });
    EXPECT_TRUE(form->Control->Focused());
    EXPECT_EQ(status->Control->SelectedText(), "");

    // Another window takes the activation and gives it back.
    TControl other(TControlKind::Form, nullptr);
    other.SetPosition(600, 200);
    other.SetSize(50, 50);
    other.SetVisible(true);
    Pump();
    ASSERT_FALSE(form->Control->Focused());
    form->Control->Activate();
    Pump();
    EXPECT_TRUE(noControlFocused());
    EXPECT_TRUE(form->Control->Focused());

    focusThenLeave(button, [&] { button->inSetVisible(off, 0); });
    EXPECT_EQ(status->Control->SelectedText(), "");
}

TEST_F(FormTest, DebugMessageGoesToTheToolkitsMessageBox) {
    form->Init();
    Start();
    std::string caption, text;
    SetMessageBoxInterceptor([&](const std::string& c, const std::string& t) {
        caption = c;
        text = t;
    });
    DebugMessage(Cp1251("проверка"));
    SetMessageBoxInterceptor(nullptr);
    EXPECT_EQ(caption, "String-Debug");
    EXPECT_EQ(text, Cp1251("проверка"));
    EXPECT_EQ(MainWindowHandle(), form->Control);
}
