// Driving controls as a user would, for tests and tools: the events go
// through the same paths as real input.
#pragma once

#include <string>

class TControl;

// Presses and releases a key (a virtual key code) in the control.
void DriveKey(TControl* control, int vk, bool shift = false);
// Types Windows-1251 text into the control, one character at a time.
void DriveText(TControl* control, const std::string& text);
// Presses and releases a mouse button (1 left, 2 right, 3 middle) at a
// client point; x < 0 means the middle of the control.
void DriveClick(TControl* control, int x = -1, int y = -1, int button = 1);
// The same click and key as the window system delivers them: to the
// control's top-level window, which passes the click to the control under
// the point and the key to the control that has the focus.
void DriveWindowClick(TControl* control, int x = -1, int y = -1);
void DriveWindowKey(TControl* control, int vk);
// The user's close request (the close box of the window).
void DriveUserClose(TControl* form);
// Moves the mouse into or out of the control.
void DriveMouseEnter(TControl* control);
void DriveMouseLeave(TControl* control);
