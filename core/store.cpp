// Paged row store. Rows live in memory while the budget allows; eviction writes changed rows
// to swap files (raw rows, no header) and frees clean or re-decodable ones.
#include "core/store.h"
#include "core/mem.h"
#include "core/status.h"
#include "core/services.h"

#include <cstdio>
#include <cstring>

void (*g_store_write_hook)() = nullptr;

namespace {

constexpr int k_touches_per_tick = 3000;
constexpr int k_max_freed_per_pass = 501;
constexpr long long k_swap_file_bytes = 1073741824;

long long s_budget = 0;
bool s_budget_computed = false;
uint32_t s_clock = 3;
int s_touches = 0;
uint32_t s_threshold = 1;
int s_cursor = 0;
int s_lowest_written = 0;
// Clock value at which a pass over every store, run with the threshold already at clock - 1,
// found no row to evict. Until the clock advances no later pass can find one: stamps only grow.
uint32_t s_barren_clock = 0;

struct SwapStream {
    FILE* file;
    int store_id;
    int file_index;
    const char* mode;
};
SwapStream s_write = {nullptr, 0, 0, nullptr};
SwapStream s_read = {nullptr, 0, 0, nullptr};

uint8_t** rows_of(Table* s) {
    return static_cast<uint8_t**>(s->items);
}

void close_stream(SwapStream* stream) {
    if (stream->file) std::fclose(stream->file);
    *stream = SwapStream{nullptr, 0, 0, nullptr};
}

void swap_file_name(const Table* store, int file_index, char* out, int size) {
    char prefix[1100];
    scratch_prefix(prefix, sizeof prefix);
    std::snprintf(out, static_cast<size_t>(size), "%s%d_%d", prefix, store->id, file_index);
}

void ensure_budget() {
    if (s_budget_computed) return;
    uint64_t total = 0, page = 0, avail = 0, avail_page = 0;
    memory_status(&total, &page, &avail, &avail_page);
    s_budget = store_compute_budget(total);
    s_budget_computed = true;
}

// Positions the write stream at the row; null when the file cannot be opened.
FILE* open_for_writing(Table* store, int row) {
    char name[1200];
    if (s_read.file && s_read.store_id == store->id) close_stream(&s_read);
    int file_index = row / store->rows_per_file;
    int within = row % store->rows_per_file;
    int32_t* count = &store->written_rows[file_index];
    const char* mode = *count == 0 ? "wb" : (within == *count ? "ab" : "r+b");
    bool keep = s_write.file && s_write.store_id == store->id && s_write.mode == mode &&
                s_write.file_index == file_index;
    if (!keep) {
        close_stream(&s_write);
        swap_file_name(store, file_index, name, sizeof name);
        if (g_status) return nullptr;
        FILE* f = std::fopen(name, mode);
        if (!f) return nullptr;
        s_write = SwapStream{f, store->id, file_index, mode};
    }
    if (within != *count &&
        std::fseek(s_write.file, static_cast<long>(within) * store->row_size, SEEK_SET) != 0) {
        close_stream(&s_write);
        return nullptr;
    }
    if (within + 1 > *count) *count = within + 1;
    return s_write.file;
}

FILE* open_for_reading(Table* store, int row) {
    char name[1200];
    if (s_write.file && s_write.store_id == store->id) close_stream(&s_write);
    int file_index = row / store->rows_per_file;
    int within = row % store->rows_per_file;
    if (!(s_read.file && s_read.store_id == store->id && s_read.file_index == file_index)) {
        close_stream(&s_read);
        swap_file_name(store, file_index, name, sizeof name);
        if (g_status) return nullptr;
        FILE* f = std::fopen(name, "rb");
        if (!f) return nullptr;
        s_read = SwapStream{f, store->id, file_index, "rb"};
        store->read_position = 0;
    }
    if (within != store->read_position &&
        std::fseek(s_read.file, static_cast<long>(within) * store->row_size, SEEK_SET) != 0) {
        close_stream(&s_read);
        return nullptr;
    }
    store->read_position = within + 1;
    return s_read.file;
}

void write_row_to_swap(Table* store, int row) {
    uint8_t* data = rows_of(store)[row];
    if (!data) return;
    FILE* f = open_for_writing(store, row);
    if (!f) return;
    // Only a complete write makes the disk copy valid; a short one keeps the row in memory.
    if (std::fwrite(data, 1, static_cast<size_t>(store->row_size), f) ==
        static_cast<size_t>(store->row_size))
        store->states[row] = ROW_ON_DISK;
    else
        close_stream(&s_write);
}

void read_row_from_swap(Table* store, int row) {
    uint8_t* data = rows_of(store)[row];
    FILE* f = open_for_reading(store, row);
    size_t got = 0;
    if (f) got = std::fread(data, 1, static_cast<size_t>(store->row_size), f);
    if (got < static_cast<size_t>(store->row_size)) {
        std::memset(data + got, 0, static_cast<size_t>(store->row_size) - got);
        if (f) close_stream(&s_read);
    }
}

void free_row(Table* store, int row) {
    mem_free(rows_of(store)[row]);
    s_budget += store->row_size;
}

void remove_swap_files(Table* store) {
    char name[1200];
    close_stream(&s_write);
    close_stream(&s_read);
    if (!store->written_rows || store->rows_per_file < 1) return;
    int files = (store->rows - 1) / store->rows_per_file + 1;
    for (int f = files - 1; f >= 0; f--) {
        if (store->written_rows[f] == 0) continue;
        int saved = g_status;
        swap_file_name(store, f, name, sizeof name);
        g_status = saved;
        std::remove(name);
        store->written_rows[f] = 0;
    }
}

} // namespace

long long store_compute_budget(unsigned long long total_physical) {
    long long budget = static_cast<long long>(0.4 * static_cast<double>(total_physical));
    if (budget < 50000000) budget = 50000000;
    if (budget >= 600000000) budget = 600000000;
    return budget;
}

long long store_budget() {
    ensure_budget();
    return s_budget;
}

void store_set_budget(long long bytes) {
    s_budget_computed = true;
    s_budget = bytes;
}

int store_use_clock() {
    return static_cast<int>(s_clock);
}
int store_eviction_threshold() {
    return static_cast<int>(s_threshold);
}

Table* store_create(int* out_id, int owner, int rows, int row_size, int mode) {
    ensure_budget();
    *out_id = 0;
    if (rows < 1 || row_size < 1) {
        g_status = ST_VALUE;
        return nullptr;
    }
    int id = 0;
    Table* s = static_cast<Table*>(obj_create(CLS_TABLE, &id));
    if (!s) return nullptr;
    *out_id = id;
    s->owner = owner;
    s->rows = rows;
    s->row_size = row_size;
    size_t n = static_cast<size_t>(rows);
    s->rows_per_file = static_cast<int32_t>(
        rows < k_swap_file_bytes / row_size ? rows : k_swap_file_bytes / row_size);
    if (s->rows_per_file < 1) s->rows_per_file = 1;
    int files = (rows - 1) / s->rows_per_file + 1;
    if (!mem_alloc(s->stamps, n * sizeof(uint32_t)) || !mem_alloc(s->states, n) ||
        !mem_alloc(s->items, n * sizeof(uint8_t*)) ||
        !mem_alloc(s->written_rows, static_cast<size_t>(files) * sizeof(int32_t)))
        return s;
    std::memset(s->stamps, 0, n * sizeof(uint32_t));
    std::memset(s->states, mode == STORE_ON_DEMAND ? ROW_NOT_DECODED : ROW_MEMORY, n);
    std::memset(s->items, 0, n * sizeof(uint8_t*));
    std::memset(s->written_rows, 0, static_cast<size_t>(files) * sizeof(int32_t));
    return s;
}

uint8_t* store_row(Table* store, int row, bool read_access) {
    if (!store || !store->items || row < 0 || row >= store->rows) {
        g_status = ST_NO_MEMORY;
        return nullptr;
    }
    if (!read_access) {
        if (s_lowest_written == 0 || s_lowest_written >= store->id) s_lowest_written = store->id;
        if (g_store_write_hook) g_store_write_hook();
    }
    if (store->stamps[row] != s_clock) {
        if (s_touches >= k_touches_per_tick) {
            s_clock++;
            s_touches = 0;
        }
        s_touches++;
        store->stamps[row] = s_clock;
    }
    if (!read_access && store->states[row] == ROW_ON_DISK) store->states[row] = ROW_MEMORY;
    uint8_t** rows = rows_of(store);
    if (rows[row]) return rows[row];
    if (store->row_size > s_budget) store_run_eviction_pass();
    rows = rows_of(store);
    // A new row starts as zeros, so that what a short file never writes shows black.
    bool from_swap = store->states[row] == ROW_ON_DISK;
    if (from_swap)
        mem_alloc(rows[row], static_cast<size_t>(store->row_size));
    else
        mem_alloc_zeroed(rows[row], static_cast<size_t>(store->row_size));
    if (g_status) {
        mem_free(rows[row]);
        return nullptr;
    }
    s_budget -= store->row_size;
    if (from_swap) read_row_from_swap(store, row);
    return g_status ? nullptr : rows[row];
}

void store_run_eviction_pass() {
    if (s_barren_clock == s_clock && s_threshold == s_clock - 1) return;
    bool whole_walk = s_cursor == 0 && s_threshold == s_clock - 1;
    int freed = 0, candidates = 0;
    int id = s_cursor;
    while (Table* s = static_cast<Table*>(obj_next(CLS_TABLE, &id))) {
        s_cursor = id;
        if (s->row_size == 0 || !s->items) continue;
        uint8_t** rows = rows_of(s);
        for (int r = 0; r < s->rows; r++) {
            if (!rows[r] || s->stamps[r] > s_threshold) continue;
            candidates++;
            if (freed >= k_max_freed_per_pass) return;
            if (s->states[r] == ROW_MEMORY) write_row_to_swap(s, r);
            if (g_status) return; // the scratch directory failed: one report per pass
            if (s->states[r] != ROW_MEMORY) {
                free_row(s, r);
                freed++;
            }
        }
    }
    s_cursor = 0;
    if (candidates == 0 && whole_walk) s_barren_clock = s_clock;
    if (freed == 0) {
        s_threshold += 2;
        if (s_threshold >= s_clock - 1) s_threshold = s_clock - 1;
    }
}

void store_drop_row(Table* store, int row) {
    if (!store || row < 0 || row >= store->rows) return;
    if (!rows_of(store)[row] || store->states[row] == ROW_MEMORY) return;
    free_row(store, row);
    if (store->stamps[row] == s_clock && s_touches > 0) s_touches--;
}

Table* store_copy(Table* store, int* out_id) {
    Table* copy = store_create(out_id, store->owner, store->rows, store->row_size, STORE_PLAIN);
    if (g_status) return copy;
    for (int r = 0; r < store->rows; r++) {
        const uint8_t* from = store_row(store, r, true);
        if (!from) return copy;
        // A row touched just now is never evicted, so from stays valid while to is made.
        uint8_t* to = store_row(copy, r, false);
        if (!to) return copy;
        std::memcpy(to, from, static_cast<size_t>(store->row_size));
    }
    return copy;
}

void store_delete(Table* store) {
    if (s_write.file && s_write.store_id == store->id) close_stream(&s_write);
    if (s_read.file && s_read.store_id == store->id) close_stream(&s_read);
    if (store->row_size == 0) {
        mem_free(store->items);
        store->used_bytes = 0;
        return;
    }
    if (store->items) {
        for (int r = 0; r < store->rows; r++)
            if (rows_of(store)[r]) free_row(store, r);
    }
    remove_swap_files(store);
    mem_free(store->items);
    mem_free(store->stamps);
    mem_free(store->states);
    mem_free(store->written_rows);
}

void store_remove_all_swap() {
    int id = 0;
    while (Table* s = static_cast<Table*>(obj_next(CLS_TABLE, &id)))
        if (s->row_size > 0) remove_swap_files(s);
}
