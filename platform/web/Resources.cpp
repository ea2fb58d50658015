#include "platform/Resources.h"

#include "platform/web/ResourceTable.h"

bool FindResourceData(std::string_view name, int type, TResourceData& out) {
    out = TResourceData{};
    for (const TResourceEntry* e = kResourceTable; e->name; ++e) {
        if (e->type == type && name == e->name) {
            out.data = e->data;
            out.size = e->size;
            return true;
        }
    }
    return false;
}
