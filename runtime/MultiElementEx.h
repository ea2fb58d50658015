// Sub-schema hosting: the host element, the inner side and the schema base.
#pragma once

#include "runtime/Share.h"

#include <vector>

class TQeMultiElementEx;
class TQeEditMultiEx;

// Base of every sub-schema class (the probe's, the upload's). Its elements are
// freed in reverse creation order; a sub-schema's constructor creates the inner
// side first, so it is freed last.
class TClassMultiBase : public TSchema {
public:
    TClassMultiBase(TQeMultiElementEx* /*host*/, void* /*parentWindow*/, void* /*ownerSchema*/) {}
    TQeEditMultiEx* inner = nullptr;
};

using TCreationHook = TQeEditMultiEx* (*)(TQeMultiElementEx* host, void* parentWindow,
                                          void* ownerSchema);

// The creation hook of a sub-schema class S.
template <class S>
TQeEditMultiEx* CreateSubSchema(TQeMultiElementEx* host, void* parentWindow, void* ownerSchema) {
    return (new S(host, parentWindow, ownerSchema))->inner;
}

// The host: an element of the outer schema that stands for a sub-schema.
class TQeMultiElementEx : public TQeElement {
public:
    explicit TQeMultiElementEx(void* parentWindow);
    ~TQeMultiElementEx() override;

    uint8_t Mode = 0;
    void* OwnerSchema = nullptr;
    std::vector<TEventLink> onPass;
    std::vector<TEventLink> srcPass;

    void SetCreationHook(TCreationHook hook);
    void inPass(TData& d, uint16_t index);
    void valPass(TData& d, uint16_t index);
    void DestroyInstance(TData& d, uint16_t index);

    TQeEditMultiEx* Current() const { return current_; }
    std::size_t InstanceCount() const { return instances_.size(); }

private:
    TQeEditMultiEx* CreateInstance();
    template <class Op> void Deliver(Op op);

    void* parentWindow_;
    TCreationHook hook_ = nullptr;
    TQeEditMultiEx* current_ = nullptr;
    std::vector<TQeEditMultiEx*> instances_;
};

// The inner side: mirrors the host's points inside one sub-schema instance.
class TQeEditMultiEx : public TQeElement {
public:
    TQeMultiElementEx* host = nullptr;
    TClassMultiBase* schema = nullptr;
    std::vector<TEventLink> onPass;
    std::vector<TEventLink> srcPass;

    void inPass(TData& d, uint16_t index);
    void valPass(TData& d, uint16_t index);

    // True while an outward call of this instance runs on the calling thread.
    bool IsRunning() const;
};
