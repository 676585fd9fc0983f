#include "shell/status_display.h"
#include "core/lists.h"
#include "core/registry.h"
#include "core/status.h"
#include "image/image.h"
#include "shell/app_state.h"

void show_status_message(int picture_id, const char* text) {
    g_browse.animating = false;
    int code = g_status;
    g_status = 0;
    int record_id = 0;
    auto* record = static_cast<MessageRecord*>(obj_create(CLS_MESSAGE, &record_id));
    if (!record) {
        g_status = 0;
        return;
    }
    record->status_code = code;
    list_add(g_app.page_list_id, CLS_MESSAGE, record_id, record);
    int text_id = 0;
    if (!g_status) text_create(text, &text_id);
    record = obj_find_as<MessageRecord>(CLS_MESSAGE, record_id);
    if (record) record->text_id = text_id;
    // The copy is only needed when the file left no page of its own to show.
    int copy_id = 0;
    bool needs_copy = list_count(g_app.page_list_id, CLS_IMAGE) == 0;
    if (!g_status && picture_id && needs_copy) image_clone(picture_id, &copy_id);
    if (g_status && copy_id) {
        obj_delete(CLS_IMAGE, copy_id);
        copy_id = 0;
    }
    record = obj_find_as<MessageRecord>(CLS_MESSAGE, record_id);
    if (record) record->picture_copy_id = copy_id;
    if (text_id) list_add(g_app.page_list_id, CLS_TABLE, text_id, obj_find(CLS_TABLE, text_id));
    if (copy_id) list_add(g_app.page_list_id, CLS_IMAGE, copy_id, obj_find(CLS_IMAGE, copy_id));
    g_status = 0;
}

const char* page_list_message() {
    int id = 0;
    auto* record =
        static_cast<MessageRecord*>(list_next_of_class(g_app.page_list_id, CLS_MESSAGE, &id));
    if (!record || !id) return nullptr;
    auto* text = obj_find_as<Table>(CLS_TABLE, record->text_id);
    return text && text->items ? static_cast<const char*>(text->items) : "";
}

void show_pending_status() {
    if (!g_status) return;
    int code = g_status;
    int picture = code > 0 && code < k_status_pictures ? g_app.status_pictures[code]
                                                       : g_app.unknown_picture_id;
    show_status_message(picture, status_category_text());
    g_status = 0;
}
