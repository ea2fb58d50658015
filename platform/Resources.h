// Resources embedded in the program at build time, found by name and type.
#pragma once

#include <cstddef>
#include <string_view>

// Numeric resource types.
enum : int { rt_bitmap = 2, rt_icon = 3, rt_group_icon = 14, rt_stream = 100 };

struct TResourceData {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
};

// The bytes of resource `name` of `type`; false (and an empty result) when
// there is no such resource.
bool FindResourceData(std::string_view name, int type, TResourceData& out);
