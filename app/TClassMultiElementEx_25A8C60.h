// The device probe: sends "VERS" on an opened port, joins the reply's bursts
// until it can be parsed, parses it and switches received data to the upload
// once a device has been identified.
#pragma once

#include "runtime/MultiElementEx.h"

class TClassSimpleForm_253AA30;
class TQeFormatStr;
class TQeDoData;
class TQeStrMask;
class TQeMultiStrPart;
class TQeHub;
class TQeCase;
class TQeCounter;
class TQeIdentFrame;

class TClassMultiElementEx_25A8C60 : public TClassMultiBase {
public:
    TClassMultiElementEx_25A8C60(TQeMultiElementEx* host, void* parentWindow, void* ownerSchema);

    TQeEditMultiEx* InnerSide;
    TQeFormatStr* StatusFormat;
    TQeDoData* NotFoundText;
    TQeStrMask* SignatureCheck;
    TQeMultiStrPart* ReplySplit;
    TQeHub* ForwardHub;
    TQeCase* OpenCheck;
    TQeHub* FailHub;
    TQeDoData* VersCommand;
    TQeHub* TextHub;
    TQeHub* FoundHub;
    TQeCounter* RouteCounter;
    TQeHub* RequestHub;
    TQeIdentFrame* ReplyFrame;
    TClassSimpleForm_253AA30* Owner;
};
