#include "device/TClassMultiElementEx_25A91E0.h"

#include "device/Protocol.h"
#include "device/SessionPins.h"
#include "elements/qeAckFrame.h"
#include "elements/qeCRC16_32.h"
#include "elements/qeConvertor.h"
#include "elements/qeCounter.h"
#include "elements/qeDataToFile.h"
#include "elements/qeFor.h"
#include "elements/qeIf_else.h"
#include "elements/qeMMTimer.h"
#include "elements/qeMemoryStream.h"
#include "elements/qeStrCat.h"
#include "elements/qeStrMask.h"
#include "elements/qeStream2Hex.h"
#include "runtime/qeDoData.h"
#include "runtime/qeHub.h"
#include "runtime/qeOutcome.h"

TClassMultiElementEx_25A91E0::TClassMultiElementEx_25A91E0(TQeMultiElementEx* host,
                                                           void* parentWindow, void* ownerSchema)
    : TClassMultiBase(host, parentWindow, ownerSchema), Owner(static_cast<TSchema*>(ownerSchema)) {
    // Elements, in creation order.
    InnerSide = Add<TQeEditMultiEx>();
    InnerSide->onPass.resize(upload_in_count);

    ByteToChar = Add<TQeConvertor>();
    ByteToChar->Mode = conv_int_to_char;
    ByteToChar->Digits = 1;

    ImageReader = Add<TQeDataToFile>();
    ImageReader->ItemType = item_byte;

    BlockCounter = Add<TQeCounter>();
    BlockCounter->Min = 0;
    BlockCounter->Max = kImageBlocks - 1;
    BlockCounter->Step = 1;
    BlockCounter->Direction = 0;
    BlockCounter->Value = 0;

    BlockHub = Add<TQeHub>();
    BlockHub->SetOutCount(1);

    BlockAckCheck = Add<TQeStrMask>();
    BlockAckCheck->Mask = kBlockAck;
    BlockAckCheck->IgnoreCase = 1;

    FinalAckCheck = Add<TQeStrMask>();
    FinalAckCheck->Mask = kFinalAck;
    FinalAckCheck->IgnoreCase = 1;

    ReplyHub = Add<TQeHub>();
    ReplyHub->SetOutCount(3);

    ImageStream = Add<TQeMemoryStream>();
    ImageStream->Stream = LoadStreamResource("STREAM0", 100);

    BlockLoop = Add<TQeFor>();
    BlockLoop->Start = 0;
    BlockLoop->End = kBlockBytes - 1;
    BlockLoop->Step = 1;
    BlockLoop->IncludeEnd = 1;
    BlockLoop->KeepData = 0;

    BlockAckHub = Add<TQeHub>();
    BlockAckHub->SetOutCount(2);

    WriteHub = Add<TQeHub>();
    WriteHub->SetOutCount(1);

    FinalAckHub = Add<TQeHub>();
    FinalAckHub->SetOutCount(4);

    FinalCommand = Add<TQeDoData>();
    SetString(FinalCommand->Data, kStartCommand);

    ImageCrc = Add<TQeCRC16_32>();
    ImageCrc->InputMode = 1;
    ImageCrc->CrcType = 0;
    ImageCrc->Polynomial = kCrcPolynomial;
    ImageCrc->Init = kCrcInit;
    ImageCrc->SwapOutput = 0;

    ByteToHex = Add<TQeConvertor>();
    ByteToHex->Mode = conv_int_to_hex;
    ByteToHex->Digits = 1;

    ByteHub = Add<TQeHub>();
    ByteHub->SetOutCount(2);

    CrcHub = Add<TQeHub>();
    CrcHub->SetOutCount(3);

    ReplyToHex = Add<TQeStream2Hex>();

    FinalMaskCat = Add<TQeStrCat>();
    FinalMaskCat->First = "";
    FinalMaskCat->Second = kFinalAckHex;

    UploadFailHub = Add<TQeHub>();
    UploadFailHub->SetOutCount(1);

    Watchdog = Add<TQeMMTimer>();
    Watchdog->SetResolution(1);
    Watchdog->SetInterval(kWatchdogTickMs);
    Watchdog->SetEnabled(false);
    Watchdog->SetCount(0);

    SilenceCounter = Add<TQeCounter>();
    SilenceCounter->Min = 0;
    SilenceCounter->Max = 100;
    SilenceCounter->Step = 1;
    SilenceCounter->Direction = 0;
    SilenceCounter->Value = 0;

    StartHub = Add<TQeHub>();
    StartHub->SetOutCount(3);

    TimeoutCheck = Add<TQeIf_else>();
    TimeoutCheck->Compare = 0;
    SetInteger(TimeoutCheck->Op2, kSilenceTicks);

    ImageEndCheck = Add<TQeIf_else>();
    ImageEndCheck->Compare = 0;
    SetInteger(ImageEndCheck->Op2, 0);

    UploadOutcome = Add<TQeOutcome>();
    UploadOutcome->SetEndCount(3);
    UploadOutcome->SetOpenCount(2);

    FailEndHub = Add<TQeHub>();
    FailEndHub->SetOutCount(3);

    AckFrame = Add<TQeAckFrame>();
    AckFrame->LastBlock = kImageBlocks - 1;
    AckFrame->IgnoreCase = 1;

    // 1 us: the port reports every byte as it comes; -1: its own gap again.
    GapOffData = Add<TQeDoData>();
    SetInteger(GapOffData->Data, 1);

    GapBackData = Add<TQeDoData>();
    SetInteger(GapBackData->Data, -1);

    StartSentCheck = Add<TQeIf_else>();
    StartSentCheck->Compare = 0;
    SetInteger(StartSentCheck->Op2, kStartCommandLength);

    StartLostData = Add<TQeDoData>();
    SetString(StartLostData->Data, kStartCommand);

    inner = InnerSide;
    InnerSide->schema = this;
    InnerSide->host = host;

    // Links, in order.
    // Replies are evaluated only while the outcome is open.
    InnerSide->onPass[upload_reply] = MakeLink<&TQeOutcome::inPass>(0, UploadOutcome);
    UploadOutcome->onPass = MakeLink<&TQeHub::inSpread>(0, ReplyHub);
    // Nothing starts, and no image byte goes out, once the outcome is decided.
    InnerSide->onPass[upload_start] = MakeLink<&TQeOutcome::inCheck>(0, UploadOutcome);
    UploadOutcome->onOpen[0] = MakeLink<&TQeHub::inSpread>(0, StartHub);
    ByteToChar->onResult = MakeLink<&TQeOutcome::inCheck>(1, UploadOutcome);
    UploadOutcome->onOpen[1] = MakeLink<&TQeHub::inSpread>(1, WriteHub);
    ImageReader->onGet = MakeLink<&TQeHub::inSpread>(0, ByteHub);
    ImageReader->srcStream = MakeLink<&TQeMemoryStream::valStream>(0, ImageStream);
    BlockCounter->onNext = MakeLink<&TQeEditMultiEx::inPass>(upload_progress, InnerSide);
    BlockHub->onEvent[0] = MakeLink<&TQeFor::inRun>(0, BlockLoop);
    BlockAckCheck->onNoMatch = MakeLink<&TQeHub::inSpread>(0, UploadFailHub);
    BlockAckCheck->onMatch = MakeLink<&TQeHub::inSpread>(0, BlockAckHub);
    FinalAckCheck->onNoMatch = MakeLink<&TQeStrMask::inCompare>(0, BlockAckCheck);
    FinalAckCheck->onMatch = MakeLink<&TQeOutcome::inEnd>(0, UploadOutcome);
    UploadOutcome->onEnd[0] = MakeLink<&TQeHub::inSpread>(0, FinalAckHub);
    // Any burst ends the silence before the reply is judged: the pass that
    // sends the next block takes a while, and a tick meanwhile must not count
    // the silence that this burst has just ended.
    ReplyHub->onEvent[0] = MakeLink<&TQeCounter::inReset>(2, SilenceCounter);
    ReplyHub->onEvent[1] = MakeLink<&TQeStream2Hex::inConvert>(0, ReplyToHex);
    ReplyHub->onEvent[2] = MakeLink<&TQeEditMultiEx::inPass>(upload_burst, InnerSide);
    BlockLoop->onStep = MakeLink<&TQeDataToFile::inGet>(1, ImageReader);
    BlockAckHub->onEvent[0] = MakeLink<&TQeCounter::inNext>(0, BlockCounter);
    // The next block goes out only while the counter has not wrapped past
    // the last block.
    BlockAckHub->onEvent[1] = MakeLink<&TQeIf_else::inCompare>(0, ImageEndCheck);
    ImageEndCheck->srcOp1 = MakeLink<&TQeCounter::valCount>(0, BlockCounter);
    ImageEndCheck->onTrue = MakeLink<&TQeHub::inSpread>(2, UploadFailHub);
    ImageEndCheck->onFalse = MakeLink<&TQeHub::inSpread>(0, BlockHub);
    WriteHub->onEvent[0] = MakeLink<&TQeEditMultiEx::inPass>(upload_write, InnerSide);
    FinalAckHub->onEvent[0] = MakeLink<&TQeDoData::inEmit>(0, FinalCommand);
    // Success is told only once "PUSK" went out whole: a port closing under
    // it (an interruption, a lost line) refuses the write.
    FinalAckHub->onEvent[1] = MakeLink<&TQeIf_else::inCompare>(0, StartSentCheck);
    StartSentCheck->srcOp1 = MakeLink<&TQeEditMultiEx::valPass>(upload_written, InnerSide);
    StartSentCheck->onTrue = MakeLink<&TQeEditMultiEx::inPass>(upload_success, InnerSide);
    StartSentCheck->onFalse = MakeLink<&TQeDoData::inEmit>(0, StartLostData);
    StartLostData->onEmit = MakeLink<&TQeEditMultiEx::inPass>(upload_failure, InnerSide);
    FinalAckHub->onEvent[2] = MakeLink<&TQeMMTimer::inStop>(1, Watchdog);
    FinalAckHub->onEvent[3] = MakeLink<&TQeDoData::inEmit>(0, GapBackData);
    FinalCommand->onEmit = MakeLink<&TQeHub::inSpread>(0, WriteHub);
    ImageCrc->onResult = MakeLink<&TQeHub::inSpread>(0, CrcHub);
    ImageCrc->srcInit = MakeLink<&TQeEditMultiEx::valPass>(upload_crc_text, InnerSide);
    ByteToHex->onResult = MakeLink<&TQeCRC16_32::inCalc>(0, ImageCrc);
    // The CRC step (and with it both masks) comes before the byte is written:
    // block 0 goes out on the window thread, and the device's answer to its
    // last byte must find the masks ready on the reader thread.
    ByteHub->onEvent[0] = MakeLink<&TQeConvertor::inConvert>(0, ByteToHex);
    ByteHub->onEvent[1] = MakeLink<&TQeConvertor::inConvert>(0, ByteToChar);
    CrcHub->onEvent[0] = MakeLink<&TQeEditMultiEx::inPass>(upload_crc, InnerSide);
    CrcHub->onEvent[1] = MakeLink<&TQeStrCat::inConcat>(0, FinalMaskCat);
    CrcHub->onEvent[2] = MakeLink<&TQeStrMask::inSetMask>(1, BlockAckCheck);
    // Pieces of a reply are joined until they make an acknowledgement or
    // cannot become one.
    ReplyToHex->onResult = MakeLink<&TQeAckFrame::inAdd>(0, AckFrame);
    AckFrame->srcBlockAck = MakeLink<&TQeStrMask::valMask>(0, BlockAckCheck);
    AckFrame->srcFinalAck = MakeLink<&TQeStrMask::valMask>(0, FinalAckCheck);
    AckFrame->srcCount = MakeLink<&TQeCounter::valCount>(0, BlockCounter);
    AckFrame->onFrame = MakeLink<&TQeStrMask::inCompare>(0, FinalAckCheck);
    FinalMaskCat->onResult = MakeLink<&TQeStrMask::inSetMask>(1, FinalAckCheck);
    FinalMaskCat->srcFirst = MakeLink<&TQeEditMultiEx::valPass>(upload_crc_text, InnerSide);
    UploadFailHub->onEvent[0] = MakeLink<&TQeOutcome::inEnd>(1, UploadOutcome);
    UploadOutcome->onEnd[1] = MakeLink<&TQeHub::inSpread>(0, FailEndHub);
    // The host stops the run from outside (an interruption, a lost line):
    // unless success or failure came first, nothing more is evaluated or
    // sent, and the watchdog stops.
    InnerSide->onPass[upload_stop] = MakeLink<&TQeOutcome::inEnd>(2, UploadOutcome);
    UploadOutcome->onEnd[2] = MakeLink<&TQeMMTimer::inStop>(1, Watchdog);
    FailEndHub->onEvent[0] = MakeLink<&TQeEditMultiEx::inPass>(upload_failure, InnerSide);
    FailEndHub->onEvent[1] = MakeLink<&TQeMMTimer::inStop>(1, Watchdog);
    FailEndHub->onEvent[2] = MakeLink<&TQeDoData::inEmit>(0, GapBackData);
    Watchdog->onTimer = MakeLink<&TQeCounter::inNext>(0, SilenceCounter);
    SilenceCounter->onNext = MakeLink<&TQeIf_else::inCompare>(0, TimeoutCheck);
    // While the upload runs, the port reports bytes as they come: replies
    // are framed by what is expected, not by a silence after them.
    StartHub->onEvent[0] = MakeLink<&TQeDoData::inEmit>(0, GapOffData);
    GapOffData->onEmit = MakeLink<&TQeEditMultiEx::inPass>(upload_gap, InnerSide);
    GapBackData->onEmit = MakeLink<&TQeEditMultiEx::inPass>(upload_gap, InnerSide);
    // The watchdog starts before block 0 goes out, so an answer that comes at
    // once (a final acknowledgement of block 0) stops a running watchdog.
    StartHub->onEvent[1] = MakeLink<&TQeMMTimer::inStart>(0, Watchdog);
    StartHub->onEvent[2] = MakeLink<&TQeHub::inSpread>(1, BlockHub);
    TimeoutCheck->onTrue = MakeLink<&TQeHub::inSpread>(1, UploadFailHub);
    TimeoutCheck->srcOp1 = MakeLink<&TQeCounter::valCount>(0, SilenceCounter);
}

// The watchdog is stopped first: it was created before the elements its ticks
// reach, so freeing in reverse order alone would free those under a tick.
TClassMultiElementEx_25A91E0::~TClassMultiElementEx_25A91E0() {
    Watchdog->SetEnabled(false);
    FreeElements();
}
