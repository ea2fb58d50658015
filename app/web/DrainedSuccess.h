// The upload's success on the page, told only once "PUSK" has left the line.
// Web Serial accepts a write once its bytes are queued in the page, so the
// upload's own check (every byte of "PUSK" accepted) passes before they have
// gone; the window and the session log hear of the success only after the
// port's output has drained. If it cannot drain within the write time-out,
// or the line is lost first, the upload fails with "PUSK" (the start command
// did not reach the device), as a write that times out fails elsewhere.
#pragma once

#include "runtime/Element.h"
#include "runtime/TEventLink.h"

#include <functional>
#include <string>

class TQeMultiElementEx;

class TDrainedSuccess : public TQeElement {
public:
    // Puts the wait in front of the upload host's success output; a failed
    // drain goes to its failure output. note adds a line to the session log.
    void Attach(TQeMultiElementEx& upload, std::function<void(const std::string&)> note);

    void inSuccess(TData& d, uint16_t);

private:
    TEventLink successOut_;
    TEventLink failureOut_;
    std::function<void(const std::string&)> note_;
};
