// Resources of the program's own module, compiled in by the resource
// compiler. The bytes are the same as on other systems: a stream as it was
// embedded, a bitmap as its device-independent bitmap (the compiler already
// drops the file header), and a group icon as the complete .ico file, which
// is rebuilt once from the group directory and its icon images.
#include "platform/Resources.h"

#include "platform/Text1251.h"

#include <windows.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace {

bool FindModuleResource(const wchar_t* name, const wchar_t* type, TResourceData& out) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, name, type);
    if (!info) return false;
    HGLOBAL loaded = LoadResource(module, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return false;
    // A module's resources stay mapped for its lifetime; nothing to release.
    out.data = static_cast<const unsigned char*>(data);
    out.size = SizeofResource(module, info);
    return true;
}

uint16_t Le16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}

void Put16(std::vector<unsigned char>& out, uint32_t v) {
    out.push_back((unsigned char)(v & 0xFF));
    out.push_back((unsigned char)((v >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The .ico file of a group icon: its 6-byte header, then one 16-byte entry
// per image (the group's 14-byte entry with the image's file offset in place
// of its resource id), then the images in order. Empty when an image is
// missing or the group is malformed.
std::vector<unsigned char> IcoFile(const TResourceData& group) {
    std::vector<unsigned char> ico;
    if (group.size < 6) return ico;
    const unsigned char* g = group.data;
    const std::size_t count = Le16(g + 4);
    if (6 + count * 14 > group.size) return ico;
    std::vector<TResourceData> images(count);
    for (std::size_t i = 0; i < count; ++i) {
        const uint16_t id = Le16(g + 6 + i * 14 + 12);
        if (!FindModuleResource(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3), images[i])) return ico;
    }
    ico.assign(g, g + 6);
    uint32_t offset = uint32_t(6 + count * 16);
    for (std::size_t i = 0; i < count; ++i) {
        ico.insert(ico.end(), g + 6 + i * 14, g + 6 + i * 14 + 12); // up to the byte count
        Put32(ico, offset);
        offset += uint32_t(images[i].size);
    }
    for (const TResourceData& image : images)
        ico.insert(ico.end(), image.data, image.data + image.size);
    return ico;
}

// Rebuilt .ico files by name, kept for the program's lifetime (callers hold
// on to the bytes as they would to a resource). Never destroyed.
struct TIconCache {
    std::mutex m;
    std::map<std::string, std::vector<unsigned char>> files;
};
TIconCache& IconCache() {
    static TIconCache* cache = new TIconCache;
    return *cache;
}

} // namespace

bool FindResourceData(std::string_view name, int type, TResourceData& out) {
    out = TResourceData{};
    if (name.empty() || name.find('\0') != std::string_view::npos) return false;
    if (type <= 0 || type > 0xFFFF) return false; // not a numeric resource type
    const std::u16string name16 = Cp1251ToUtf16(name);
    const std::wstring wname(name16.begin(), name16.end());
    TResourceData found;
    if (!FindModuleResource(wname.c_str(), MAKEINTRESOURCEW(type), found)) return false;
    if (type != rt_group_icon) {
        out = found;
        return true;
    }
    TIconCache& cache = IconCache();
    std::lock_guard lock(cache.m);
    auto it = cache.files.find(std::string(name));
    if (it == cache.files.end()) {
        std::vector<unsigned char> ico = IcoFile(found);
        if (ico.empty()) return false;
        it = cache.files.emplace(std::string(name), std::move(ico)).first;
    }
    out.data = it->second.data();
    out.size = it->second.size();
    return true;
}
