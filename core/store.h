// Paged row store: equally sized rows kept in memory within a process-wide budget, spilled to
// swap files in the scratch directory, or dropped and decoded again (mode 3).
//
// A row's address stays valid while fewer than 16 other rows have been asked for since: the
// 16 rows touched last are never evicted, so a caller may work with a few rows at once (a
// source and a target row, the planes of a strip) but must ask again for a row it comes back
// to later. Beyond those rows, the rows in memory stay within the budget.
#pragma once
#include "core/registry.h"
#include <cstdint>

enum StoreMode { STORE_PLAIN = 2, STORE_ON_DEMAND = 3 };
enum RowState : uint8_t { ROW_MEMORY = 0, ROW_ON_DISK = 1, ROW_NOT_DECODED = 255 };

constexpr int STORE_RECENT_ROWS = 16;

Table* store_create(int* out_id, int owner, int rows, int row_size, int mode);
uint8_t* store_row(Table* store, int row, bool read_access);
// Write access for a caller that writes every byte of the row: a new row is not cleared and a
// row on disk is not read back first.
uint8_t* store_row_overwrite(Table* store, int row);
void store_drop_row(Table* store, int row);
// Keeps one more row in memory whatever else is touched, until the next call (null: none): the
// row a decode on demand was asked for, while the decoder writes the rows decoded with it.
void store_hold_row(const Table* store, int row);
Table* store_copy(Table* store, int* out_id);
void store_delete(Table* store);
void store_remove_all_swap();

// True when a store of that many rows of that size can be paged: its rows fit the budget and
// the free space of the scratch disk, and its row table is at most 64 MB beyond the budget.
bool store_can_hold(int64_t rows, int64_t row_size);

// True when the row has memory now.
inline bool store_row_in_memory(const Table* store, int row) {
    return static_cast<uint8_t* const*>(store->items)[row] != nullptr;
}

// Called on every write access; the shell arms its repaint timer here.
extern void (*g_store_write_hook)();

// The file operations rows are paged with (the platform's by default); tests put failing ones
// in their place.
struct SwapFileOps {
    intptr_t (*create)(const char* path); // -1 on failure
    bool (*write_at)(intptr_t file, int64_t offset, const void* data, int64_t count);
    int64_t (*read_at)(intptr_t file, int64_t offset, void* data, int64_t count);
    void (*close)(intptr_t file);
};
extern SwapFileOps g_swap_ops;
extern const SwapFileOps k_platform_swap_ops;

// Budget figures, for the tool's --budget option and for tests.
long long store_budget();
void store_set_budget(long long bytes);
// Bytes of rows in memory now.
long long store_bytes_in_memory();
int store_use_clock();
int store_eviction_threshold();
void store_run_eviction_pass();
long long store_compute_budget(unsigned long long total_physical);
