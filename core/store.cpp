// Paged row store. Rows live in memory while the budget allows; eviction writes changed rows
// to swap files (raw rows, no header) and frees clean or re-decodable ones.
//
// Each swap file is made when its first row goes to disk and stays open until its store is
// deleted: its name is gone as soon as it is open, so the open handle is the only way to it.
// Rows are written and read at explicit offsets, and a row counts as on disk only once the
// whole row was written.
#include "core/store.h"
#include "core/mem.h"
#include "core/services.h"
#include "core/status.h"
#include "platform/sys.h"

#include <cstdio>
#include <cstring>

void (*g_store_write_hook)() = nullptr;

const SwapFileOps k_platform_swap_ops = {sys_swap_create, sys_file_write_at, sys_file_read_at,
                                         sys_file_close};
SwapFileOps g_swap_ops = k_platform_swap_ops;

namespace {

constexpr int k_touches_per_tick = 3000;
constexpr int k_max_freed_per_pass = 501;
constexpr long long k_swap_file_bytes = 1073741824;
// Bytes of bookkeeping per row: stamp, state and address.
constexpr long long k_row_table_bytes = sizeof(uint32_t) + 1 + sizeof(uint8_t*);
// Row tables may take this much beside the budget (a 65535-row image takes under 1 MB).
constexpr long long k_row_table_room = 64 << 20;

long long s_budget = 0;       // bytes still allowed; may go negative
long long s_budget_limit = 0; // the budget as set, rows in memory taken off nothing
bool s_budget_computed = false;
uint32_t s_clock = 3;
int s_touches = 0;
uint32_t s_threshold = 1;
int s_cursor = 0;
int s_lowest_written = 0;

// The rows touched last, never evicted: their callers may still hold their addresses.
struct RecentRow {
    int32_t store_id;
    int32_t row;
};
RecentRow s_recent[STORE_RECENT_ROWS];
int s_recent_last = 0;

void remember_touch(const Table* store, int row) {
    RecentRow& last = s_recent[s_recent_last];
    if (last.store_id == store->id && last.row == row) return;
    s_recent_last = (s_recent_last + 1) % STORE_RECENT_ROWS;
    s_recent[s_recent_last] = RecentRow{store->id, row};
}

// The row a decode on demand was asked for: kept while its decoder writes the other rows it
// decodes with it.
RecentRow s_held = {0, 0};

bool touched_lately(const Table* store, int row) {
    for (const RecentRow& r : s_recent)
        if (r.row == row && r.store_id == store->id) return true;
    return s_held.row == row && s_held.store_id == store->id;
}

uint8_t** rows_of(Table* s) {
    return static_cast<uint8_t**>(s->items);
}

int file_count(const Table* s) {
    return (s->rows - 1) / s->rows_per_file + 1;
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
    s_budget = s_budget_limit = store_compute_budget(total);
    s_budget_computed = true;
}

// The open swap file of that index, made on first use; -1 when it cannot be had (a scratch
// directory failure also sets the status).
intptr_t swap_file(Table* store, int file_index) {
    intptr_t& f = store->swap_files[file_index];
    if (f != -1) return f;
    char name[1200];
    swap_file_name(store, file_index, name, sizeof name);
    if (g_status) return -1;
    f = g_swap_ops.create(name);
    return f;
}

// True once the whole row is in its swap file; otherwise the row stays as it was.
bool write_row_to_swap(Table* store, int row) {
    const uint8_t* data = rows_of(store)[row];
    if (!data) return true;
    int file_index = row / store->rows_per_file;
    int within = row % store->rows_per_file;
    intptr_t f = swap_file(store, file_index);
    if (f == -1) return false;
    int64_t offset = static_cast<int64_t>(within) * store->row_size;
    if (!g_swap_ops.write_at(f, offset, data, store->row_size)) return false;
    store->states[row] = ROW_ON_DISK;
    int32_t& written = store->written_rows[file_index];
    if (within + 1 > written) written = within + 1;
    return true;
}

// A row the store has on disk must come back whole: a short read is a failure (status 2 and a
// log line), never a row of zeros.
bool read_row_from_swap(Table* store, int row, uint8_t* data) {
    int file_index = row / store->rows_per_file;
    int within = row % store->rows_per_file;
    intptr_t f = store->swap_files[file_index];
    int64_t offset = static_cast<int64_t>(within) * store->row_size;
    if (f != -1 && g_swap_ops.read_at(f, offset, data, store->row_size) == store->row_size)
        return true;
    char message[200];
    std::snprintf(message, sizeof message,
                  "Erreur  ligne %d illisible dans le fichier d'echange %d_%d", row, store->id,
                  file_index);
    log_line(message);
    g_status = ST_FILE;
    return false;
}

void free_row(Table* store, int row) {
    mem_free(rows_of(store)[row]);
    s_budget += store->row_size;
    store->rows_in_memory--;
}

void close_swap_files(Table* store) {
    if (!store->swap_files) return;
    for (int f = 0; f < file_count(store); f++) {
        if (store->swap_files[f] != -1) g_swap_ops.close(store->swap_files[f]);
        store->swap_files[f] = -1;
        store->written_rows[f] = 0;
    }
}

struct PassResult {
    int freed;
    bool write_failed;
    bool whole_walk; // the pass began with the first store and saw every row
    uint32_t oldest; // lowest stamp of the rows in memory above the threshold, 0 for none
};

// One eviction pass: walks the stores from the cursor and frees up to 501 rows whose stamp is
// at most the threshold, writing changed rows to swap first. Rows touched lately are skipped.
PassResult eviction_pass() {
    PassResult result = {0, false, s_cursor == 0, 0};
    int id = s_cursor;
    while (Table* s = static_cast<Table*>(obj_next(CLS_TABLE, &id))) {
        s_cursor = id;
        if (s->row_size == 0 || !s->items) continue;
        uint8_t** rows = rows_of(s);
        // Only the stretch from the first row with memory to the last one is walked.
        int left = s->rows_in_memory;
        while (left > 0 && s->first_in_memory < s->rows && !rows[s->first_in_memory])
            s->first_in_memory++;
        for (int r = s->first_in_memory; r < s->rows && left > 0; r++) {
            if (!rows[r]) continue;
            left--;
            if (s->stamps[r] > s_threshold) {
                if (result.oldest == 0 || s->stamps[r] < result.oldest)
                    result.oldest = s->stamps[r];
                continue;
            }
            if (touched_lately(s, r)) continue;
            if (result.freed >= k_max_freed_per_pass) {
                result.whole_walk = false;
                return result;
            }
            if (s->states[r] == ROW_MEMORY && !write_row_to_swap(s, r)) {
                if (g_status) return result; // the scratch directory failed: one report per pass
                result.write_failed = true;
                continue;
            }
            free_row(s, r);
            result.freed++;
        }
    }
    s_cursor = 0;
    return result;
}

// Frees rows until the budget has room for `need` bytes or only the rows touched lately are
// left. When a pass at the threshold finds nothing to free, the threshold moves up to the
// oldest row in memory, and memory pressure moves the clock on when that row was touched in
// the current tick. False (status 1, a log line) when changed rows could not be written to
// swap and the budget is still short: they stay in memory, and no more is taken.
bool make_room(long long need) {
    bool write_failed = false;
    for (int passes = 0; s_budget < need && passes < 10000; passes++) {
        PassResult pass = eviction_pass();
        if (g_status) return false;
        write_failed |= pass.write_failed;
        if (pass.freed > 0 || !pass.whole_walk) continue;
        if (pass.oldest == 0) break; // every row left in memory is kept
        if (pass.oldest >= s_clock) {
            s_clock++;
            s_touches = 0;
        }
        s_threshold = pass.oldest > s_clock - 1 ? s_clock - 1 : pass.oldest;
    }
    if (s_budget >= need || !write_failed) return true;
    log_line(
        "Erreur  les lignes de l'image ne peuvent plus etre ecrites dans le fichier d'echange");
    g_status = ST_NO_MEMORY;
    return false;
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
    long long in_memory = s_budget_computed ? s_budget_limit - s_budget : 0;
    s_budget_computed = true;
    s_budget_limit = bytes;
    s_budget = bytes - in_memory;
}

long long store_bytes_in_memory() {
    ensure_budget();
    return s_budget_limit - s_budget;
}

int store_use_clock() {
    return static_cast<int>(s_clock);
}
int store_eviction_threshold() {
    return static_cast<int>(s_threshold);
}

bool store_can_hold(int64_t rows, int64_t row_size) {
    ensure_budget();
    if (rows < 1 || row_size < 1 || rows > 0x7FFFFFFF || row_size > 0x7FFFFFFF) return false;
    if (rows * k_row_table_bytes > s_budget_limit + k_row_table_room) return false;
    int64_t room = s_budget_limit;
    int64_t free_disk = sys_disk_free(scratch_root());
    if (free_disk >= 0)
        room += free_disk;
    else
        room = INT64_MAX; // unknown: the swap files report their own failures
    return rows <= room / row_size;
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
    size_t files = static_cast<size_t>(file_count(s));
    if (!mem_alloc(s->stamps, n * sizeof(uint32_t)) || !mem_alloc(s->states, n) ||
        !mem_alloc(s->items, n * sizeof(uint8_t*)) ||
        !mem_alloc(s->written_rows, files * sizeof(int32_t)) ||
        !mem_alloc(s->swap_files, files * sizeof(intptr_t)))
        return s;
    std::memset(s->stamps, 0, n * sizeof(uint32_t));
    std::memset(s->states, mode == STORE_ON_DEMAND ? ROW_NOT_DECODED : ROW_MEMORY, n);
    std::memset(s->items, 0, n * sizeof(uint8_t*));
    std::memset(s->written_rows, 0, files * sizeof(int32_t));
    for (size_t f = 0; f < files; f++) s->swap_files[f] = -1;
    return s;
}

namespace {

enum RowAccess { ACCESS_READ, ACCESS_WRITE, ACCESS_OVERWRITE };

uint8_t* row_for(Table* store, int row, RowAccess access) {
    bool read_access = access == ACCESS_READ;
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
    remember_touch(store, row);
    // A row that must come back from disk does so for writing too, as writers may change only
    // part of it, unless the writer overwrites all of it. Its disk copy is stale from now on.
    bool from_swap = store->states[row] == ROW_ON_DISK;
    if (!read_access && from_swap) store->states[row] = ROW_MEMORY;
    uint8_t** rows = rows_of(store);
    if (rows[row]) return rows[row];
    // A row to be made is refused while a status is pending.
    if (g_status || (store->row_size > s_budget && !make_room(store->row_size))) {
        if (!read_access && from_swap) store->states[row] = ROW_ON_DISK;
        return nullptr;
    }
    rows = rows_of(store);
    // A new row starts as zeros, so that what a short file never writes shows black; a row
    // about to be overwritten whole, or read back from disk, needs no clearing.
    bool keeps_old = from_swap && access != ACCESS_OVERWRITE;
    if (from_swap || access == ACCESS_OVERWRITE)
        mem_alloc(rows[row], static_cast<size_t>(store->row_size));
    else
        mem_alloc_zeroed(rows[row], static_cast<size_t>(store->row_size));
    if (g_status) {
        mem_free(rows[row]);
        if (!read_access && from_swap) store->states[row] = ROW_ON_DISK;
        return nullptr;
    }
    s_budget -= store->row_size;
    store->rows_in_memory++;
    if (row < store->first_in_memory) store->first_in_memory = row;
    if (keeps_old && !read_row_from_swap(store, row, rows[row])) {
        free_row(store, row);
        store->states[row] = ROW_ON_DISK;
        return nullptr;
    }
    return rows[row];
}

} // namespace

uint8_t* store_row(Table* store, int row, bool read_access) {
    return row_for(store, row, read_access ? ACCESS_READ : ACCESS_WRITE);
}

uint8_t* store_row_overwrite(Table* store, int row) {
    return row_for(store, row, ACCESS_OVERWRITE);
}

void store_run_eviction_pass() {
    PassResult pass = eviction_pass();
    if (g_status || pass.freed > 0) return;
    s_threshold += 2;
    if (s_threshold >= s_clock - 1) s_threshold = s_clock - 1;
}

void store_hold_row(const Table* store, int row) {
    s_held = store ? RecentRow{store->id, row} : RecentRow{0, 0};
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
    for (int r = 0; r < copy->rows; r++) {
        const uint8_t* from = store_row(store, r, true);
        if (!from) return copy;
        // The row touched just before stays in memory while the target row is made.
        uint8_t* to = store_row(copy, r, false);
        if (!to) return copy;
        std::memcpy(to, from, static_cast<size_t>(copy->row_size));
    }
    return copy;
}

void store_delete(Table* store) {
    if (store->row_size == 0) {
        mem_free(store->items);
        store->used_bytes = 0;
        return;
    }
    if (store->items) {
        for (int r = 0; r < store->rows; r++)
            if (rows_of(store)[r]) free_row(store, r);
    }
    close_swap_files(store);
    mem_free(store->items);
    mem_free(store->stamps);
    mem_free(store->states);
    mem_free(store->written_rows);
    mem_free(store->swap_files);
}

void store_remove_all_swap() {
    int id = 0;
    while (Table* s = static_cast<Table*>(obj_next(CLS_TABLE, &id)))
        if (s->row_size > 0) close_swap_files(s);
}
