#include "device/DeviceSession.h"

#include "device/Protocol.h"
#include "device/TClassMultiElementEx_25A8C60.h"
#include "device/TClassMultiElementEx_25A91E0.h"
#include "elements/qeIdentFrame.h"
#include "elements/qeMMTimer.h"
#include "runtime/qeCommutator.h"
#include "runtime/qeEventFromData.h"
#include "runtime/qeHub.h"
#include "serial/qeComAsync.h"

void ApplyProgramLineSettings(TQeComAsync& port) {
    const TProgramLine& line = kProgramLine;
    port.Port = "";
    port.BaudRate = line.BaudRate;
    port.Parity = line.Parity;
    port.DataBits = line.DataBits;
    port.StopBits = line.StopBits;
    port.EventChar = line.EventChar;
    port.DiscardNull = line.DiscardNull;
    port.AbortOnError = line.AbortOnError;
    port.ParityCheck = line.ParityCheck;
    port.ReplaceErrors = line.ReplaceErrors;
    port.ErrorChar = line.ErrorChar;
    port.DsrSensitivity = line.DsrSensitivity;
    port.CtsFlow = line.CtsFlow;
    port.DsrFlow = line.DsrFlow;
    port.TxContinueOnXoff = line.TxContinueOnXoff;
    port.XoffChar = line.XoffChar;
    port.XonChar = line.XonChar;
    port.XonXoffIn = line.XonXoffIn;
    port.XonXoffOut = line.XonXoffOut;
    port.InBufferSize = line.InBufferSize;
    port.OutBufferSize = line.OutBufferSize;
    port.RtsControl = line.RtsControl;
    port.DtrControl = line.DtrControl;
    port.EvRxChar = line.EvRxChar;
    port.ReadIntervalTimeout = line.ReadIntervalTimeout;
    port.ReadTotalConstant = line.ReadTotalConstant;
    port.ReadTotalMultiplier = line.ReadTotalMultiplier;
    port.WriteTotalConstant = line.WriteTotalConstant;
    port.WriteTotalMultiplier = line.WriteTotalMultiplier;
    port.CheckPorts = line.CheckPorts;
    port.FlushOnClose = line.FlushOnClose;
}

void TDeviceSession::Build(TSchema& schema, TControl* window) {
    // Elements, in creation order, each with its properties.
    PortWriteHub = schema.Add<TQeHub>();
    PortWriteHub->SetOutCount(1);

    ProbeHost = schema.Add<TQeMultiElementEx>(window);
    ProbeHost->Mode = 0;
    ProbeHost->OwnerSchema = &schema;
    ProbeHost->onPass.resize(probe_out_count);

    UploadHost = schema.Add<TQeMultiElementEx>(window);
    UploadHost->Mode = 0;
    UploadHost->OwnerSchema = &schema;
    UploadHost->onPass.resize(upload_out_count);
    UploadHost->srcPass.resize(upload_value_count);

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
    SerialPort->onOpen = MakeLink<&TQeMultiElementEx::inPass>(probe_opened, ProbeHost);
    // A chosen port: close the open one, keep the name, open and probe it.
    PortSelectHub->onEvent[0] = MakeLink<&TQeHub::inSpread>(1, ClosePortHub);
    PortSelectHub->onEvent[1] = MakeLink<&TQeEventFromData::inStore>(0, SelectedPort);
    PortSelectHub->onEvent[2] = MakeLink<&TQeMultiElementEx::inPass>(probe_chosen, ProbeHost);
    ClosePortHub->onEvent[0] = MakeLink<&TQeComAsync::inClose>(serial_close, SerialPort);
    ProbeHost->onPass[probe_write] = MakeLink<&TQeHub::inSpread>(0, PortWriteHub);
    ProbeHost->onPass[probe_open] = MakeLink<&TQeComAsync::inOpen>(serial_open, SerialPort);
    PortWriteHub->onEvent[0] = MakeLink<&TQeComAsync::inWrite>(serial_write, SerialPort);
    RxSwitch->srcOutput = MakeLink<&TQeMultiElementEx::valPass>(probe_route, ProbeHost);
    RxSwitch->onEvent[0] = MakeLink<&TQeMultiElementEx::inPass>(probe_reply, ProbeHost);
    RxSwitch->onEvent[1] = MakeLink<&TQeMultiElementEx::inPass>(upload_reply, UploadHost);
    UploadHost->onPass[upload_write] = MakeLink<&TQeHub::inSpread>(1, PortWriteHub);
    UploadHost->onPass[upload_gap] =
        MakeLink<&TQeComAsync::inBurstGap>(serial_burst_gap, SerialPort);
    UploadHost->srcPass[upload_written] = MakeLink<&TQeComAsync::valWritten>(0, SerialPort);
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
