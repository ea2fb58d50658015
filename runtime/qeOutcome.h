// Outcome: guards a run that several threads may race to end. Events on
// inPass go on to onPass, one at a time, while the run is open; inEnd (the
// link's index k) ends the run for good and fires onEnd[k]. The first end
// wins, whichever thread it comes from, even while an event is passing on
// another thread (a pass stuck in a stalled write must not hide a time-out);
// every later event and end is dropped. inCheck (index k) lets an event on
// to onOpen[k] only while the run has not ended, without taking a turn: it
// gates what a pass may still do once another thread has ended the run.
// Nothing waits: the element holds no lock.
#pragma once

#include "runtime/Share.h"

#include <atomic>
#include <vector>

class TQeOutcome : public TQeElement {
public:
    uint8_t EndCount = 0;
    uint8_t OpenCount = 0;
    TEventLink onPass;
    std::vector<TEventLink> onEnd;
    std::vector<TEventLink> onOpen;

    void SetEndCount(uint8_t count);
    void SetOpenCount(uint8_t count);
    void inPass(TData& d, uint16_t index);
    void inEnd(TData& d, uint16_t index);
    void inCheck(TData& d, uint16_t index);

    // The end that won, or -1 while the run is open.
    int Ended() const;

private:
    enum : int { open = -1, passing = -2 };
    std::atomic<int> state_{open}; // open, passing, or the index of the end
};
