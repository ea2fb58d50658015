// The main form: start, visibility, close decisions, border styles.
#include "UiTestSupport.h"

#include "ui/elements/qeButton.h"
#include "ui/toolkit/Drive.h"

#include <QWidget>

TEST_F(FormTest, BorderStyleOneGivesAFixedWindowWithoutMaximiseBox) {
    form->Init();
    Start();
    EXPECT_EQ(form->Control->Style(), 0x16CA0000u);
    QWidget* w = form->Control->Widget();
    EXPECT_EQ(w->minimumSize(), w->maximumSize()); // fixed size
    const Qt::WindowFlags f = w->windowFlags();
    EXPECT_TRUE(f & Qt::WindowTitleHint);
    EXPECT_TRUE(f & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    // The client area is the outer size less the classic frame and caption.
    EXPECT_EQ(w->width(), 497);
    EXPECT_EQ(w->height(), 137);
    EXPECT_EQ(form->Control->Width(), 503);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Varnomiksal bootloader"));
}

TEST_F(FormTest, WindowBecomesVisibleOnlyAfterOnCreateReturns) {
    form->Init();
    bool visibleDuringCreate = true;
    probe->onEvent = [&](TData&) {
        visibleDuringCreate = form->Control->Visible() || form->Control->Widget()->isVisible();
    };
    form->onCreate = Link(4);
    EXPECT_FALSE(form->Control->Widget()->isVisible()); // created hidden
    Start();
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_EQ(probe->seen[0].type, data_null);
    EXPECT_FALSE(visibleDuringCreate);
    EXPECT_TRUE(form->Control->Widget()->isVisible());
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
    EXPECT_FALSE(form->Control->Widget()->isVisible());
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
    EXPECT_TRUE(form->Control->Widget()->isVisible());
    EXPECT_FALSE(TApplication::Instance().Quitting());
    TData d;
    form->inClose(d, 0);
    Pump();
    ASSERT_EQ(probe->seen.size(), 1u);
    EXPECT_FALSE(form->Control->Widget()->isVisible());
    EXPECT_TRUE(TApplication::Instance().Quitting());
}

TEST_F(FormTest, InSetEnabledDisablesOnlyForIntegerZero) {
    form->Init();
    Start();
    TData d;
    SetInteger(d, 0);
    form->inSetEnabled(d, 0);
    EXPECT_FALSE(form->Control->Widget()->isEnabled());
    SetString(d, "0");
    form->inSetEnabled(d, 0);
    EXPECT_TRUE(form->Control->Widget()->isEnabled());
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
