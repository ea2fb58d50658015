// The link record held by every event output and data input.
#pragma once

#include "runtime/TData.h"

#include <cstdint>

// Every operation a link can name: target element, the record, the index.
using TMethod = void (*)(void* target, TData& data, uint16_t index);

struct TEventLink {
    TMethod method = nullptr;
    void* target = nullptr;
    uint16_t index = 0;

    bool Connected() const { return method != nullptr; }
};

TEventLink MakeLink(uint16_t index, TMethod method, void* target);

namespace link_detail {
template <class M> struct MemberOf;
template <class C> struct MemberOf<void (C::*)(TData&, uint16_t)> { using Class = C; };
template <auto M> void Thunk(void* target, TData& d, uint16_t index) {
    using C = typename MemberOf<decltype(M)>::Class;
    (static_cast<C*>(target)->*M)(d, index);
}
} // namespace link_detail

// The method of an element's operation `void C::op(TData&, uint16_t)`.
template <auto M> constexpr TMethod Method() {
    return &link_detail::Thunk<M>;
}

// MakeLink<&C::op>(index, element): a link to an element's operation. The
// target pointer is converted to the class that declares the operation.
template <auto M>
TEventLink MakeLink(uint16_t index, typename link_detail::MemberOf<decltype(M)>::Class* target) {
    return MakeLink(index, Method<M>(), static_cast<void*>(target));
}
