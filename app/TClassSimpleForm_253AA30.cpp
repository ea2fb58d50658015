#include "app/TClassSimpleForm_253AA30.h"

#include "app/AccessNotice.h"
#include "app/LastSessionFile.h"
#include "device/Protocol.h"
#include "device/SessionLog.h"
#include "device/TClassMultiElementEx_25A91E0.h"
#include "elements/qeMMTimer.h"
#include "resources/ImageLabel.h"
#include "runtime/MultiElementEx.h"
#include "runtime/qeCommutator.h"
#include "runtime/qeDoData.h"
#include "runtime/qeEventFromData.h"
#include "runtime/qeHub.h"
#include "serial/qeComAsync.h"
#include "ui/elements/qeButton.h"
#include "ui/elements/qeComboBox.h"
#include "ui/elements/qeEdit.h"
#include "ui/elements/qeImage.h"
#include "ui/elements/qeLabel.h"
#include "ui/elements/qeProgressBar.h"
#include "ui/elements/qeSimpleForm.h"
#include "ui/toolkit/Bitmap.h"
#include "ui/toolkit/Control.h"

namespace {

// The font of every visual element.
TFontRec WindowFont() {
    return MakeFontRec("MS Sans Serif", 8, 0, 0, 1);
}

// Geometry, colour, edge and state: the group every control gets first.
template <class W>
W* Place(W* w, int32_t left, int32_t top, int32_t width, int32_t height, uint32_t color,
         uint8_t edge, bool visible, bool enabled) {
    w->Left = left;
    w->Top = top;
    w->Width = width;
    w->Height = height;
    w->Color = color;
    w->EdgeStyle = edge;
    w->Visible = visible;
    w->Enabled = enabled;
    w->Align = 0;
    w->TabOrder = 0;
    w->Font = WindowFont();
    return w;
}

// Edits, labels and the image have no side control.
template <class W> void NoSideControl(W* w) {
    w->SideCreator = nullptr;
    w->SideGap = 4;
    w->SideColor = 0xFF00000F;
    w->SideParam1 = 0;
    w->SideParam2 = 0;
}

TData IntegerValue(int32_t n) {
    TData d;
    SetInteger(d, n);
    return d;
}

} // namespace

TClassSimpleForm_253AA30::TClassSimpleForm_253AA30() {
    // Elements, in creation order, each with its properties.
    MainForm = Add<TQeSimpleForm>();
    Place(MainForm, 200, 200, 503, 162, 0xFF00000F, 1, true, true);
    MainForm->Caption = "Varnomiksal bootloader";
    MainForm->BorderStyle = 1;
    MainForm->Icon = AppIcon();
    MainForm->HideTaskButton = false;
    MainForm->DragByClient = true;
    MainForm->Init();
    TControl* window = MainForm->Control;

    WriteButton = Add<TQeButton>(window);
    Place(WriteButton, 5, 50, 85, 30, 0xFF00000F, 1, true, false);
    WriteButton->Caption = Cp1251("Записать");
    WriteButton->Data = IntegerValue(0);
    WriteButton->Flat = false;
    WriteButton->Default = false;
    WriteButton->Init();

    StatusEdit = Add<TQeEdit>(window);
    Place(StatusEdit, 110, 10, 320, 25, 0xFF000016, 0, true, true);
    StatusEdit->Text = Cp1251("Выберите порт с подключённым устройством.");
    StatusEdit->ReadOnly = true;
    StatusEdit->Password = false;
    StatusEdit->Alignment = 0;
    NoSideControl(StatusEdit);
    StatusEdit->Init();

    PortCombo = Add<TQeComboBox>(window);
    Place(PortCombo, 10, 10, 85, 24, 0xFF000005, 1, true, true);
    PortCombo->Text = "";
    PortCombo->Strings = "";
    PortCombo->InsertAtTop = false;
    PortCombo->SelectMode = 1;
    PortCombo->Editable = true;
    PortCombo->Sorted = false;
    PortCombo->ItemHeight = 20;
    PortCombo->Init();

    // The serial port, the port selection and the probe and upload hosts,
    // with their settings and the links between them.
    Session.Build(*this, window);

    WriteClickHub = Add<TQeHub>();
    WriteClickHub->SetOutCount(3);

    Progress = Add<TQeProgressBar>(window);
    Place(Progress, 5, 90, 485, 30, 0xFF00000F, 0, true, true);
    Progress->Max = kImageBlocks - 1;
    Progress->Vertical = 0;
    Progress->Smooth = true;
    Progress->BarColor = 0xFF000010;
    Progress->Init();

    DeviceFoundHub = Add<TQeHub>();
    DeviceFoundHub->SetOutCount(2);

    ComboOffData = Add<TQeDoData>();
    ComboOffData->Data = IntegerValue(0);

    VersionLabel = Add<TQeLabel>(window);
    Place(VersionLabel, 110, 55, 272, 20, 0xFF00000F, 1, true, true);
    VersionLabel->Caption = Cp1251(VersionLabelText(EmbeddedImageLabel()));
    VersionLabel->AutoSize = true;
    VersionLabel->Alignment = 0;
    VersionLabel->HoverColor = 0;
    VersionLabel->HoverUnderline = false;
    NoSideControl(VersionLabel);
    VersionLabel->Init();

    CrcEdit = Add<TQeEdit>(window);
    Place(CrcEdit, 45, 145, 85, 25, 0xFF000005, 0, false, true);
    CrcEdit->Text = "FFFF";
    CrcEdit->ReadOnly = false;
    CrcEdit->Password = false;
    CrcEdit->Alignment = 0;
    NoSideControl(CrcEdit);
    CrcEdit->Init();

    CrcRxLabel = Add<TQeLabel>(window);
    Place(CrcRxLabel, 140, 150, 101, 20, 0xFF00000F, 1, true, true);
    CrcRxLabel->Caption = Cp1251("CRC принятый:");
    CrcRxLabel->AutoSize = true;
    CrcRxLabel->Alignment = 0;
    NoSideControl(CrcRxLabel);
    CrcRxLabel->Init();

    CrcLabel = Add<TQeLabel>(window);
    Place(CrcLabel, 10, 150, 35, 20, 0xFF00000F, 1, true, true);
    CrcLabel->Caption = "CRC:";
    CrcLabel->AutoSize = true;
    CrcLabel->Alignment = 0;
    NoSideControl(CrcLabel);
    CrcLabel->Init();

    WriteEnableHub = Add<TQeHub>();
    WriteEnableHub->SetOutCount(1);

    UploadEndHub = Add<TQeHub>();
    UploadEndHub->SetOutCount(2);

    HideData = Add<TQeDoData>();
    HideData->Data = IntegerValue(0);

    ShowData = Add<TQeDoData>();
    ShowData->Data = IntegerValue(1);

    HideControlsHub = Add<TQeHub>();
    HideControlsHub->SetOutCount(5);

    FormEnableHub = Add<TQeHub>();
    FormEnableHub->SetOutCount(1);

    ShowOkHub = Add<TQeHub>();
    ShowOkHub->SetOutCount(2);

    OkButton = Add<TQeButton>(window);
    Place(OkButton, 190, 60, 115, 30, 0xFF00000F, 1, false, true);
    OkButton->Caption = "OK";
    OkButton->Flat = false;
    OkButton->Default = false;
    OkButton->Init();

    SuccessLabel = Add<TQeLabel>(window);
    Place(SuccessLabel, 5, 0, 492, 54, 0xFF00000F, 1, false, true);
    SuccessLabel->Caption = Cp1251("     ПО успешно обновлено!\r\nСбросте настройки по умолчанию!");
    SuccessLabel->AutoSize = false;
    SuccessLabel->Alignment = 2;
    NoSideControl(SuccessLabel);
    SuccessLabel->Init();

    ErrorLabel = Add<TQeLabel>(window);
    Place(ErrorLabel, 0, 0, 497, 24, 0xFF00000F, 1, false, true);
    ErrorLabel->Align = 2;
    ErrorLabel->Caption = Cp1251("Ошибка при передаче данных!");
    ErrorLabel->AutoSize = true;
    ErrorLabel->Alignment = 2;
    NoSideControl(ErrorLabel);
    ErrorLabel->Init();

    SuccessHub = Add<TQeHub>();
    SuccessHub->SetOutCount(3);

    SuccessShowData = Add<TQeDoData>();
    SuccessShowData->Data = IntegerValue(1);

    // Never emitted as such: srcData, linked to SuccessMark, always answers.
    ErrorShowData = Add<TQeDoData>();
    ErrorShowData->Data = IntegerValue(1);

    FailureHub = Add<TQeHub>();
    FailureHub->SetOutCount(2);

    ErrorShowHub = Add<TQeHub>();
    ErrorShowHub->SetOutCount(3);

    ErrorImage = Add<TQeImage>(window);
    Place(ErrorImage, 80, 3, 15, 14, 0xFF00000F, 1, false, true);
    ErrorImage->SetBitmap(LoadBitmapResource("BITMAP0"));
    ErrorImage->SetStretchMode(true);
    ErrorImage->AutoSize = false;
    NoSideControl(ErrorImage);
    ErrorImage->Init();

    HintLabel = Add<TQeLabel>(window);
    Place(HintLabel, 0, 24, 497, 24, 0xFF00000F, 1, false, true);
    HintLabel->Align = 2;
    HintLabel->Caption = Cp1251("Проверьте все соединения и попробуйте ещё раз.");
    HintLabel->AutoSize = true;
    HintLabel->Alignment = 2;
    NoSideControl(HintLabel);
    HintLabel->Init();

    SuccessMark = Add<TQeEventFromData>();

    SuccessMarkData = Add<TQeDoData>();
    SuccessMarkData->Data = IntegerValue(0);

    // Links, in order.
    MainForm->onCreate = MakeLink<&TQeComAsync::inEnumPorts>(serial_enum_ports, Session.SerialPort);
    MainForm->onClose = MakeLink<&TQeHub::inSpread>(0, Session.ClosePortHub);
    Session.SerialPort->onPort = MakeLink<&TQeComboBox::inAdd>(0, PortCombo);
    PortCombo->onSelect = MakeLink<&TQeHub::inSpread>(0, Session.PortSelectHub);
    Session.ProbeHost->onPass[probe_status] = MakeLink<&TQeEdit::inSetText>(0, StatusEdit);
    Session.ProbeHost->onPass[probe_found] = MakeLink<&TQeHub::inSpread>(0, DeviceFoundHub);
    DeviceFoundHub->onEvent[0] = MakeLink<&TQeDoData::inEmit>(0, ComboOffData);
    DeviceFoundHub->onEvent[1] = MakeLink<&TQeHub::inSpread>(0, WriteEnableHub);
    ComboOffData->onEmit = MakeLink<&TQeComboBox::inSetEnabled>(7, PortCombo);
    WriteEnableHub->onEvent[0] = MakeLink<&TQeButton::inSetEnabled>(0, WriteButton);
    WriteButton->onClick = MakeLink<&TQeHub::inSpread>(0, WriteClickHub);
    WriteClickHub->onEvent[0] =
        MakeLink<&TQeMultiElementEx::inPass>(upload_start, Session.UploadHost);
    WriteClickHub->onEvent[1] = MakeLink<&TQeHub::inSpread>(1, WriteEnableHub);
    WriteClickHub->onEvent[2] = MakeLink<&TQeHub::inSpread>(0, FormEnableHub);
    FormEnableHub->onEvent[0] = MakeLink<&TQeSimpleForm::inSetEnabled>(1, MainForm);
    Session.UploadHost->onPass[upload_progress] =
        MakeLink<&TQeProgressBar::inSetPosition>(0, Progress);
    Session.UploadHost->onPass[upload_success] = MakeLink<&TQeHub::inSpread>(0, SuccessHub);
    Session.UploadHost->onPass[upload_failure] = MakeLink<&TQeHub::inSpread>(0, FailureHub);
    Session.UploadHost->onPass[upload_crc] = MakeLink<&TQeEdit::inSetText>(0, CrcEdit);
    Session.UploadHost->srcPass[upload_crc_text] = MakeLink<&TQeEdit::valText>(0, CrcEdit);
    SuccessHub->onEvent[0] = MakeLink<&TQeHub::inSpread>(0, UploadEndHub);
    SuccessHub->onEvent[1] = MakeLink<&TQeDoData::inEmit>(0, SuccessMarkData);
    SuccessHub->onEvent[2] = MakeLink<&TQeDoData::inEmit>(0, SuccessShowData);
    SuccessMarkData->onEmit = MakeLink<&TQeEventFromData::inStore>(0, SuccessMark);
    SuccessShowData->onEmit = MakeLink<&TQeLabel::inSetVisible>(1, SuccessLabel);
    FailureHub->onEvent[0] = MakeLink<&TQeHub::inSpread>(1, UploadEndHub);
    FailureHub->onEvent[1] = MakeLink<&TQeDoData::inEmit>(0, ErrorShowData);
    ErrorShowData->srcData = MakeLink<&TQeEventFromData::valStored>(0, SuccessMark);
    ErrorShowData->onEmit = MakeLink<&TQeHub::inSpread>(0, ErrorShowHub);
    ErrorShowHub->onEvent[0] = MakeLink<&TQeLabel::inSetVisible>(1, HintLabel);
    ErrorShowHub->onEvent[1] = MakeLink<&TQeLabel::inSetVisible>(1, ErrorLabel);
    ErrorShowHub->onEvent[2] = MakeLink<&TQeImage::inSetVisible>(2, ErrorImage);
    UploadEndHub->onEvent[0] = MakeLink<&TQeDoData::inEmit>(0, HideData);
    UploadEndHub->onEvent[1] = MakeLink<&TQeDoData::inEmit>(0, ShowData);
    HideData->onEmit = MakeLink<&TQeHub::inSpread>(0, HideControlsHub);
    ShowData->onEmit = MakeLink<&TQeHub::inSpread>(0, ShowOkHub);
    HideControlsHub->onEvent[0] = MakeLink<&TQeComboBox::inSetVisible>(8, PortCombo);
    HideControlsHub->onEvent[1] = MakeLink<&TQeEdit::inSetVisible>(3, StatusEdit);
    HideControlsHub->onEvent[2] = MakeLink<&TQeProgressBar::inSetVisible>(1, Progress);
    HideControlsHub->onEvent[3] = MakeLink<&TQeButton::inSetVisible>(1, WriteButton);
    HideControlsHub->onEvent[4] = MakeLink<&TQeLabel::inSetVisible>(1, VersionLabel);
    ShowOkHub->onEvent[0] = MakeLink<&TQeHub::inSpread>(1, FormEnableHub);
    ShowOkHub->onEvent[1] = MakeLink<&TQeButton::inSetVisible>(0, OkButton);
    OkButton->onClick = MakeLink<&TQeSimpleForm::inClose>(0, MainForm);

    // The transcript taps the session's outputs; it is written when a
    // session ends. The notice follows the listing of the ports.
    Log = Add<TSessionLog>();
    Log->Attach(Session);
    Log->ended = [this] { WriteLastSession(Log->LastSession()); };
    AccessNotice = Add<TAccessNotice>();
    AccessNotice->out = MainForm->onCreate;
    MainForm->onCreate = MakeLink<&TAccessNotice::inCreate>(0, AccessNotice);

    // Finish the visual elements, then create the sub-schemas: probe first.
    for (TQeWin* w : {static_cast<TQeWin*>(WriteButton), static_cast<TQeWin*>(StatusEdit),
                      static_cast<TQeWin*>(PortCombo), static_cast<TQeWin*>(Progress),
                      static_cast<TQeWin*>(VersionLabel), static_cast<TQeWin*>(CrcEdit),
                      static_cast<TQeWin*>(CrcRxLabel), static_cast<TQeWin*>(CrcLabel),
                      static_cast<TQeWin*>(OkButton), static_cast<TQeWin*>(SuccessLabel),
                      static_cast<TQeWin*>(ErrorLabel), static_cast<TQeWin*>(ErrorImage),
                      static_cast<TQeWin*>(HintLabel)}) {
        w->SetLayout(nullptr);
        w->SetHintManager(nullptr);
    }
    PortCombo->SetIndexMapper(nullptr);
    PortCombo->SetItemPainter(nullptr);
    PortCombo->SetPictureSource(nullptr);
    Session.CreateSubSchemas();

    // Tab moves through the controls now that they all exist.
    window->InstallTabNavigation();
}

// Elements are freed in reverse order with dispatch off, so nothing reacts.
// The port is closed first: its reader thread must be gone before the
// elements its events reach are freed (the window's close normally did it).
// The upload's watchdog and the probe's reply wait are halted too: a tick
// may still be running a chain that ends in this schema's elements.
TClassSimpleForm_253AA30::~TClassSimpleForm_253AA30() {
    DisableDispatch();
    TData none;
    Session.SerialPort->inClose(none, serial_close);
    Log->Finish();
    Session.HaltTimers();
    FreeElements();
}
