// The resources as Linux and the browser have them: a table compiled into
// the program (cmake/Embed.cmake). Windows has its own, the module's resources.
#include "platform/Resources.h"

#include "platform/shared/ResourceTable.h"

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
