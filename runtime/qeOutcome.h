// Outcome: guards a run that several threads may race to end. Events on
// inPass go on to onPass, one at a time, while the run is open; inEnd (the
// link's index k) ends the run for good and fires onEnd[k]. The first end
// wins, whichever thread it comes from; every later event and end is
// dropped. An end from another thread while an event is passing is dropped
// too: the passing event is newer than what that end reports, and may end
// the run itself. Nothing waits: the element holds no lock.
#pragma once

#include "runtime/Share.h"

#include <atomic>
#include <thread>
#include <vector>

class TQeOutcome : public TQeElement {
public:
    uint8_t EndCount = 0;
    TEventLink onPass;
    std::vector<TEventLink> onEnd;

    void SetEndCount(uint8_t count);
    void inPass(TData& d, uint16_t index);
    void inEnd(TData& d, uint16_t index);

    // The end that won, or -1 while the run is open.
    int Ended() const;

private:
    enum : int { open = -1, passing = -2 };
    std::atomic<int> state_{open}; // open, passing, or the index of the end
    std::atomic<std::thread::id> passer_{};
};
