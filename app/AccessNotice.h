// Tells the window's user, once at start, of the serial ports left out of
// the port list because the user may not open them, and of the group to
// join. Without such ports it shows nothing.
#pragma once

#include "runtime/Share.h"

#include <string>
#include <vector>

class TAccessNotice : public TQeElement {
public:
    TEventLink out; // what the form's creation did before (listing the ports)

    // The form's creation: the ports are listed first, then the notice.
    void inCreate(TData& d, uint16_t);
};

// The notice's text (UTF-8) for the ports and the groups that may open
// them; `rootOnly` when some of them only root may open. Empty when `ports`
// is.
std::string AccessNoticeText(const std::vector<std::string>& ports,
                             const std::vector<std::string>& groups, bool rootOnly);
