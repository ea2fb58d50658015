// The station's words: a slot's state on the live screen, an event as a
// line of plain output, and an event's or a record's fields in JSON.
#pragma once

#include "runtime/JsonResult.h"
#include "station/StationSlot.h"

#include <string>

// The slot's state in words, for its line on the screen.
std::string StateText(const TSlotView& v);
// The event as one line of words.
std::string EventLine(const TSlotPlace& place, const TSlotEvent& e);
// The slot's name, port and adapter.
void AddPlace(TJsonResult& json, const TSlotPlace& place);
// The device and what its attempt came to, as far as the event tells.
void AddAttempt(TJsonResult& json, const TSlotEvent& e);
