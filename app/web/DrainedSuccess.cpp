#include "app/web/DrainedSuccess.h"

#include "device/DeviceSession.h"
#include "device/Protocol.h"
#include "platform/web/WebComm.h"
#include "runtime/Dispatch.h"
#include "runtime/MultiElementEx.h"

void TDrainedSuccess::Attach(TQeMultiElementEx& upload,
                             std::function<void(const std::string&)> note) {
    successOut_ = upload.onPass[upload_success];
    failureOut_ = upload.onPass[upload_failure];
    upload.onPass[upload_success] = MakeLink<&TDrainedSuccess::inSuccess>(0, this);
    note_ = std::move(note);
}

void TDrainedSuccess::inSuccess(TData& d, uint16_t) {
    // The final acknowledgement, passed on once the output has drained.
    DrainSerialOutput([this, ack = ToString(d)](bool drained) {
        if (drained) {
            FireString(successOut_, ack);
            return;
        }
        if (note_) note_("\"PUSK\" did not leave the port within the write time-out");
        FireString(failureOut_, kStartCommand);
    });
}
