#include "runtime/MultiElementEx.h"

namespace {

// The instances whose outward calls are in progress on this thread,
// innermost first. Each thread keeps its own list, so the window, reader and
// timer threads never see one another's entries.
struct RunningEntry {
    const TQeEditMultiEx* inner;
    RunningEntry* previous;
};
thread_local RunningEntry* t_running = nullptr;

class RunningScope {
public:
    explicit RunningScope(const TQeEditMultiEx* inner) : entry_{inner, t_running} {
        t_running = &entry_;
    }
    ~RunningScope() { t_running = entry_.previous; }

private:
    RunningEntry entry_;
};

} // namespace

TQeMultiElementEx::TQeMultiElementEx(void* parentWindow) : parentWindow_(parentWindow) {}

TQeMultiElementEx::~TQeMultiElementEx() {
    for (std::size_t n = instances_.size(); n-- > 0;) {
        TData d;
        SetInteger(d, int32_t(n));
        DestroyInstance(d, 65535);
    }
}

TQeEditMultiEx* TQeMultiElementEx::CreateInstance() {
    bool wasDone = StartupDone;
    StartupDone = false;
    TQeEditMultiEx* inner = hook_(this, parentWindow_, OwnerSchema);
    if (wasDone) RunStartHandlers();
    return inner;
}

void TQeMultiElementEx::SetCreationHook(TCreationHook hook) {
    hook_ = hook;
    if (Mode == 0 && hook_) {
        current_ = CreateInstance();
        instances_.push_back(current_);
    }
}

template <class Op> void TQeMultiElementEx::Deliver(Op op) {
    if (current_) {
        op(*current_);
    } else if (hook_) {
        TQeEditMultiEx* temporary = CreateInstance();
        op(*temporary);
        delete temporary->schema;
    }
}

void TQeMultiElementEx::inPass(TData& d, uint16_t index) {
    Deliver([&](TQeEditMultiEx& inner) {
        if (index < inner.onPass.size()) Fire(inner.onPass[index], d);
    });
}

void TQeMultiElementEx::valPass(TData& d, uint16_t index) {
    Deliver([&](TQeEditMultiEx& inner) {
        Pull(d, index < inner.srcPass.size() ? inner.srcPass[index] : TEventLink{});
    });
}

void TQeMultiElementEx::DestroyInstance(TData& d, uint16_t index) {
    int32_t n = ToInteger(d);
    if (n < 0 || std::size_t(n) >= instances_.size()) return;
    TQeEditMultiEx* instance = instances_[std::size_t(n)];
    if (instance->IsRunning()) {
        DebugMessage("Self destruction is not allowed !!!");
        return;
    }
    if (index < instance->onPass.size()) Fire(instance->onPass[index], d);
    if (instance == current_) current_ = nullptr;
    delete instance->schema;
    instances_.erase(instances_.begin() + n);
}

void TQeEditMultiEx::inPass(TData& d, uint16_t index) {
    RunningScope running(this);
    if (index < host->onPass.size()) Fire(host->onPass[index], d);
}

void TQeEditMultiEx::valPass(TData& d, uint16_t index) {
    RunningScope running(this);
    Pull(d, index < host->srcPass.size() ? host->srcPass[index] : TEventLink{});
}

bool TQeEditMultiEx::IsRunning() const {
    for (const RunningEntry* e = t_running; e; e = e->previous)
        if (e->inner == this) return true;
    return false;
}
