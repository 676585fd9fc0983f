// Paged row store: budget, eviction to swap files and back, swap failures, on-demand rows, the
// scratch directory and its clean-up.
#include "core/store.h"
#include "core/services.h"
#include "platform/sys.h"
#include "support/support.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void fill(uint8_t* row, int size, int r) {
    for (int i = 0; i < size; i++) row[i] = static_cast<uint8_t>(r * 7 + i);
}

bool check(const uint8_t* row, int size, int r) {
    for (int i = 0; i < size; i++)
        if (row[i] != static_cast<uint8_t>(r * 7 + i)) return false;
    return true;
}

// Fills rows from the first until the store refuses one; returns how many it took. The rows in
// memory never go past the budget and the rows the store keeps for its callers.
int fill_until_refused(Table* s, int rows, int size) {
    long long bound = store_budget() + (STORE_RECENT_ROWS + 1LL) * size;
    int r = 0;
    for (uint8_t* row; r < rows && (row = store_row(s, r, false)); r++) {
        fill(row, size, r);
        EXPECT_LE(store_bytes_in_memory(), bound) << "row " << r;
    }
    return r;
}

// A fresh scratch root under the test folder; returns the scratch directory it gives.
std::string fresh_scratch(const std::string& name) {
    std::string root = test_temp_dir() + "/" + name;
    mkdir(root.c_str(), 0700);
    scratch_set_root(root.c_str());
    return scratch_directory();
}

int rows_in_state(Table* s, int state) {
    int n = 0;
    for (int r = 0; r < s->rows; r++) n += s->states[r] == state;
    return n;
}

// Swap file operations that fail on purpose: the n-th write (counting from 1) and every one
// after it, writes that stop halfway, or reads that come back short.
struct Faults {
    int fail_create = 0, fail_write_from = 0, short_write_from = 0, short_read_at = 0;
    int creates = 0, writes = 0, reads = 0;
};
Faults g_faults;

intptr_t faulty_create(const char* path) {
    if (g_faults.fail_create && ++g_faults.creates >= g_faults.fail_create) return -1;
    return k_platform_swap_ops.create(path);
}
bool faulty_write(intptr_t f, int64_t offset, const void* data, int64_t count) {
    ++g_faults.writes;
    if (g_faults.fail_write_from && g_faults.writes >= g_faults.fail_write_from) return false;
    if (g_faults.short_write_from && g_faults.writes >= g_faults.short_write_from) {
        k_platform_swap_ops.write_at(f, offset, data, count / 2);
        return false;
    }
    return k_platform_swap_ops.write_at(f, offset, data, count);
}
int64_t faulty_read(intptr_t f, int64_t offset, void* data, int64_t count) {
    int64_t got = k_platform_swap_ops.read_at(f, offset, data, count);
    if (++g_faults.reads == g_faults.short_read_at) return got / 2;
    return got;
}

class Store : public ::testing::Test {
  protected:
    void SetUp() override {
        test_reset_core();
        store_set_budget(1LL << 40);
        g_faults = Faults();
        g_swap_ops = {faulty_create, faulty_write, faulty_read, k_platform_swap_ops.close};
    }
    void TearDown() override { g_swap_ops = k_platform_swap_ops; }

    // Writes every row it can under a budget of `budget_rows` rows.
    Table* fill_store(int rows, int size, int budget_rows, int* id) {
        Table* s = store_create(id, 0, rows, size, STORE_PLAIN);
        store_set_budget(static_cast<long long>(budget_rows) * size);
        fill_until_refused(s, rows, size);
        return s;
    }
};

// Whatever the row size, the rows in memory stay within the budget (the store used to keep
// every row of the last 3000 touches), and everything comes back unchanged from swap files
// whose names are gone as soon as they are open.
TEST_F(Store, BudgetHoldsAndRowsComeBackUnchanged) {
    const struct {
        int rows, size, budget_rows;
    } cases[] = {{20000, 100, 200}, {600, 24000, 20}, {300, 60000, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        store_set_budget(1LL << 40);
        int id = 0;
        Table* s = fill_store(c.rows, c.size, c.budget_rows, &id);
        ASSERT_EQ(g_status, 0);
        EXPECT_GT(rows_in_state(s, ROW_ON_DISK), c.rows / 2);
        EXPECT_EQ(test_list_dir(scratch_directory()).size(), 0u);
        // Rewrite some rows that went to disk (a row asked for writing comes back with its
        // content), then read everything back twice (in a scattered order the second time).
        for (int r = 0; r < c.rows / 4; r += 3) {
            uint8_t* row = store_row(s, r, false);
            ASSERT_TRUE(row && check(row, c.size, r)) << "row " << r;
            fill(row, c.size, r);
        }
        for (int pass = 0; pass < 2; pass++)
            for (int k = 0; k < c.rows; k++) {
                int r = pass ? (k * 7919) % c.rows : k;
                const uint8_t* row = store_row(s, r, true);
                ASSERT_NE(row, nullptr);
                ASSERT_TRUE(check(row, c.size, r)) << "row " << r << " pass " << pass;
            }
        EXPECT_EQ(g_status, 0);
        obj_delete(CLS_TABLE, id);
        EXPECT_EQ(store_bytes_in_memory(), 0);
    }
}

// The rows touched last stay where they are, however small the budget: a caller may hold
// their addresses (run under the address sanitizer, a freed one is caught).
TEST_F(Store, RowsTouchedLastAreNeverEvicted) {
    int id = 0;
    Table* s = store_create(&id, 0, 200, 32, STORE_PLAIN);
    store_set_budget(32);
    std::vector<uint8_t*> held;
    for (int r = 0; r < 200; r++) {
        held.push_back(store_row(s, r, false));
        ASSERT_NE(held.back(), nullptr);
        fill(held.back(), 32, r);
        for (int k = r; k >= 0 && k > r - STORE_RECENT_ROWS; k--)
            ASSERT_TRUE(check(held[k], 32, k)) << "row " << k << " after " << r;
    }
    int copy_id = 0;
    Table* copy = store_copy(s, &copy_id);
    for (int r = 0; r < 200; r++) ASSERT_TRUE(check(store_row(copy, r, true), 32, r)) << r;
}

// Rows decoded on demand are dropped, never swapped. The row a decode was asked for stays while
// the decoder writes the rows of its strip, even past the budget; once let go it may be dropped
// like the others.
TEST_F(Store, OnDemandRowsAreDroppedAndTheRowHeldForADecodeStays) {
    int id = 0;
    Table* s = store_create(&id, 0, 12000, 32, STORE_ON_DEMAND);
    store_set_budget(100 * 32);
    EXPECT_EQ(fill_until_refused(s, 12000, 32), 12000);
    EXPECT_EQ(g_faults.writes, 0);
    EXPECT_EQ(rows_in_state(s, ROW_NOT_DECODED), 12000);
    store_set_budget(32);
    store_hold_row(s, 0);
    uint8_t* held = store_row(s, 0, false);
    fill(held, 32, 0);
    for (int r = 1; r < 100; r++) fill(store_row(s, r, false), 32, r);
    EXPECT_TRUE(store_row_in_memory(s, 0));
    EXPECT_TRUE(check(held, 32, 0));
    store_hold_row(nullptr, 0);
    for (int r = 1; r < 40; r++) store_row(s, r, false);
    EXPECT_FALSE(store_row_in_memory(s, 0));
    EXPECT_EQ(g_faults.writes, 0);
}

// Swap files that cannot be made, writes that fail or stop halfway, reads that come back
// short: nothing is lost, a row is on disk only when all of it is, and a failure has a status.
TEST_F(Store, SwapFailuresLoseNothing) {
    const struct {
        const char* what;
        Faults faults;
    } cases[] = {
        // fail_create, fail_write_from, short_write_from
        {"no swap file", Faults{1, 0, 0}},
        {"first write fails", Faults{0, 1, 0}},
        {"later writes fail", Faults{0, 40, 0}},
        {"writes stop halfway", Faults{0, 0, 25}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test_reset_core();
        g_faults = c.faults;
        LogCapture log;
        int id = 0;
        const int rows = 500, size = 64;
        Table* s = fill_store(rows, size, 20, &id);
        EXPECT_EQ(g_status, ST_NO_MEMORY);
        EXPECT_NE(log.text.find("ne peuvent plus etre ecrites"), std::string::npos);
        g_status = 0;
        g_faults = Faults();
        // Every row written before the failure reads back whole; none of the rest is on disk.
        int written = 0;
        while (written < rows &&
               (s->states[written] != ROW_MEMORY || store_row_in_memory(s, written)))
            written++;
        EXPECT_GE(written, 20);
        for (int r = 0; r < written; r++) {
            const uint8_t* row = store_row(s, r, true);
            ASSERT_NE(row, nullptr) << r;
            ASSERT_TRUE(check(row, size, r)) << r;
        }
    }
}

TEST_F(Store, ShortReadOfARowOnDiskIsAFailureNeverZeros) {
    int id = 0;
    Table* s = fill_store(400, 64, 10, &id);
    ASSERT_EQ(s->states[5], ROW_ON_DISK);
    LogCapture log;
    g_faults.short_read_at = g_faults.reads + 1;
    EXPECT_EQ(store_row(s, 5, true), nullptr);
    EXPECT_EQ(std::exchange(g_status, 0), ST_FILE);
    EXPECT_NE(log.text.find("illisible"), std::string::npos);
    EXPECT_FALSE(store_row_in_memory(s, 5));
    const uint8_t* row = store_row(s, 5, true); // the disk copy is still there
    ASSERT_NE(row, nullptr);
    EXPECT_TRUE(check(row, 64, 5));
}

TEST_F(Store, NullStoreOrPendingStatus) {
    EXPECT_EQ(store_row(nullptr, 0, true), nullptr);
    EXPECT_EQ(g_status, ST_NO_MEMORY);
    int id = 0;
    g_status = 0;
    Table* s = store_create(&id, 0, 2, 8, STORE_PLAIN);
    uint8_t* r0 = store_row(s, 0, false);
    g_status = ST_FILE;
    EXPECT_EQ(store_row(s, 0, true), r0);      // a row with memory is returned whatever the status
    EXPECT_EQ(store_row(s, 1, true), nullptr); // a new row is refused while a status is pending
    g_status = 0;
    store_create(&id, 0, 10, 0, STORE_PLAIN);
    EXPECT_EQ(std::exchange(g_status, 0), ST_VALUE) << "rows of no bytes";
}

TEST_F(Store, BudgetAndStoresTooLargeToPage) {
    // Clamped between fifty and six hundred million bytes.
    EXPECT_EQ(store_compute_budget(64ull << 20), 50000000);
    EXPECT_EQ(store_compute_budget(2ull << 30), 600000000);
    EXPECT_EQ(store_compute_budget(1000000000ull), 400000000);
    EXPECT_EQ(store_compute_budget(1500000000ull), 600000000);
    store_set_budget(600000000);
    EXPECT_TRUE(store_can_hold(17900, 60000)); // a 20000 x 17900 colour picture
    EXPECT_FALSE(store_can_hold(2, 0x80000000LL));
    EXPECT_FALSE(store_can_hold(0x7FFFFFFF, 4)); // its row table alone is larger than the budget
    store_set_budget(1000000);
    EXPECT_FALSE(store_can_hold(1000, 1LL << 30)); // a terabyte
}

// The scratch directory belongs to the user alone: a link, someone else's directory or one
// open to others is refused with a log line and status 11, and nothing is written there.
TEST_F(Store, ScratchDirectoryThatIsNotTheUsersIsRefused) {
    std::string elsewhere = test_temp_dir() + "/elsewhere";
    mkdir(elsewhere.c_str(), 0700);
    enum Plant { FILE_THERE, LINK, OPEN_TO_ALL, SOMEONE_ELSES };
    const struct {
        const char* what;
        Plant plant;
    } cases[] = {{"a regular file", FILE_THERE},
                 {"a link to another directory", LINK},
                 {"open to everyone", OPEN_TO_ALL},
                 {"someone else's", SOMEONE_ELSES}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.plant == SOMEONE_ELSES && geteuid() != 0) continue; // only root gives it away
        std::string dir = fresh_scratch("root" + std::to_string(n++));
        int made = 0;
        if (c.plant == FILE_THERE) made = close(creat(dir.c_str(), 0600));
        if (c.plant == LINK) made = symlink(elsewhere.c_str(), dir.c_str());
        if (c.plant == OPEN_TO_ALL || c.plant == SOMEONE_ELSES) made = mkdir(dir.c_str(), 0700);
        if (c.plant == OPEN_TO_ALL) made |= chmod(dir.c_str(), 0777);
        if (c.plant == SOMEONE_ELSES) made |= chown(dir.c_str(), 65534, 65534);
        ASSERT_EQ(made, 0);
        LogCapture log;
        int id = 0;
        Table* s = store_create(&id, 0, 100, 100, STORE_PLAIN);
        store_set_budget(1000);
        int refused = 0;
        for (int r = 0; r < 100 && refused < 2; r++)
            if (!store_row(s, r, false)) refused += std::exchange(g_status, 0) == ST_SYSTEM;
        EXPECT_EQ(refused, 2);
        std::string line =
            "Erreur  " + dir +
            (c.plant == FILE_THERE ? " est un fichier et non un repertoire\n"
                                   : " n'est pas un repertoire reserve a l'utilisateur\n");
        EXPECT_EQ(log.text, line + line);
        EXPECT_EQ(test_list_dir(elsewhere).size(), 0u);
        obj_delete(CLS_TABLE, id);
    }
}

// A link planted where a swap file will be made is never followed: the row stays in memory and
// the file the link points to is left as it was.
TEST_F(Store, LinkPlantedAtASwapFileNameIsNotFollowed) {
    int id = 0;
    Table* s = store_create(&id, 0, 400, 64, STORE_PLAIN);
    char prefix[1200];
    scratch_prefix(prefix, sizeof prefix);
    std::string victim = test_write_file("victim.txt", "keep me");
    std::string name = std::string(prefix) + std::to_string(id) + "_0";
    ASSERT_EQ(symlink(victim.c_str(), name.c_str()), 0);
    store_set_budget(10 * 64);
    int filled = fill_until_refused(s, 400, 64);
    EXPECT_EQ(std::exchange(g_status, 0), ST_NO_MEMORY);
    EXPECT_GE(filled, 10);
    EXPECT_EQ(test_read_file(victim), "keep me");
    EXPECT_EQ(rows_in_state(s, ROW_ON_DISK), 0);
    for (int r = 0; r < filled; r++) EXPECT_TRUE(check(store_row(s, r, true), 64, r)) << r;
}

// Files of processes that no longer run are swept away when the directory is first used;
// those of running processes and other names stay.
TEST_F(Store, SwapFilesOfDeadProcessesAreSweptAtStart) {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    std::string dir = fresh_scratch("sweep");
    mkdir(dir.c_str(), 0700);
    std::string dead = std::to_string(child) + "_3_0", alive = "1_3_0", other = "notes.txt";
    for (const std::string& n : {dead, alive, other}) close(creat((dir + "/" + n).c_str(), 0600));
    fresh_scratch("sweep"); // checked again on next use
    char prefix[1200];
    scratch_prefix(prefix, sizeof prefix);
    EXPECT_EQ(test_list_dir(dir), (std::vector<std::string>{alive, other}));
}

} // namespace
