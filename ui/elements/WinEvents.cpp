#include "ui/elements/WinEvents.h"

int HeldButtonOf(uint32_t keys) {
    switch (keys) {
    case MK_LBUTTON:
        return 0;
    case MK_RBUTTON:
        return 1;
    case MK_MBUTTON:
        return 2;
    default:
        return 255;
    }
}
