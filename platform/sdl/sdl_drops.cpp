#include "platform/sdl/sdl_layer.h"

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

std::map<PlatformDrop, std::vector<std::string>> s_drops;
PlatformDrop s_next_drop = 1;

} // namespace

PlatformDrop sdl_drop_begin() {
    PlatformDrop drop = s_next_drop++;
    s_drops[drop];
    return drop;
}

void sdl_drop_add(PlatformDrop drop, const char* name) {
    auto it = s_drops.find(drop);
    if (it != s_drops.end() && name) it->second.push_back(name);
}

int sdl_drop_count(PlatformDrop drop) {
    auto it = s_drops.find(drop);
    return it == s_drops.end() ? 0 : static_cast<int>(it->second.size());
}

int sdl_drop_name(PlatformDrop drop, int index, char* out, int size) {
    auto it = s_drops.find(drop);
    if (it == s_drops.end() || index < 0 || index >= static_cast<int>(it->second.size())) return 0;
    const std::string& name = it->second[static_cast<size_t>(index)];
    if (size > 0) std::snprintf(out, static_cast<size_t>(size), "%s", name.c_str());
    return static_cast<int>(name.size());
}

void sdl_drop_finish(PlatformDrop drop) {
    s_drops.erase(drop);
}
