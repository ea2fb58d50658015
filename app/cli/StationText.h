// The station's words: a slot's state on the live screen, an event as a
// line of plain output, and an event's or a record's fields in JSON.
#pragma once

#include "runtime/JsonResult.h"
#include "station/StationSlot.h"

#include <string>
#include <utility>
#include <vector>

// The screen's last line while the station takes devices, and once it stops
// taking them (the event "stopping").
inline constexpr const char* kCtrlCHint =
    "Ctrl+C stops taking devices; a second Ctrl+C stops the uploads";
inline constexpr const char* kStopping =
    "Stopping: no new device is taken; the uploads under way finish (a second Ctrl+C stops them)";

// The slot's state in words, for its line on the screen.
std::string StateText(const TSlotView& v);
// The slots' lines on a screen `columns` wide: each slot's name, its
// adapter's serial, its state, device and counts.
std::string SlotLines(const std::vector<std::pair<TSlotPlace, TSlotView>>& slots, int columns);
// The event as one line of words.
std::string EventLine(const TSlotPlace& place, const TSlotEvent& e);
// The slot's name, port and adapter.
void AddPlace(TJsonResult& json, const TSlotPlace& place);
// The device and what its attempt came to, as far as the event tells.
void AddAttempt(TJsonResult& json, const TSlotEvent& e);
