#include "platform/shared/MMTimerRegistry.h"

#include "platform/MMTimer.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {

// Never destroyed, so that timer threads and callbacks still running at
// process exit find it intact.
struct TRegistry {
    std::mutex m;
    std::unordered_map<uint32_t, std::shared_ptr<TMMTimerEntry>> timers;
    uint32_t lastId = 0;
};
TRegistry& Registry() {
    static TRegistry* registry = new TRegistry;
    return *registry;
}

std::atomic<void (*)(bool (*)(void*), void*)> g_hookWait{nullptr};
std::atomic<void (*)()> g_hookWake{nullptr};

} // namespace

uint32_t MMTimerRegister(std::shared_ptr<TMMTimerEntry> timer) {
    TRegistry& reg = Registry();
    std::lock_guard lock(reg.m);
    uint32_t id = ++reg.lastId;
    while (id == 0 || reg.timers.count(id))
        id = ++reg.lastId;
    reg.timers.emplace(id, std::move(timer));
    return id;
}

std::shared_ptr<TMMTimerEntry> MMTimerFind(uint32_t id) {
    TRegistry& reg = Registry();
    std::lock_guard lock(reg.m);
    auto it = reg.timers.find(id);
    return it == reg.timers.end() ? nullptr : it->second;
}

std::shared_ptr<TMMTimerEntry> MMTimerUnregister(uint32_t id) {
    TRegistry& reg = Registry();
    std::lock_guard lock(reg.m);
    auto it = reg.timers.find(id);
    if (it == reg.timers.end()) return nullptr;
    std::shared_ptr<TMMTimerEntry> t = std::move(it->second);
    reg.timers.erase(it);
    return t;
}

bool MMTimerHookWait(bool (*done)(void* context), void* context) {
    auto wait = g_hookWait.load();
    if (!wait) return false;
    wait(done, context);
    return true;
}

void MMTimerHookWake() {
    if (auto wake = g_hookWake.load()) wake();
}

std::size_t MMTimerActiveCount() {
    TRegistry& reg = Registry();
    std::lock_guard lock(reg.m);
    return reg.timers.size();
}

void SetMMTimerWaitHook(const TMMTimerWaitHook& hook) {
    g_hookWait.store(hook.wait);
    g_hookWake.store(hook.wake);
}
