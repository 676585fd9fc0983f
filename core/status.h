// Process-wide status code: 0 for success, 1..16 for the first failure met.
#pragma once

extern int g_status;

enum StatusCode {
    ST_OK = 0,
    ST_NO_MEMORY = 1,
    ST_FILE = 2,
    ST_UNKNOWN_FORMAT = 3,
    ST_LOAD = 7,
    ST_NOT_FOUND = 10,
    ST_SYSTEM = 11,
    ST_VALUE = 12,
    ST_BAD_DATA = 14,
    ST_BAD_ARGS = 15,
    ST_LAST = 16,
};

// Long message of the current status ("" for 0).
const char* status_text();
// Short category message of the current status ("" for 0).
const char* status_category_text();
// The same texts for any code 0..16 (other values give "").
const char* status_text_of(int code);
const char* status_category_text_of(int code);
