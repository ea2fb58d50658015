#include "app/ConsoleSchema.h"

#include "elements/qeMMTimer.h"

TConsoleSchema::TConsoleSchema() {
    Writes = Add<WriteTap>();
    PortWriteHub = Add<TQeHub>();
    PortWriteHub->SetOutCount(1);
    ProbeHost = Add<TQeMultiElementEx>(nullptr);
    ProbeHost->OwnerSchema = this;
    ProbeHost->onPass.resize(5);
    UploadHost = Add<TQeMultiElementEx>(nullptr);
    UploadHost->OwnerSchema = this;
    UploadHost->onPass.resize(7);
    UploadHost->srcPass.resize(1);
    RxSwitch = Add<TQeCommutator>();
    RxSwitch->SetOutCount(2);

    SerialPort = Add<TQeComAsync>();
    SerialPort->BaudRate = 38462;
    SerialPort->DataBits = 3;
    SerialPort->AbortOnError = true;
    SerialPort->XoffChar = 19;
    SerialPort->XonChar = 17;
    SerialPort->InBufferSize = 4096;
    SerialPort->OutBufferSize = 4096;
    SerialPort->EvRxChar = true;
    SerialPort->ReadIntervalTimeout = 0xFFFFFFFF;
    SerialPort->WriteTotalConstant = 1000;
    SerialPort->WriteTotalMultiplier = 100;
    SerialPort->CheckPorts = true;

    Bursts = Add<BurstTap>();
    Opened = Add<OpenTap>();
    SelectedPort = Add<TQeEventFromData>();
    PortSelectHub = Add<TQeHub>();
    PortSelectHub->SetOutCount(3);
    ClosePortHub = Add<TQeHub>();
    ClosePortHub->SetOutCount(1);
    Status = Add<Recording>();
    DeviceFound = Add<Recording>();
    Progress = Add<Recording>();
    Success = Add<Recording>();
    Failure = Add<Recording>();
    CrcEdit = Add<TextField>("FFFF");

    // The window's wiring, with recorders for the visual elements.
    SerialPort->onRxChar = MakeLink<&TQeComAsync::inRead>(3, SerialPort);
    SerialPort->onRead = MakeLink<&BurstTap::inRead>(0, Bursts);
    Bursts->out = MakeLink<&TQeCommutator::inSwitch>(0, RxSwitch);
    SerialPort->srcPort = MakeLink<&TQeEventFromData::valStored>(0, SelectedPort);
    SerialPort->onOpen = MakeLink<&OpenTap::inOpen>(0, Opened);
    Opened->out = MakeLink<&TQeMultiElementEx::inPass>(0, ProbeHost);
    PortSelectHub->onEvent[0] = MakeLink<&TQeHub::inSpread>(1, ClosePortHub);
    PortSelectHub->onEvent[1] = MakeLink<&TQeEventFromData::inStore>(0, SelectedPort);
    PortSelectHub->onEvent[2] = MakeLink<&TQeMultiElementEx::inPass>(1, ProbeHost);
    ClosePortHub->onEvent[0] = MakeLink<&TQeComAsync::inClose>(1, SerialPort);
    ProbeHost->onPass[0] = MakeLink<&TQeHub::inSpread>(0, PortWriteHub);
    ProbeHost->onPass[1] = MakeLink<&Recording::inEvent>(0, Status);
    ProbeHost->onPass[2] = MakeLink<&TQeComAsync::inOpen>(0, SerialPort);
    ProbeHost->onPass[4] = MakeLink<&Recording::inEvent>(0, DeviceFound);
    PortWriteHub->onEvent[0] = MakeLink<&WriteTap::inWrite>(2, Writes);
    Writes->out = MakeLink<&TQeComAsync::inWrite>(2, SerialPort);
    RxSwitch->srcOutput = MakeLink<&TQeMultiElementEx::valPass>(0, ProbeHost);
    RxSwitch->onEvent[0] = MakeLink<&TQeMultiElementEx::inPass>(2, ProbeHost);
    RxSwitch->onEvent[1] = MakeLink<&TQeMultiElementEx::inPass>(0, UploadHost);
    UploadHost->onPass[0] = MakeLink<&Recording::inEvent>(0, Progress);
    UploadHost->onPass[1] = MakeLink<&TQeHub::inSpread>(1, PortWriteHub);
    UploadHost->onPass[2] = MakeLink<&Recording::inEvent>(0, Success);
    UploadHost->onPass[3] = MakeLink<&Recording::inEvent>(0, Failure);
    UploadHost->onPass[4] = MakeLink<&TextField::inSetText>(0, CrcEdit);
    UploadHost->srcPass[0] = MakeLink<&TextField::valText>(0, CrcEdit);
    UploadHost->onPass[6] = MakeLink<&TQeComAsync::inBurstGap>(5, SerialPort);

    ProbeHost->SetCreationHook(&CreateSubSchema<TClassMultiElementEx_25A8C60>);
    UploadHost->SetCreationHook(&CreateSubSchema<TClassMultiElementEx_25A91E0>);
    EnableDispatch();
}

// A watchdog tick may still be running the upload's last chain, which ends
// in this schema's own elements: it has to leave before they are freed.
TConsoleSchema::~TConsoleSchema() {
    Close();
    if (auto* upload = Upload()) upload->Watchdog->Halt();
    FreeElements();
}

void TConsoleSchema::ChoosePort(const std::string& name) {
    TData d;
    SetString(d, name);
    Fire(MakeLink<&TQeHub::inSpread>(0, PortSelectHub), d);
}

void TConsoleSchema::ClickWrite() {
    TData d;
    SetInteger(d, 0);
    Fire(MakeLink<&TQeMultiElementEx::inPass>(1, UploadHost), d);
}

void TConsoleSchema::Abort() {
    if (auto* upload = Upload()) FireNull(MakeLink<&TQeMMTimer::inStop>(1, upload->Watchdog));
    FireNull(MakeLink<&TQeHub::inSpread>(0, ClosePortHub));
}

void TConsoleSchema::Close() {
    FireNull(MakeLink<&TQeHub::inSpread>(0, ClosePortHub));
    DisableDispatch();
}

TClassMultiElementEx_25A91E0* TConsoleSchema::Upload() const {
    auto* current = UploadHost->Current();
    return current ? static_cast<TClassMultiElementEx_25A91E0*>(current->schema) : nullptr;
}
