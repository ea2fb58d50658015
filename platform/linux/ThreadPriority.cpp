#include "platform/ThreadPriority.h"

#include <initializer_list>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

void RaiseCurrentThreadPriority() {
    // A lower nice value for this thread only, two steps as the highest
    // priority of a normal thread is; more would let a busy thread hold back
    // the kernel's own workers, which pass received bytes on. Without the
    // privilege for the full step, try a smaller one.
    const id_t tid = id_t(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, tid);
    for (int step : {2, 1}) {
        if (::setpriority(PRIO_PROCESS, tid, current - step) == 0) return;
    }
}
