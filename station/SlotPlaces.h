// Which ports are a station's slots: the ports named, present or not; else
// every listed port, and every port that appears later.
#pragma once

#include "station/StationSlot.h"

#include <string>
#include <vector>

// The places of the slots to add to those at `slots`: each named port (a
// COM name) that has no slot yet; with none named, each listed port not at
// a slot's place. A port at the place of a slot is that slot's, under
// whatever name; a slot that knows its place keeps no claim on a COM name
// it has left.
std::vector<TSlotPlace> NewSlotPlaces(const std::vector<TSlotPlace>& slots,
                                      const std::vector<std::string>& named);
