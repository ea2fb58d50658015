// The device probe: sends "VERS" on an opened port, parses the reply and
// switches received data to the upload once a device has been identified.
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
    TClassSimpleForm_253AA30* Owner;
};
