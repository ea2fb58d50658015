#include "runtime/TEventLink.h"

TEventLink MakeLink(uint16_t index, TMethod method, void* target) {
    TEventLink link;
    link.method = method;
    link.target = target;
    link.index = index;
    return link;
}
