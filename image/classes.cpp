// Classes of the image model with their record sizes and deletion hooks.
#include "core/mem.h"
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "image/ecw.h"
#include "image/file_entry.h"
#include "image/frame_control.h"
#include "image/image.h"

namespace {
void table_delete(int, void* record) {
    store_delete(static_cast<Table*>(record));
}
} // namespace

void image_delete(int id, void* record) {
    Image* image = static_cast<Image*>(record);
    // The library's view goes first; the codec handle is freed with it.
    if (image->file_entry_id && image->format_id == FMT_ECW) ecw_close(image);
    obj_delete(CLS_TABLE, image->full_store_id);
    obj_delete(CLS_TABLE, image->reduced_store_id);
    if (image->georef_link_id) obj_delete(CLS_GEOREF_LINK, image->georef_link_id);
    image->full_store = image->reduced_store = nullptr;
    mem_free(image->path);
    mem_free(image->codec);
    (void)id;
}

void image_declare_classes() {
    obj_set_class_size(CLS_IMAGE, sizeof(Image));
    obj_set_class_size(CLS_TABLE, sizeof(Table));
    obj_set_class_size(CLS_FILE_ENTRY, sizeof(FileEntry));
    obj_set_class_size(CLS_FRAME_CONTROL, sizeof(FrameControl));
    obj_set_delete_hook(CLS_IMAGE, image_delete);
    obj_set_delete_hook(CLS_TABLE, table_delete);
    obj_set_delete_hook(CLS_FILE_ENTRY, file_entry_delete);
}
