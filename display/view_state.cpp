#include "display/view_state.h"

#include "core/registry.h"
#include "core/status.h"
#include "display/records.h"

DisplayIds g_display = {};
ZoomState g_zoom = {1.0, 0, 0, 0, false};
ScrollState g_scroll = {};
DragAnchor g_drag_anchor = {};

void view_state_reset() {
    g_display = DisplayIds{};
    g_zoom = ZoomState{1.0, 0, 0, 0, false};
    g_scroll = ScrollState{};
    g_drag_anchor = DragAnchor{};
}

bool document_view_parts(WindowObject** window, View** view, Extent** extent) {
    *window = obj_find_as<WindowObject>(CLS_WINDOW, g_display.document_window_id);
    *view = obj_find_as<View>(CLS_VIEW, g_display.view_id);
    *extent = *view ? obj_find_as<Extent>(CLS_EXTENT, (*view)->extent_id) : nullptr;
    if (*window && *view && *extent) return true;
    g_status = ST_NOT_FOUND;
    return false;
}
