// The device probe: sends "VERS" on an opened port, joins the reply's bursts
// until it can be parsed, parses it and switches received data to the upload
// once a device has been identified.
#pragma once

#include "runtime/MultiElementEx.h"

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
    // The schema that hosts this one: the window schema or the console
    // schema. Nothing here reaches into it.
    TSchema* Owner;
};
