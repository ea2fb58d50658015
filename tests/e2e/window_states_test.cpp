// The real window in each of its states (choosing, probing, ready, uploading,
// done), as the user sees it: which controls show and take input, their
// texts, places and colours.
#include "MainWindowFixture.h"
#include "platform/Comm.h"
#include "platform/Text1251.h"
#include "resources/ImageLabel.h"
#include "ui/toolkit/Colors.h"

#include <map>
#include <set>

namespace {

const std::string kChoose = Cp1251("Выберите порт с подключённым устройством.");
const std::string kFound = Cp1251("Устройство: VMX-1   Текущая версия ПО: 8.3");
const std::string kNotFound = Cp1251("На этом порту устройств не найдено.");

// The client area of the 503 × 162 window with its caption and frame.
constexpr TRect kClient{0, 0, 497, 137};

bool PortIsFree(const std::string& name) {
    return TComm::Open(name) != nullptr;
}

bool Intersects(const TRect& a, const TRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TRect RectOf(TControl* c) {
    return {c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height()};
}

using Names = std::set<std::string>;

} // namespace

class WindowStates : public MainWindow {
protected:
    // The visual elements of the window, by name.
    std::map<std::string, TQeWin*> Controls() const {
        const auto& s = *schema_;
        return {{"WriteButton", s.WriteButton},   {"StatusEdit", s.StatusEdit},
                {"PortCombo", s.PortCombo},       {"Progress", s.Progress},
                {"VersionLabel", s.VersionLabel}, {"CrcEdit", s.CrcEdit},
                {"CrcRxLabel", s.CrcRxLabel},     {"CrcLabel", s.CrcLabel},
                {"OkButton", s.OkButton},         {"SuccessLabel", s.SuccessLabel},
                {"ErrorLabel", s.ErrorLabel},     {"ErrorImage", s.ErrorImage},
                {"HintLabel", s.HintLabel}};
    }

    // What the user sees: the controls that are visible within the client
    // area, and those of them that are enabled; whether the window takes input.
    void ExpectShown(const Names& seen, const Names& enabled, bool windowEnabled) {
        Names shown, on;
        for (const auto& [name, w] : Controls()) {
            TControl* c = w->Control;
            if (!c->Visible() || !Intersects(RectOf(c), kClient)) continue;
            shown.insert(name);
            if (c->Enabled()) on.insert(name);
        }
        EXPECT_EQ(shown, seen);
        EXPECT_EQ(on, enabled);
        EXPECT_TRUE(schema_->MainForm->Control->Visible());
        EXPECT_EQ(schema_->MainForm->Control->Enabled(), windowEnabled);
    }

    // The texts that no state changes, and the status line and port field.
    void ExpectTexts(const std::string& status, const std::string& port) {
        const auto& s = *schema_;
        EXPECT_EQ(s.MainForm->Control->Text(), "Varnomiksal bootloader");
        EXPECT_EQ(TApplication::Instance().Caption(), "Varnomiksal bootloader");
        EXPECT_EQ(s.WriteButton->Control->Text(), Cp1251("Записать"));
        // The image's own label: a build without the vendor's image says so.
        const TImageLabel& image = EmbeddedImageLabel();
        EXPECT_EQ(s.VersionLabel->Control->Text(),
                  Cp1251(image.placeholder ? "Версия ПО для обновления:нет (тестовый образ)"
                                           : "Версия ПО для обновления:" + image.version));
        EXPECT_EQ(s.OkButton->Control->Text(), "OK");
        EXPECT_EQ(s.SuccessLabel->Control->Text(),
                  Cp1251("     ПО успешно обновлено!\r\nСбросте настройки по умолчанию!"));
        EXPECT_EQ(s.ErrorLabel->Control->Text(), Cp1251("Ошибка при передаче данных!"));
        EXPECT_EQ(s.HintLabel->Control->Text(),
                  Cp1251("Проверьте все соединения и попробуйте ещё раз."));
        EXPECT_EQ(s.CrcLabel->Control->Text(), "CRC:");
        EXPECT_EQ(s.CrcRxLabel->Control->Text(), Cp1251("CRC принятый:"));
        EXPECT_EQ(s.StatusEdit->Control->Text(), status);
        EXPECT_EQ(s.PortCombo->Control->Text(), port);
    }

    bool NoControlFocused() const {
        for (const auto& [name, w] : Controls())
            if (w->Control->Focused()) return false;
        return true;
    }

    void ExpectChoosing(const std::string& status, const std::string& port) {
        ExpectShown({"PortCombo", "StatusEdit", "VersionLabel", "Progress", "WriteButton"},
                    {"PortCombo", "StatusEdit", "VersionLabel", "Progress"}, true);
        ExpectTexts(status, port);
        EXPECT_EQ(schema_->Progress->Control->Progress(), 0);
    }

    void ExpectReady() {
        ExpectShown({"PortCombo", "StatusEdit", "VersionLabel", "Progress", "WriteButton"},
                    {"StatusEdit", "VersionLabel", "Progress", "WriteButton"}, true);
        ExpectTexts(kFound, "COM250");
        // Disabling the port field left the focus with no control, and the
        // status line is not selected.
        EXPECT_TRUE(NoControlFocused());
        EXPECT_EQ(schema_->StatusEdit->Control->SelectedText(), "");
    }

    void ExpectDone(const Names& result) {
        Names seen = result;
        seen.insert("OkButton");
        ExpectShown(seen, seen, true);
        ExpectTexts(kFound, "COM250");
    }
};

TEST_F(WindowStates, ChoosingAndProbingShowTheHintAnEmptyBarAndADisabledButton) {
    SimConfig silent;
    silent.reply = ""; // hears "VERS" and never answers: the window stays probing
    DeviceSimulator& quiet = AddDevice(249, silent);
    SimConfig stranger;
    stranger.reply = "MODEM OK";
    AddDevice(248, stranger);
    OpenWindow();
    ExpectChoosing(kChoose, "");

    ChoosePort("COM249");
    ASSERT_TRUE(quiet.WaitFor([](const SimReport& r) { return r.versRequests == 1; }, 3000));
    ExpectChoosing(kChoose, "COM249");
    if (OpensAreExclusive()) {
        EXPECT_FALSE(PortIsFree("COM249")); // the chosen port is open
    }

    EXPECT_EQ(Identify("COM248"), kNotFound);
    ExpectChoosing(kNotFound, "COM248");
    EXPECT_TRUE(PortIsFree("COM249"));
}

// Typing a part of a port's name completes nothing, and neither Enter nor
// leaving the field opens a port.
TEST_F(WindowStates, ThePortFieldIgnoresTypingAndEnter) {
    DeviceSimulator& first = AddDevice(200);
    DeviceSimulator& second = AddDevice(250);
    OpenWindow();
    TControl* combo = schema_->PortCombo->Control;
    ASSERT_GE(IndexOfPort("COM200"), 0);
    combo->SetFocus();
    Pump();
    DriveText(combo, "COM2");
    Pump();
    EXPECT_EQ(combo->Text(), "COM2");
    EXPECT_EQ(combo->SelectedText(), "");
    DriveKey(combo, VK_RETURN);
    DriveText(combo, "00");
    DriveKey(combo, VK_RETURN);
    DriveKey(combo, VK_TAB); // on to the next control
    Pump();
    ASSERT_FALSE(combo->Focused());
    ExpectChoosing(kChoose, "COM200");
    EXPECT_TRUE(PortIsFree("COM200"));
    EXPECT_TRUE(PortIsFree("COM250"));
    EXPECT_EQ(first.Report().versRequests, 0);
    EXPECT_EQ(second.Report().versRequests, 0);
}

TEST_F(WindowStates, ReadyShowsTheDeviceWithThePortFieldDisabledAndNothingSelected) {
    AddDevice(250);
    OpenWindow();
    ASSERT_EQ(Identify("COM250"), kFound);
    ASSERT_TRUE(WaitUntilWritable());
    ExpectReady();
}

// While uploading the window takes no input, yet draws its controls as they
// are: only the button and the port field, disabled themselves, look so.
TEST_F(WindowStates, UploadingRefusesInputAndDrawsTheControlsAsTheyAre) {
    SimConfig paced;
    paced.baud = 38462; // the upload takes half a minute
    AddDevice(250, paced);
    OpenWindow();
    ASSERT_EQ(Identify("COM250"), kFound);
    ASSERT_TRUE(WaitUntilWritable());
    ExpectReady();
    const auto& s = *schema_;
    const TPixels status = s.StatusEdit->Control->Render();
    const TPixels version = s.VersionLabel->Control->Render();
    const TPixels port = s.PortCombo->Control->Render();
    const TPixels button = s.WriteButton->Control->Render();

    s.WriteButton->Control->SetFocus(); // as the user's click gives it
    DriveClick(s.WriteButton->Control);
    ASSERT_TRUE(RunUntil([&] { return s.Progress->Control->Progress() >= 2; }, 5000));
    ExpectShown({"PortCombo", "StatusEdit", "VersionLabel", "Progress", "WriteButton"},
                {"StatusEdit", "VersionLabel", "Progress"}, false);
    ExpectTexts(kFound, "COM250");
    EXPECT_TRUE(NoControlFocused());
    EXPECT_EQ(s.StatusEdit->Control->SelectedText(), "");
    EXPECT_TRUE(s.StatusEdit->Control->Render() == status);
    EXPECT_TRUE(s.VersionLabel->Control->Render() == version);
    EXPECT_TRUE(s.PortCombo->Control->Render() == port);
    EXPECT_FALSE(s.WriteButton->Control->Render() == button);

    // The bar advances in the button shadow colour: a tenth of it filled.
    const int reached = s.Progress->Control->Progress();
    ASSERT_TRUE(RunUntil([&] { return s.Progress->Control->Progress() >= reached + 50; }, 10000));
    const TPixels bar = s.Progress->Control->Render();
    const int middle = bar.height / 2;
    EXPECT_GE(bar.Count({0, middle, 40, middle + 1}, ResolveColor(0xFF000010)), 30);
    EXPECT_EQ(bar.Count({bar.width / 2, middle, bar.width, middle + 1}, ResolveColor(0xFF000010)),
              0);

    DriveWindowClick(s.StatusEdit->Control);
    DriveWindowKey(s.MainForm->Control, VK_TAB);
    DriveKey(s.MainForm->Control, VK_TAB);
    Pump();
    EXPECT_TRUE(NoControlFocused());
}

TEST_F(WindowStates, DoneAfterASuccessShowsOnlyTheResultAndOk) {
    AddDevice(250);
    OpenWindow();
    ASSERT_EQ(Identify("COM250"), kFound);
    ASSERT_TRUE(UploadAndWait(150000)); // about 45 s under wine
    ExpectDone({"SuccessLabel"});
    // The window takes input again: OK ends the program.
    DriveWindowClick(schema_->OkButton->Control);
    TApplication::Instance().Run();
    EXPECT_FALSE(DispatchEnabled());
}

TEST_F(WindowStates, DoneAfterAFailureShowsOnlyTheErrorDisplayAndOk) {
    SimConfig faulty;
    faulty.faults.wrongCrcAt = 3;
    AddDevice(250, faulty);
    OpenWindow();
    ASSERT_EQ(Identify("COM250"), kFound);
    ASSERT_TRUE(UploadAndWait(10000));
    ExpectDone({"ErrorLabel", "HintLabel", "ErrorImage"});
}

// Places, sizes and colours as the window draws them; the labels that size
// themselves to their text keep their place.
TEST_F(WindowStates, EveryControlHasItsPlaceAndColour) {
    OpenWindow();
    const auto& s = *schema_;
    TControl* form = s.MainForm->Control;
    EXPECT_EQ(form->Left(), 200);
    EXPECT_EQ(form->Top(), 200);
    EXPECT_EQ(form->Width(), 503);
    EXPECT_EQ(form->Height(), 162);
    EXPECT_EQ(form->DrawnRect(), kClient);
    EXPECT_EQ(form->Color(), 0xFF00000Fu);

    struct Place {
        const char* name;
        TRect rect; // right and bottom 0: sized by its text
        uint32_t color;
    };
    const Place places[] = {
        {"WriteButton", {5, 50, 90, 80}, 0xFF00000F},
        {"StatusEdit", {110, 10, 430, 35}, 0xFF000016},
        {"PortCombo", {10, 10, 95, 34}, 0xFF000005},
        {"Progress", {5, 90, 490, 120}, 0xFF00000F},
        {"VersionLabel", {110, 55, 0, 0}, 0xFF00000F},
        {"CrcEdit", {45, 145, 130, 170}, 0xFF000005},
        {"CrcRxLabel", {140, 150, 0, 0}, 0xFF00000F},
        {"CrcLabel", {10, 150, 0, 0}, 0xFF00000F},
        {"OkButton", {190, 60, 305, 90}, 0xFF00000F},
        {"SuccessLabel", {5, 0, 497, 54}, 0xFF00000F},
        {"ErrorImage", {80, 3, 95, 17}, 0xFF00000F},
    };
    auto controls = Controls();
    for (const Place& p : places) {
        TControl* c = controls.at(p.name)->Control;
        const TRect r = RectOf(c);
        if (p.rect.right) {
            EXPECT_EQ(r, p.rect) << p.name;
        } else {
            EXPECT_EQ(r.left, p.rect.left) << p.name;
            EXPECT_EQ(r.top, p.rect.top) << p.name;
            EXPECT_GT(r.Width(), 0) << p.name;
            EXPECT_LT(r.Height(), 30) << p.name;
        }
        EXPECT_EQ(c->DrawnRect(), r) << p.name;
        EXPECT_EQ(c->Color(), p.color) << p.name;
        const TFontRec f = c->Font();
        EXPECT_EQ(f.Name, "MS Sans Serif") << p.name;
        EXPECT_EQ(f.Size, 8u) << p.name;
        EXPECT_EQ(f.CharSet, 1u) << p.name;
        EXPECT_EQ(f.Color, 0u) << p.name;
    }
    // The version label is as long as its text, not its given 272 pixels,
    // and even the placeholder's longer text stays within the client area
    // and clear of the controls shown with it.
    const TRect version = RectOf(s.VersionLabel->Control);
    EXPECT_NE(version.Width(), 272);
    EXPECT_LE(version.right, kClient.right);
    for (const char* name : {"Progress", "StatusEdit", "WriteButton"})
        EXPECT_FALSE(Intersects(version, RectOf(controls.at(name)->Control))) << name;
    // The CRC fields lie below the client area.
    for (const char* name : {"CrcEdit", "CrcRxLabel", "CrcLabel"})
        EXPECT_GE(RectOf(controls.at(name)->Control).top, kClient.bottom) << name;
    // The error texts are stacked at the top, across the client area.
    const TRect error = RectOf(s.ErrorLabel->Control);
    const TRect hint = RectOf(s.HintLabel->Control);
    EXPECT_EQ(error.left, 0);
    EXPECT_EQ(error.top, 0);
    EXPECT_EQ(error.right, 497);
    EXPECT_EQ(hint, (TRect{0, error.bottom, 497, error.bottom + hint.Height()}));
    EXPECT_EQ(s.ErrorLabel->Control->DrawnRect(), error);
    EXPECT_EQ(s.HintLabel->Control->DrawnRect(), hint);

    // As drawn: the form's button face, the port field's window background
    // and the status line's 3-D light, in places no text reaches.
    const TPixels window = form->Render();
    ASSERT_EQ(window.width, 497);
    ASSERT_EQ(window.height, 137);
    EXPECT_EQ(window.At(470, 60), ResolveColor(0xFF00000F));
    EXPECT_EQ(window.At(20, 22), ResolveColor(0xFF000005));
    EXPECT_EQ(window.At(425, 22), ResolveColor(0xFF000016));
    // The empty bar shows no bar colour.
    EXPECT_EQ(window.Count({10, 100, 480, 110}, ResolveColor(0xFF000010)), 0);
    // Edges in the window system's shades: the status line sunken (button
    // shadow, then 3-D dark shadow, from the outside in; button highlight
    // below), the write button raised (3-D dark shadow outermost below).
    const uint32_t shadow = ResolveColor(0xFF000010), dark = ResolveColor(0xFF000015),
                   highlight = ResolveColor(0xFF000014);
    EXPECT_EQ(window.At(200, 10), shadow);
    EXPECT_EQ(window.At(200, 11), dark);
    EXPECT_EQ(window.At(200, 34), highlight);
    EXPECT_EQ(window.At(40, 79), dark);
    EXPECT_EQ(window.At(40, 78), shadow);
}
