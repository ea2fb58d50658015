// What the page's serial devices offer beyond TComm. Web Serial accepts a
// write once its bytes are queued, so whether they have left the line is
// known only later; and it names read errors that the program's line events
// have no word for.
#pragma once

#include <functional>
#include <string>

// Calls done(true) once everything written to the open serial devices has
// left the line, or done(false) when it could not within their write
// time-outs (what was left is dropped), a device was lost, or none is open.
// Always later, from the browser's loop.
void DrainSerialOutput(std::function<void(bool drained)> done);

// Where the devices tell of a read error (after which reading goes on, or
// the device is lost), as a line of text naming the port and the error.
void OnSerialNote(std::function<void(const std::string& text)> note);
