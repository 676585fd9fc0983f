#include "image/ecw_library.h"
#include "platform/sys.h"

#include <cstdlib>
#include <cstring>

namespace {

EcwLibrary s_library;
bool s_loaded = false;

struct Operation {
    const char* name;
    void** slot;
};

// Function pointers are stored through the generic pointers the system's lookup gives.
template <class F> void** slot_of(F& function) {
    static_assert(sizeof(F) == sizeof(void*), "function pointers must fit a data pointer");
    return reinterpret_cast<void**>(&function);
}

bool resolve(void* handle, EcwLibrary* out) {
    const Operation operations[] = {
        {"NCScbmOpenFileView", slot_of(out->open_view)},
        {"NCScbmGetViewFileInfo", slot_of(out->file_info)},
        {"NCScbmSetFileView", slot_of(out->set_view)},
        {"NCScbmReadViewLineBIL", slot_of(out->read_line_bands)},
        {"NCScbmReadViewLineBGRA", slot_of(out->read_line_pixels)},
        {"NCScbmCloseFileViewEx", slot_of(out->close_view)},
    };
    for (const Operation& op : operations) {
        void* address = sys_library_symbol(handle, op.name);
        if (!address) return false;
        std::memcpy(op.slot, &address, sizeof address);
    }
    return true;
}

} // namespace

const EcwLibrary* ecw_library(const char** tried) {
    const char* path = std::getenv(k_ecw_library_variable);
    if (!path || !*path) path = sys_ecw_library_name();
    if (tried) *tried = path;
    if (s_loaded) return &s_library;
    void* handle = sys_library_open(path);
    if (!handle) return nullptr;
    EcwLibrary library = {};
    // A library without every operation is no better than none; it stays mapped, unused.
    if (!resolve(handle, &library)) return nullptr;
    s_library = library;
    s_loaded = true;
    return &s_library;
}
