// Test helpers: an element that records what reaches it, and one that answers
// data pulls with a fixed value.
#pragma once

#include "runtime/Share.h"

#include <string>
#include <vector>

struct TProbe : TQeElement {
    TProbe() = default;
    // A probe on an element's output.
    explicit TProbe(TEventLink& output) { output = Link(); }
    std::vector<TData> got;
    void in(TData& d, uint16_t) { got.push_back(d); }
    TEventLink Link() { return MakeLink<&TProbe::in>(0, this); }
    std::string Str(std::size_t k = 0) const { return ToString(got.at(k)); }
    int32_t Int(std::size_t k = 0) const { return ToInteger(got.at(k)); }
};

struct TSource : TQeElement {
    TData value;
    int pulls = 0;
    void val(TData& d, uint16_t) {
        ++pulls;
        d = value;
    }
    TEventLink Link() { return MakeLink<&TSource::val>(0, this); }
};

inline TData Str(std::string s) {
    TData d;
    SetString(d, std::move(s));
    return d;
}
inline TData Int(int32_t n) {
    TData d;
    SetInteger(d, n);
    return d;
}
inline TData Real(double v) {
    TData d;
    d.type = data_real;
    d.rdata = v;
    return d;
}

// Fires `value` into the operation M of `element`, as a linked event would.
template <auto M, class E> TData Send(E& element, TData value, uint16_t index = 0) {
    Fire(MakeLink<M>(index, &element), value);
    return value;
}
