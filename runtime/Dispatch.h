// Event and data dispatch: firing, pulling, reading with defaults, forwarding.
#pragma once

#include "runtime/TEventLink.h"

// Dispatch control. Disabled at program start: nothing fires, pulls do nothing.
// Safe to call and to query from any thread.
void EnableDispatch();
void DisableDispatch();
bool DispatchEnabled();

// Firing events.
void Fire(const TEventLink& link, TData& d);
void FireCopy(const TEventLink& link, const TData& value);
void FireInteger(const TEventLink& link, int32_t n);
void FireString(const TEventLink& link, TStr s);
void FireNull(const TEventLink& link);

// Pulling data.
void Pull(TData& d, const TEventLink& link);
int32_t PullInteger(const TEventLink& link);
TMemStream* PullStream(const TEventLink& link);

// Reading a data input with a default and the event value as last resort.
int32_t ReadInteger(TData& eventValue, const TEventLink& link, int32_t def);
std::string ReadString(TData& eventValue, const TEventLink& link, std::string_view def);
void ReadValue(TData& eventValue, const TEventLink& link, const TData* def, TData& result);
void ReadFirst(TData& eventValue, const TEventLink& link, const TData* def, TData& result);
void TakeFirst(TData& eventValue, TData& result);

// Forwarding: an event input hands its result to the dispatcher, which calls
// `link` next with the same record after the handler returns.
void ForwardNull(TData& d, const TEventLink& link);
void ForwardCopy(TData& d, const TEventLink& link, const TData& value);
void ForwardInteger(TData& d, const TEventLink& link, int32_t n);
void ForwardString(TData& d, const TEventLink& link, TStr s);

// Value lists kept on the heap.
void CopyChain(TData& destination, const TData& source);
void FreeChain(TData& d);
