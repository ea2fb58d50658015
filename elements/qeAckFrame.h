// AckFrame: frames the device's acknowledgements by what is expected. The
// hexadecimal text of each received burst is joined to what is held, until
// the joined text is an expected acknowledgement, or can no longer become
// one; then it goes on as one reply and the next join starts empty. A reply
// that a real line hands over in pieces is thus judged whole.
#pragma once

#include "runtime/Share.h"

#include <string>

class TQeAckFrame : public TQeElement {
public:
    // Once this many blocks are acknowledged only the final acknowledgement
    // is expected: the last block has gone out.
    int32_t LastBlock = 0;
    uint8_t IgnoreCase = 0; // 1: letter case does not count
    TEventLink srcBlockAck; // the block acknowledgement expected now
    TEventLink srcFinalAck; // the final acknowledgement expected now
    TEventLink srcCount;    // the blocks acknowledged so far
    TEventLink onFrame;     // a whole reply, or one that cannot be an acknowledgement

    void inAdd(TData& d, uint16_t index);

private:
    std::string held_; // the pieces so far; only the reader thread adds
};
