// The firmware upload: sends the image block by block with a running CRC,
// checks every acknowledgement, sends "PUSK" at the end and watches for
// silence.
#pragma once

#include "runtime/MultiElementEx.h"

class TQeConvertor;
class TQeDataToFile;
class TQeCounter;
class TQeHub;
class TQeStrMask;
class TQeMemoryStream;
class TQeFor;
class TQeDoData;
class TQeCRC16_32;
class TQeStream2Hex;
class TQeStrCat;
class TQeMMTimer;
class TQeIf_else;
class TQeOutcome;
class TQeAckFrame;

class TClassMultiElementEx_25A91E0 : public TClassMultiBase {
public:
    TClassMultiElementEx_25A91E0(TQeMultiElementEx* host, void* parentWindow, void* ownerSchema);
    ~TClassMultiElementEx_25A91E0() override;

    TQeEditMultiEx* InnerSide;
    TQeConvertor* ByteToChar;
    TQeDataToFile* ImageReader;
    TQeCounter* BlockCounter;
    TQeHub* BlockHub;
    TQeStrMask* BlockAckCheck;
    TQeStrMask* FinalAckCheck;
    TQeHub* ReplyHub;
    TQeMemoryStream* ImageStream;
    TQeFor* BlockLoop;
    TQeHub* BlockAckHub;
    TQeHub* WriteHub;
    TQeHub* FinalAckHub;
    TQeDoData* FinalCommand;
    TQeCRC16_32* ImageCrc;
    TQeConvertor* ByteToHex;
    TQeHub* ByteHub;
    TQeHub* CrcHub;
    TQeStream2Hex* ReplyToHex;
    TQeStrCat* FinalMaskCat;
    TQeHub* UploadFailHub;
    TQeMMTimer* Watchdog;
    TQeCounter* SilenceCounter;
    TQeHub* StartHub;
    TQeIf_else* TimeoutCheck;
    // Refuses a block acknowledgement that comes after the last block: the
    // block counter has wrapped to 0 and there is no image left to send.
    TQeIf_else* ImageEndCheck;
    // Makes the upload's outcome final: the first of success and failure
    // wins, whichever thread reports it; after it no reply is evaluated, so
    // no further block and no "PUSK" goes out.
    TQeOutcome* UploadOutcome;
    // After a failure: the failure output, the watchdog stops, the port's
    // gap comes back.
    TQeHub* FailEndHub;
    // Joins the pieces of a reply until it is an expected acknowledgement or
    // cannot become one.
    TQeAckFrame* AckFrame;
    // The port's framing while the upload runs (every byte as it comes), and
    // after it (the port's own gap); on host output upload_gap.
    TQeDoData* GapOffData;
    TQeDoData* GapBackData;
    // Success only once "PUSK" has left whole: the port's count of the bytes
    // its last write put out (host data input upload_written) must be its length;
    // otherwise the upload fails with the text "PUSK" (the start command
    // did not reach the device).
    TQeIf_else* StartSentCheck;
    TQeDoData* StartLostData;
    // The schema that hosts this one: the window schema or the console
    // schema. Nothing here reaches into it.
    TSchema* Owner;
};
