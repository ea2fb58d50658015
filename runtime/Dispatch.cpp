#include "runtime/Dispatch.h"

#include <atomic>

namespace {

// Dispatch state; read by the window, reader and timer threads.
std::atomic<bool> g_live{false};

bool Live() {
    return g_live.load(std::memory_order_acquire);
}

// The data entry: fills the record through a connected link while live.
void DataEntry(TData& d, const TEventLink& link) {
    if (Live() && link.Connected()) link.method(link.target, d, link.index);
}

// Moves an event value to the next value of its list, or makes it NULL.
void Advance(TData& eventValue) {
    if (eventValue.next) {
        TData next = *eventValue.next;
        eventValue = next;
    } else {
        eventValue.type = data_null;
    }
}

} // namespace

void EnableDispatch() {
    g_live.store(true, std::memory_order_release);
}
void DisableDispatch() {
    g_live.store(false, std::memory_order_release);
}
bool DispatchEnabled() {
    return Live();
}

// The event entry: calls the link, then keeps calling the forward link that a
// handler left in the record. A loop, so forwarding chains never nest.
void Fire(const TEventLink& link, TData& d) {
    if (!Live()) return;
    const TEventLink* current = &link;
    while (current && current->Connected()) {
        current->method(current->target, d, current->index);
        if (!(d.type & data_forward)) break;
        d.type = uint8_t(d.type - data_forward);
        current = d.fwd;
    }
}

void FireCopy(const TEventLink& link, const TData& value) {
    TData copy = value;
    Fire(link, copy);
}

void FireInteger(const TEventLink& link, int32_t n) {
    TData d;
    SetInteger(d, n);
    Fire(link, d);
}

void FireString(const TEventLink& link, TStr s) {
    TData d;
    SetString(d, std::move(s));
    Fire(link, d);
}

void FireNull(const TEventLink& link) {
    TData d;
    Fire(link, d);
}

void Pull(TData& d, const TEventLink& link) {
    if (link.Connected())
        DataEntry(d, link);
    else
        d.type = data_break;
}

int32_t PullInteger(const TEventLink& link) {
    TData d;
    DataEntry(d, link);
    return ToInteger(d);
}

TMemStream* PullStream(const TEventLink& link) {
    TData d;
    DataEntry(d, link);
    return ToStream(d);
}

int32_t ReadInteger(TData& eventValue, const TEventLink& link, int32_t def) {
    if (link.Connected()) {
        TData d;
        DataEntry(d, link);
        if (d.type != data_break) return ToInteger(d);
    }
    if (def != 0 || eventValue.type == data_null) return def;
    int32_t value = ToInteger(eventValue);
    Advance(eventValue);
    return value;
}

std::string ReadString(TData& eventValue, const TEventLink& link, std::string_view def) {
    if (link.Connected()) {
        TData d;
        DataEntry(d, link);
        if (d.type != data_break) return ToString(d);
    }
    if (!def.empty() || eventValue.type == data_null) return std::string(def);
    std::string value = ToString(eventValue);
    Advance(eventValue);
    return value;
}

void ReadValue(TData& eventValue, const TEventLink& link, const TData* def, TData& result) {
    if (link.Connected()) {
        SetNull(result);
        DataEntry(result, link);
        if (result.type != data_break) return;
    }
    if (def && def->type != data_null) {
        result = *def;
        return;
    }
    result = eventValue;
    SetNull(eventValue);
}

void ReadFirst(TData& eventValue, const TEventLink& link, const TData* def, TData& result) {
    if (link.Connected()) {
        SetNull(result);
        DataEntry(result, link);
        result.next = nullptr;
        if (result.type != data_break) return;
    }
    if (def && def->type != data_null) {
        result = *def;
        return;
    }
    result = eventValue;
    result.next = nullptr;
    if (eventValue.type == data_null)
        eventValue.next = nullptr;
    else
        Advance(eventValue);
}

void TakeFirst(TData& eventValue, TData& result) {
    ReadFirst(eventValue, TEventLink{}, nullptr, result);
}

void ForwardNull(TData& d, const TEventLink& link) {
    d.type = data_null | data_forward;
    d.fwd = &link;
}

void ForwardCopy(TData& d, const TEventLink& link, const TData& value) {
    if (&d != &value) d = value;
    d.type = uint8_t(d.type | data_forward);
    d.fwd = &link;
}

void ForwardInteger(TData& d, const TEventLink& link, int32_t n) {
    d.type = data_int | data_forward;
    d.idata = n;
    d.next = nullptr;
    d.fwd = &link;
}

void ForwardString(TData& d, const TEventLink& link, TStr s) {
    d.type = data_str | data_forward;
    d.sdata = std::move(s);
    d.next = nullptr;
    d.fwd = &link;
}

void CopyChain(TData& destination, const TData& source) {
    destination = source;
    TData* copy = &destination;
    const TData* from = &source;
    while (from->type != data_null && from->next) {
        from = from->next;
        TData* record = new TData(*from);
        copy->next = record;
        copy = record;
    }
    copy->next = nullptr;
}

void FreeChain(TData& d) {
    TData* p = d.next;
    d.next = nullptr;
    while (p) {
        TData* next = p->next;
        delete p;
        p = next;
    }
}
