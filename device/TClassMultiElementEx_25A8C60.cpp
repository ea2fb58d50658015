#include "device/TClassMultiElementEx_25A8C60.h"

#include "device/Protocol.h"
#include "device/SessionPins.h"
#include "elements/qeCase.h"
#include "elements/qeCounter.h"
#include "elements/qeFormatStr.h"
#include "elements/qeIdentFrame.h"
#include "elements/qeMultiStrPart.h"
#include "elements/qeStrMask.h"
#include "runtime/qeDoData.h"
#include "runtime/qeHub.h"

TClassMultiElementEx_25A8C60::TClassMultiElementEx_25A8C60(TQeMultiElementEx* host,
                                                           void* parentWindow, void* ownerSchema)
    : TClassMultiBase(host, parentWindow, ownerSchema), Owner(static_cast<TSchema*>(ownerSchema)) {
    // Elements, in creation order.
    InnerSide = Add<TQeEditMultiEx>();
    InnerSide->onPass.resize(probe_in_count);
    InnerSide->srcPass.resize(probe_value_count);

    StatusFormat = Add<TQeFormatStr>();
    StatusFormat->SetArgCount(2);
    StatusFormat->Mask = Cp1251("Устройство: %1   Текущая версия ПО: %2");

    NotFoundText = Add<TQeDoData>();
    SetString(NotFoundText->Data, Cp1251("На этом порту устройств не найдено."));

    SignatureCheck = Add<TQeStrMask>();
    SignatureCheck->Mask = kReplySignature;
    SignatureCheck->IgnoreCase = 1;

    ReplySplit = Add<TQeMultiStrPart>();
    ReplySplit->Delimiter = kReplyDelimiter;
    ReplySplit->Skip = 0;
    ReplySplit->SetPartCount(3);

    ForwardHub = Add<TQeHub>();
    ForwardHub->SetOutCount(2);

    OpenCheck = Add<TQeCase>();
    SetInteger(OpenCheck->Value, 0);

    FailHub = Add<TQeHub>();
    FailHub->SetOutCount(2);

    VersCommand = Add<TQeDoData>();
    SetString(VersCommand->Data, kIdentifyCommand);

    TextHub = Add<TQeHub>();
    TextHub->SetOutCount(1);

    FoundHub = Add<TQeHub>();
    FoundHub->SetOutCount(3);

    RouteCounter = Add<TQeCounter>();
    RouteCounter->Min = 0;
    RouteCounter->Max = 1;
    RouteCounter->Step = 1;
    RouteCounter->Direction = 0;
    RouteCounter->Value = 0;

    RequestHub = Add<TQeHub>();
    RequestHub->SetOutCount(2);

    // A reply is joined from its bursts until its signature and name are
    // whole, for up to a second from its first byte.
    ReplyFrame = Add<TQeIdentFrame>();
    ReplyFrame->Signature = kReplySignature;
    ReplyFrame->Delimiter = kReplyDelimiter;
    ReplyFrame->Delimiters = 2;
    ReplyFrame->IgnoreCase = 1;
    ReplyFrame->WaitLimit = kReplyWaitMs;
    // A port where nothing answers says so, while it goes on listening.
    ReplyFrame->SilenceLimit = kProbeSilenceMs;

    inner = InnerSide;
    InnerSide->schema = this;
    InnerSide->host = host;

    // Links, in order.
    InnerSide->onPass[probe_opened] = MakeLink<&TQeCase::inCase>(0, OpenCheck);
    InnerSide->onPass[probe_chosen] = MakeLink<&TQeHub::inSpread>(0, ForwardHub);
    InnerSide->onPass[probe_reply] = MakeLink<&TQeIdentFrame::inAdd>(0, ReplyFrame);
    ReplyFrame->onFrame = MakeLink<&TQeMultiStrPart::inSplit>(0, ReplySplit);
    InnerSide->srcPass[probe_route] = MakeLink<&TQeCounter::valCount>(0, RouteCounter);
    // The device's name and version, as values of their own for hosts that
    // do not read the status text.
    InnerSide->srcPass[probe_device] = MakeLink<&TQeMultiStrPart::valPart>(1, ReplySplit);
    InnerSide->srcPass[probe_version] = MakeLink<&TQeMultiStrPart::valPart>(2, ReplySplit);
    StatusFormat->onResult = MakeLink<&TQeHub::inSpread>(1, TextHub);
    StatusFormat->srcArg[0] = MakeLink<&TQeMultiStrPart::valPart>(1, ReplySplit);
    StatusFormat->srcArg[1] = MakeLink<&TQeMultiStrPart::valPart>(2, ReplySplit);
    NotFoundText->onEmit = MakeLink<&TQeHub::inSpread>(0, TextHub);
    SignatureCheck->onNoMatch = MakeLink<&TQeHub::inSpread>(1, FailHub);
    SignatureCheck->onMatch = MakeLink<&TQeHub::inSpread>(0, FoundHub);
    SignatureCheck->srcText = MakeLink<&TQeMultiStrPart::valPart>(0, ReplySplit);
    ReplySplit->onSplit = MakeLink<&TQeStrMask::inCompare>(0, SignatureCheck);
    ReplySplit->onNotFound = MakeLink<&TQeHub::inSpread>(2, FailHub);
    // A chosen port starts afresh: what the last one sent is dropped.
    ForwardHub->onEvent[0] = MakeLink<&TQeIdentFrame::inClear>(0, ReplyFrame);
    ForwardHub->onEvent[1] = MakeLink<&TQeEditMultiEx::inPass>(probe_open, InnerSide);
    OpenCheck->onNext = MakeLink<&TQeHub::inSpread>(0, RequestHub);
    OpenCheck->onMatch = MakeLink<&TQeHub::inSpread>(0, FailHub);
    FailHub->onEvent[0] = MakeLink<&TQeEditMultiEx::inPass>(probe_not_found, InnerSide);
    FailHub->onEvent[1] = MakeLink<&TQeDoData::inEmit>(0, NotFoundText);
    VersCommand->onEmit = MakeLink<&TQeEditMultiEx::inPass>(probe_write, InnerSide);
    TextHub->onEvent[0] = MakeLink<&TQeEditMultiEx::inPass>(probe_status, InnerSide);
    FoundHub->onEvent[0] = MakeLink<&TQeFormatStr::inFormat>(0, StatusFormat);
    FoundHub->onEvent[1] = MakeLink<&TQeCounter::inNext>(0, RouteCounter);
    FoundHub->onEvent[2] = MakeLink<&TQeEditMultiEx::inPass>(probe_found, InnerSide);
    RequestHub->onEvent[0] = MakeLink<&TQeDoData::inEmit>(0, VersCommand);
    // Silence is timed once "VERS" has gone out; it shows the not-found text
    // and nothing else changes: a later reply still identifies the device.
    RequestHub->onEvent[1] = MakeLink<&TQeIdentFrame::inRequest>(0, ReplyFrame);
    ReplyFrame->onSilence = MakeLink<&TQeDoData::inEmit>(0, NotFoundText);
}
