#include "shell/rotate.h"
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "display/invalidate.h"
#include "display/layers.h"
#include "display/scroll.h"
#include "display/view_state.h"
#include "image/file_entry.h"
#include "image/image.h"
#include "shell/app_state.h"
#include "shell/page_step.h"
#include "shell/process.h"

#include <utility>

namespace {

// Moves the turned copy's pixels and header into the page's own record, so the page keeps its
// id: its place in the page list and its frame control record stay valid for later steps.
// The copy's record then holds the old content and is deleted with it.
void take_over(int page_id, int copy_id) {
    auto* page = obj_find_as<Image>(CLS_IMAGE, page_id);
    auto* copy = obj_find_as<Image>(CLS_IMAGE, copy_id);
    std::swap(*page, *copy);
    std::swap(page->id, copy->id);
    if (page->full_store) page->full_store->owner = page_id;
    if (page->reduced_store) page->reduced_store->owner = page_id;
    if (copy->full_store) copy->full_store->owner = copy_id;
    if (copy->reduced_store) copy->reduced_store->owner = copy_id;
    obj_delete(CLS_IMAGE, copy_id);
}

} // namespace

void rotate_page(int direction) {
    int page_id = g_browse.current_page_id;
    auto* page = obj_find_as<Image>(CLS_IMAGE, page_id);
    if (!page) {
        g_status = ST_NOT_FOUND;
        return;
    }
    if (page->format_id == FMT_ECW) return;
    int copy_id = 0;
    image_rotate(page_id, direction, &copy_id);
    if (g_status) {
        if (copy_id) obj_delete(CLS_IMAGE, copy_id);
        return;
    }
    layer_remove_object(page_id, g_app.raster_layer_id);
    g_display.shown_page_id = 0;
    if (g_status || !obj_find(CLS_IMAGE, copy_id)) {
        obj_delete(CLS_IMAGE, copy_id);
        if (!g_status) g_status = ST_NOT_FOUND;
        return;
    }
    take_over(page_id, copy_id);
    show_page(page_id);
    if (g_status) {
        app_fail("Erreur System");
        return;
    }
    update_title(page_id, page_number(page_id), list_count(g_app.page_list_id, CLS_IMAGE));
    if (g_app.ended) return;
    refresh_view();
}
