#include "runtime/Startup.h"

#include <utility>
#include <vector>

bool StartupDone = false;

namespace {
std::vector<std::pair<TStartProc, void*>>& Queue() {
    static std::vector<std::pair<TStartProc, void*>> queue;
    return queue;
}
} // namespace

void AddStartHandler(TStartProc proc, void* object) {
    Queue().emplace_back(proc, object);
}

void RunStartHandlers() {
    auto& queue = Queue();
    // The length is re-read on every step: handlers added during the run run too.
    for (std::size_t i = 0; i < queue.size(); ++i) {
        auto [proc, object] = queue[i];
        proc(object);
    }
    queue.clear();
    queue.shrink_to_fit();
    StartupDone = true;
}
