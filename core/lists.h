// Object lists (members in id order), text blocks, sorted indexes and spatial indexes.
#pragma once
#include <cstdint>

int list_create(int* list_id);
void list_add(int list, int member_class, int member_id, void* member_record);
void list_remove(int list, int member_id);
void list_clear(int list);
void list_delete_members(int list);
void list_destroy(int list);
void* list_next_of_class(int list, int cls, int* member_id);
void* list_next(int list, int* member_class, int* member_id);
void* list_prev_of_class(int list, int cls, int* member_id);
void* list_last_of_class(int list, int cls, int* member_id);
void* list_find(int list, int member_id, int* member_class);
int list_count(int list, int cls);

// A class 35 table whose items are the bytes of a copy of the text with its zero.
char* text_create(const char* text, int* out_id);

enum KeyType {
    KEY_TEXT = 11,
    KEY_S8 = 12,
    KEY_S32 = 21,
    KEY_S32_B = 22,
    KEY_U32 = 23,
    KEY_U32_B = 24,
    KEY_F32 = 31,
    KEY_F64 = 32,
    KEY_S32_C = 41,
};

// Sorted index of member ids ordered by (key at key offset in the record, id).
int index_build(int list, int cls, int key_offset, int key_type, int* out_index);
void index_insert(int index, int object_id);
int index_find(int index, int object_id);
int index_find_last(int index, int object_id);

// Spatial index: (object id, owned bounds record) sorted by id, with an optional group item.
struct Bounds {
    int32_t owner;
    int32_t second;
    double min_x, min_y, max_x, max_y;
};
void extent_create(int group_id, int* out_index);
void extent_add(int index, int group_id, int object_id, Bounds* bounds);
void extent_remove(int index, int group_id, int object_id);
void extent_bounds(int index, int object_id, double* min_x, double* min_y, double* max_x,
                   double* max_y);
void extent_clear(int index);
void extent_destroy(int index);
