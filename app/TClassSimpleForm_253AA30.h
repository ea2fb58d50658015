// The updater's window: the port list, the status line, the write button,
// the progress bar and the result display, wired to the serial port and the
// probe and upload sub-schemas.
#pragma once

#include "device/DeviceSession.h"
#include "runtime/Share.h"

class TQeSimpleForm;
class TQeButton;
class TQeEdit;
class TQeComboBox;
class TQeHub;
class TQeMultiElementEx;
class TQeCommutator;
class TQeComAsync;
class TQeProgressBar;
class TQeDoData;
class TQeLabel;
class TQeEventFromData;
class TQeImage;
class TSessionLog;
class TAccessNotice;

class TClassSimpleForm_253AA30 : public TSchema {
public:
    TClassSimpleForm_253AA30();
    ~TClassSimpleForm_253AA30() override;

    TQeSimpleForm* MainForm;
    TQeButton* WriteButton;
    TQeEdit* StatusEdit;
    TQeComboBox* PortCombo;
    // The serial port, the port selection and the probe and upload hosts.
    TDeviceSession Session;
    TQeHub* WriteClickHub;
    TQeProgressBar* Progress;
    TQeHub* DeviceFoundHub;
    TQeDoData* ComboOffData;
    TQeLabel* VersionLabel;
    TQeEdit* CrcEdit;
    TQeLabel* CrcRxLabel;
    TQeLabel* CrcLabel;
    TQeHub* WriteEnableHub;
    TQeHub* UploadEndHub;
    TQeDoData* HideData;
    TQeDoData* ShowData;
    TQeHub* HideControlsHub;
    TQeHub* FormEnableHub;
    TQeHub* ShowOkHub;
    TQeButton* OkButton;
    TQeLabel* SuccessLabel;
    TQeLabel* ErrorLabel;
    TQeHub* SuccessHub;
    TQeDoData* SuccessShowData;
    TQeDoData* ErrorShowData;
    TQeHub* FailureHub;
    TQeHub* ErrorShowHub;
    TQeImage* ErrorImage;
    TQeLabel* HintLabel;
    TQeEventFromData* SuccessMark;
    TQeDoData* SuccessMarkData;
    // Outside the window's own graph: the session's transcript, kept in the
    // user's state folder, and the notice of ports the user may not open.
    TSessionLog* Log;
    TAccessNotice* AccessNotice;
};
