// Scheduling priority of the calling thread.
#pragma once

// Raises the calling thread above its peers where the system allows it;
// carries on quietly where it does not (no privilege).
void RaiseCurrentThreadPriority();
