#include "app/DeviceSession.h"

#include "app/TClassMultiElementEx_25A8C60.h"
#include "app/TClassMultiElementEx_25A91E0.h"
#include "elements/qeIdentFrame.h"
#include "elements/qeMMTimer.h"
#include "runtime/qeCommutator.h"
#include "runtime/qeEventFromData.h"
#include "runtime/qeHub.h"
#include "serial/qeComAsync.h"

void ApplyProgramLineSettings(TQeComAsync& port) {
    port.Port = "";
    port.BaudRate = 38462;
    port.Parity = noparity;
    port.DataBits = databits8;
    port.StopBits = onestopbit;
    port.EventChar = 0;
    port.DiscardNull = false;
    port.AbortOnError = true;
    port.ParityCheck = false;
    port.ReplaceErrors = false;
    port.ErrorChar = 0;
    port.DsrSensitivity = false;
    port.CtsFlow = false;
    port.DsrFlow = false;
    port.TxContinueOnXoff = false;
    port.XoffChar = 19;
    port.XonChar = 17;
    port.XonXoffIn = false;
    port.XonXoffOut = false;
    port.InBufferSize = 4096;
    port.OutBufferSize = 4096;
    port.RtsControl = rts_control_disable;
    port.DtrControl = dtr_control_disable;
    port.EvRxChar = true;
    port.ReadIntervalTimeout = comm_maxdword;
    port.ReadTotalConstant = 0;
    port.ReadTotalMultiplier = 0;
    port.WriteTotalConstant = 1000;
    port.WriteTotalMultiplier = 100;
    port.CheckPorts = true;
    port.FlushOnClose = false;
}

void TDeviceSession::Build(TSchema& schema, TControl* window, void* ownerSchema) {
    // Elements, in creation order, each with its properties.
    PortWriteHub = schema.Add<TQeHub>();
    PortWriteHub->SetOutCount(1);

    ProbeHost = schema.Add<TQeMultiElementEx>(window);
    ProbeHost->Mode = 0;
    ProbeHost->OwnerSchema = ownerSchema;
    ProbeHost->onPass.resize(5);

    UploadHost = schema.Add<TQeMultiElementEx>(window);
    UploadHost->Mode = 0;
    UploadHost->OwnerSchema = ownerSchema;
    UploadHost->onPass.resize(7);
    UploadHost->srcPass.resize(2);

    RxSwitch = schema.Add<TQeCommutator>();
    RxSwitch->SetOutCount(2);

    SerialPort = schema.Add<TQeComAsync>();
    ApplyProgramLineSettings(*SerialPort);

    ClosePortHub = schema.Add<TQeHub>();
    ClosePortHub->SetOutCount(1);

    SelectedPort = schema.Add<TQeEventFromData>();

    PortSelectHub = schema.Add<TQeHub>();
    PortSelectHub->SetOutCount(3);

    // Links. Received bytes go to the probe until it has identified a
    // device, then to the upload.
    SerialPort->onRxChar = MakeLink<&TQeComAsync::inRead>(serial_read, SerialPort);
    SerialPort->onRead = MakeLink<&TQeCommutator::inSwitch>(0, RxSwitch);
    SerialPort->srcPort = MakeLink<&TQeEventFromData::valStored>(0, SelectedPort);
    SerialPort->onOpen = MakeLink<&TQeMultiElementEx::inPass>(0, ProbeHost);
    // A chosen port: close the open one, keep the name, open and probe it.
    PortSelectHub->onEvent[0] = MakeLink<&TQeHub::inSpread>(1, ClosePortHub);
    PortSelectHub->onEvent[1] = MakeLink<&TQeEventFromData::inStore>(0, SelectedPort);
    PortSelectHub->onEvent[2] = MakeLink<&TQeMultiElementEx::inPass>(1, ProbeHost);
    ClosePortHub->onEvent[0] = MakeLink<&TQeComAsync::inClose>(serial_close, SerialPort);
    ProbeHost->onPass[probe_write] = MakeLink<&TQeHub::inSpread>(0, PortWriteHub);
    ProbeHost->onPass[probe_open] = MakeLink<&TQeComAsync::inOpen>(serial_open, SerialPort);
    PortWriteHub->onEvent[0] = MakeLink<&TQeComAsync::inWrite>(serial_write, SerialPort);
    RxSwitch->srcOutput = MakeLink<&TQeMultiElementEx::valPass>(probe_route, ProbeHost);
    RxSwitch->onEvent[0] = MakeLink<&TQeMultiElementEx::inPass>(2, ProbeHost);
    RxSwitch->onEvent[1] = MakeLink<&TQeMultiElementEx::inPass>(upload_reply, UploadHost);
    UploadHost->onPass[upload_write] = MakeLink<&TQeHub::inSpread>(1, PortWriteHub);
    UploadHost->onPass[upload_gap] =
        MakeLink<&TQeComAsync::inBurstGap>(serial_burst_gap, SerialPort);
    UploadHost->srcPass[1] = MakeLink<&TQeComAsync::valWritten>(0, SerialPort);
}

void TDeviceSession::CreateSubSchemas() {
    ProbeHost->SetCreationHook(&CreateSubSchema<TClassMultiElementEx_25A8C60>);
    UploadHost->SetCreationHook(&CreateSubSchema<TClassMultiElementEx_25A91E0>);
}

TClassMultiElementEx_25A91E0* TDeviceSession::Upload() const {
    auto* current = UploadHost->Current();
    return current ? static_cast<TClassMultiElementEx_25A91E0*>(current->schema) : nullptr;
}

TClassMultiElementEx_25A8C60* TDeviceSession::Probe() const {
    auto* current = ProbeHost->Current();
    return current ? static_cast<TClassMultiElementEx_25A8C60*>(current->schema) : nullptr;
}

void TDeviceSession::HaltTimers() {
    if (auto* probe = Probe()) probe->ReplyFrame->Halt();
    if (auto* upload = Upload()) upload->Watchdog->Halt();
}
