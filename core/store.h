// Paged row store: equally sized rows kept in memory within a process-wide budget, spilled to
// swap files in the scratch directory, or dropped and decoded again (mode 3).
#pragma once
#include "core/registry.h"
#include <cstdint>

enum StoreMode { STORE_PLAIN = 2, STORE_ON_DEMAND = 3 };
enum RowState : uint8_t { ROW_MEMORY = 0, ROW_ON_DISK = 1, ROW_NOT_DECODED = 255 };

Table* store_create(int* out_id, int owner, int rows, int row_size, int mode);
uint8_t* store_row(Table* store, int row, bool read_access);
void store_drop_row(Table* store, int row);
Table* store_copy(Table* store, int* out_id);
void store_delete(Table* store);
void store_remove_all_swap();

// True when the row has memory now.
inline bool store_row_in_memory(const Table* store, int row) {
    return static_cast<uint8_t* const*>(store->items)[row] != nullptr;
}

// Called on every write access; the shell arms its repaint timer here.
extern void (*g_store_write_hook)();

// Budget figures, for the tool's --budget option and for tests.
long long store_budget();
void store_set_budget(long long bytes);
int store_use_clock();
int store_eviction_threshold();
void store_run_eviction_pass();
long long store_compute_budget(unsigned long long total_physical);
