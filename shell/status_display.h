// Showing a failure: a copy of a placeholder picture in the document window and the message
// in the title bar, kept in the page list as a message record (class 80).
#pragma once
#include <cstdint>

struct MessageRecord {
    int32_t id;
    int32_t picture_copy_id;
    int32_t text_id; // text block holding the message
    int32_t status_code;
};

// Takes and clears the status, records the message in the page list with a copy of the
// picture (none for picture 0). The next page step that keeps the file shows both.
void show_status_message(int picture_id, const char* text);
// Text of the page list's message record, or nullptr when it holds none.
const char* page_list_message();
// Shows the current status (if any) with its picture and category message, then clears it:
// what follows every message the main window procedure handles.
void show_pending_status();
