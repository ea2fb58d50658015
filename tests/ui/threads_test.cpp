// Element operations from another thread while the GUI thread runs, waits
// for that thread, and closes the form.
#include "UiTestSupport.h"

#include "testing/ui/toolkit/Drive.h"
#include "ui/elements/qeEdit.h"
#include "ui/elements/qeLabel.h"
#include "ui/elements/qeProgressBar.h"
#include "ui/toolkit/GuiThread.h"

#include <atomic>
#include <string>
#include <thread>

namespace {
constexpr int kCalls = 3000;
// Only a hang waits this long: under wine on a busy machine every call across
// threads is a round of the wine server's, and 1000 calls can take 20 s.
constexpr int kHangMs = 120000;

struct TWindow {
    TQeEdit* edit;
    TQeLabel* label;
    TQeProgressBar* bar;
};

TWindow Build(TTestSchema* schema, TQeSimpleForm* form) {
    TWindow w;
    w.edit = schema->Add<TQeEdit>(form->Control);
    w.edit->Width = 200, w.edit->Height = 25;
    w.label = schema->Add<TQeLabel>(form->Control);
    w.label->Top = 30, w.label->Width = 100, w.label->Height = 20;
    w.bar = schema->Add<TQeProgressBar>(form->Control);
    w.bar->Top = 60, w.bar->Width = 300, w.bar->Height = 20;
    w.bar->Max = kCalls;
    return w;
}

// The window built, with the form and every control initialised.
TWindow BuildInited(TTestSchema* schema, TQeSimpleForm* form) {
    TWindow w = Build(schema, form);
    form->Init();
    w.edit->Init();
    w.label->Init();
    w.bar->Init();
    return w;
}

// What the reader thread of the program does: text, visibility, position.
void Hammer(TWindow w, std::atomic<int>& done) {
    for (int i = 0; i < kCalls; ++i) {
        TData d;
        SetString(d, std::to_string(i));
        w.edit->inSetText(d, 0);
        SetInteger(d, i % 2);
        w.label->inSetVisible(d, 0);
        SetInteger(d, i);
        w.bar->inSetPosition(d, 0);
        done = i + 1;
    }
}
} // namespace

TEST_F(FormTest, JoiningTheWorkerDuringCloseKeepsServingItsCalls) {
    TWindow w = BuildInited(schema, form);
    w.edit->onChange = Link(1);
    std::atomic<int> done{0};
    std::thread worker;
    // Closing joins the worker, as closing the serial port joins its reader.
    probe->onEvent = [&](TData&) {};
    TProbe closer;
    closer.onEvent = [&](TData&) { RunServingCalls([&] { worker.join(); }); };
    form->onClose = MakeLink<&TProbe::inEvent>(0, &closer);
    Start();
    worker = std::thread(Hammer, w, std::ref(done));
    ASSERT_TRUE(TApplication::Instance().RunUntil([&] { return done >= 1000; }, kHangMs));
    DriveUserClose(form->Control);
    EXPECT_FALSE(worker.joinable());
    EXPECT_EQ(done.load(), kCalls);
    // Every text arrived, in order.
    ASSERT_EQ(probe->seen.size(), std::size_t(kCalls));
    for (int i = 0; i < kCalls; ++i)
        ASSERT_EQ(probe->seen[std::size_t(i)].s, std::to_string(i));
    EXPECT_EQ(w.bar->Control->Progress(), kCalls - 1);
    EXPECT_TRUE(w.label->Control->Visible()); // the last call showed it
}

TEST_F(FormTest, CallsAfterCloseReturnAtOnceAndChangeNothing) {
    TWindow w = BuildInited(schema, form);
    w.edit->onChange = Link(1);
    std::atomic<int> done{0};
    Start();
    std::thread worker(Hammer, w, std::ref(done));
    ASSERT_TRUE(TApplication::Instance().RunUntil([&] { return done >= 500; }, kHangMs));
    DriveUserClose(form->Control);
    const std::string atClose = w.edit->Control->Text();
    const int positionAtClose = w.bar->Control->Progress();
    RunServingCalls([&] { worker.join(); });
    EXPECT_EQ(done.load(), kCalls);
    EXPECT_EQ(w.edit->Control->Text(), atClose);
    EXPECT_EQ(w.bar->Control->Progress(), positionAtClose);
    EXPECT_EQ(w.edit->Control->WindowText(), atClose);
    // The texts that arrived before the close came in order, none skipped.
    ASSERT_FALSE(probe->seen.empty());
    for (std::size_t i = 0; i < probe->seen.size(); ++i)
        ASSERT_EQ(probe->seen[i].s, std::to_string(i));
    EXPECT_EQ(probe->seen.back().s, atClose);
}

TEST(GuiThread, WaitServingCallsRunsCallsWhileWaiting) {
    TApplication::Instance();
    OpenCalls();
    std::atomic<bool> finished{false};
    int ran = 0;
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            GuiCall([&] { ++ran; });
        finished = true;
        WakeWaitingGui();
    });
    WaitServingCalls([&] { return finished.load(); });
    worker.join();
    EXPECT_EQ(ran, 100);
}

// The hidden CRC field of the program: set from the reader thread after every
// byte and read back at once, with nobody listening for its changes.
TEST_F(FormTest, AnUnwatchedEditSetFromAnotherThreadReadsBackTheLatestText) {
    TWindow w = Build(schema, form);
    form->Init();
    w.edit->Init();
    Start();
    std::atomic<bool> mismatch{false};
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        for (int i = 0; i < kCalls; ++i) {
            TData d;
            SetString(d, std::to_string(i));
            w.edit->inSetText(d, 0);
            TData back;
            w.edit->valText(back, 0);
            if (ToString(back) != std::to_string(i)) mismatch = true;
        }
        finished = true;
    });
    // The GUI thread keeps applying (and its widget's change signal firing)
    // while the worker sets and reads.
    ASSERT_TRUE(TApplication::Instance().RunUntil([&] { return finished.load(); }, kHangMs));
    worker.join();
    TApplication::Instance().ProcessEvents();
    EXPECT_FALSE(mismatch);
    const std::string last = std::to_string(kCalls - 1);
    EXPECT_EQ(w.edit->Control->Text(), last);
    EXPECT_EQ(w.edit->Control->WindowText(), last);
}

// A hidden field set from another thread after every byte, with nobody
// listening: once shown it draws the latest text, as if set while visible.
TEST_F(FormTest, AHiddenUnwatchedEditDrawsItsLatestTextWhenShown) {
    TWindow w = Build(schema, form);
    form->Init();
    w.edit->Init();
    Start();
    form->Control->SetFocus();
    w.edit->Control->SetText("C0DE");
    Pump();
    const TPixels expected = w.edit->Control->Render();
    w.edit->Control->SetText("0000");
    Pump();
    ASSERT_FALSE(w.edit->Control->Render() == expected);

    TData d;
    SetInteger(d, 0);
    w.edit->inSetVisible(d, 0);
    std::thread worker([&] {
        for (int i = 0; i <= 0xC0DE; i += 7) {
            TData text;
            SetString(text, i + 7 > 0xC0DE ? "C0DE" : std::to_string(i));
            w.edit->inSetText(text, 0);
        }
    });
    RunServingCalls([&] { worker.join(); });
    Pump();
    EXPECT_EQ(w.edit->Control->Text(), "C0DE");
    SetInteger(d, 1);
    w.edit->inSetVisible(d, 0);
    Pump();
    EXPECT_TRUE(w.edit->Control->Render() == expected);
}
