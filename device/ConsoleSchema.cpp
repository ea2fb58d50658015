#include "device/ConsoleSchema.h"

#include "device/TClassMultiElementEx_25A8C60.h"
#include "elements/qeIdentFrame.h"
#include "elements/qeMMTimer.h"
#include "elements/qeMemoryStream.h"
#include "platform/Text1251.h"
#include "runtime/qeHub.h"
#include "runtime/qeOutcome.h"
#include "serial/qeComAsync.h"

#include <atomic>

namespace {
// Console schemas not yet closed: dispatch is one switch for the process.
std::atomic<int> g_openSchemas{0};
} // namespace

TConsoleSchema::TConsoleSchema() {
    Session.Build(*this, nullptr);
    Bursts = Add<BurstTap>();
    Opened = Add<OpenTap>();
    Status = Add<Recording>();
    DeviceFound = Add<Recording>();
    Progress = Add<Recording>();
    Success = Add<Recording>();
    Failure = Add<Recording>();
    CrcEdit = Add<TextField>("FFFF");
    ImageBytes = Add<ImageByteCount>();
    Log = Add<TSessionLog>();
    Replies = Add<BurstTap>();

    // The window's outputs, with recorders for the visual elements.
    InsertTap<&BurstTap::inRead>(Session.SerialPort->onRead, Bursts);
    InsertTap<&OpenTap::inOpen>(Session.SerialPort->onOpen, Opened);
    Session.SerialPort->onWrite = MakeLink<&ImageByteCount::inWritten>(0, ImageBytes);
    Session.ProbeHost->onPass[probe_status] = MakeLink<&Recording::inEvent>(0, Status);
    Session.ProbeHost->onPass[probe_found] = MakeLink<&Recording::inEvent>(0, DeviceFound);
    Session.UploadHost->onPass[upload_progress] = MakeLink<&Recording::inEvent>(0, Progress);
    Session.UploadHost->onPass[upload_success] = MakeLink<&Recording::inEvent>(0, Success);
    Session.UploadHost->onPass[upload_failure] = MakeLink<&Recording::inEvent>(0, Failure);
    Session.UploadHost->onPass[upload_crc] = MakeLink<&TextField::inSetText>(0, CrcEdit);
    Session.UploadHost->srcPass[upload_crc_text] = MakeLink<&TextField::valText>(0, CrcEdit);
    Log->Attach(Session);

    Session.CreateSubSchemas();
    InsertTap<&BurstTap::inRead>(Session.Probe()->ReplyFrame->onFrame, Replies);
    g_openSchemas.fetch_add(1);
    EnableDispatch();
}

// A watchdog tick may still be running the upload's last chain, or the
// probe's reply wait a reply's chain, which end in this schema's own
// elements: they have to leave before they are freed.
TConsoleSchema::~TConsoleSchema() {
    Close();
    Session.HaltTimers();
    FreeElements();
}

void TConsoleSchema::ChoosePort(const std::string& name) {
    TData d;
    SetString(d, name);
    Fire(MakeLink<&TQeHub::inSpread>(0, Session.PortSelectHub), d);
}

void TConsoleSchema::ClickWrite() {
    TData d;
    SetInteger(d, 0);
    Fire(MakeLink<&TQeMultiElementEx::inPass>(upload_start, Session.UploadHost), d);
}

void TConsoleSchema::Hold() {
    TData d;
    SetInteger(d, 0);
    Fire(MakeLink<&TQeMultiElementEx::inPass>(upload_stop, Session.UploadHost), d);
}

void TConsoleSchema::Send(const std::string& bytes) {
    TData d;
    SetString(d, bytes);
    Fire(MakeLink<&TQeHub::inSpread>(0, Session.PortWriteHub), d);
}

bool TConsoleSchema::Stop() {
    if (auto* upload = Upload()) {
        Hold();
        if (upload->UploadOutcome->Ended() != 2) return false;
    }
    FireNull(MakeLink<&TQeHub::inSpread>(0, Session.ClosePortHub));
    return true;
}

void TConsoleSchema::Close() {
    FireNull(MakeLink<&TQeHub::inSpread>(0, Session.ClosePortHub));
    if (!open_) return;
    open_ = false;
    if (g_openSchemas.fetch_sub(1) == 1) DisableDispatch();
}

void TConsoleSchema::UseImage(const std::string& image) {
    auto stream = std::make_unique<TMemStream>();
    stream->Write(image.data(), int32_t(image.size()));
    stream->Seek(0);
    Upload()->ImageStream->Stream = std::move(stream);
}

std::string TConsoleSchema::Device() {
    TData d;
    return Cp1251ToUtf8(
        ReadString(d, MakeLink<&TQeMultiElementEx::valPass>(probe_device, Session.ProbeHost), ""));
}

std::string TConsoleSchema::Version() {
    TData d;
    return Cp1251ToUtf8(
        ReadString(d, MakeLink<&TQeMultiElementEx::valPass>(probe_version, Session.ProbeHost), ""));
}
