// Small elements used by the runtime tests to observe what the graph does.
#pragma once

#include "runtime/Share.h"

#include <string>
#include <vector>

// Records every event it receives.
class Recorder : public TQeElement {
public:
    struct Event {
        uint8_t type;
        std::string text;
        uint16_t index;
    };
    std::vector<Event> events;

    void inEvent(TData& d, uint16_t index) { events.push_back({d.type, ToString(d), index}); }
    TEventLink Link(uint16_t index = 0) { return MakeLink<&Recorder::inEvent>(index, this); }
    // The values received, as text.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& e : events)
            texts.push_back(e.text);
        return texts;
    }
};

// A data output that answers with a fixed value (or Break, or nothing).
class Source : public TQeElement {
public:
    TData value;
    int pulls = 0;
    bool writeNothing = false;

    void valOut(TData& d, uint16_t) {
        ++pulls;
        if (!writeNothing) d = value;
    }
    TEventLink Link() { return MakeLink<&Source::valOut>(0, this); }
};

// Turns dispatch on for the duration of a test.
struct LiveDispatch {
    LiveDispatch() { EnableDispatch(); }
    ~LiveDispatch() { DisableDispatch(); }
};

inline TData IntValue(int32_t n) {
    TData d;
    SetInteger(d, n);
    return d;
}

inline TData StrValue(std::string s) {
    TData d;
    SetString(d, std::move(s));
    return d;
}
