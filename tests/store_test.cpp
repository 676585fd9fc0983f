// Paged row store: budget, eviction to swap files and back, on-demand rows, clean-up.
#include "core/store.h"
#include "platform/sys.h"
#include "core/services.h"
#include "support/support.h"

#include <cstring>
#include <dirent.h>

namespace {

// Swap files of this process in the scratch directory.
int count_swap_files(int store_id) {
    std::string prefix = std::to_string(sys_process_id()) + "_" + std::to_string(store_id) + "_";
    int n = 0;
    if (DIR* d = opendir(scratch_directory())) {
        while (dirent* e = readdir(d))
            n += std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0;
        closedir(d);
    }
    return n;
}

void fill(uint8_t* row, int size, int r) {
    for (int i = 0; i < size; i++) row[i] = static_cast<uint8_t>(r * 7 + i);
}

bool check(const uint8_t* row, int size, int r) {
    for (int i = 0; i < size; i++)
        if (row[i] != static_cast<uint8_t>(r * 7 + i)) return false;
    return true;
}

class Store : public ::testing::Test {
  protected:
    void SetUp() override {
        test_reset_core();
        store_set_budget(1LL << 40);
    }
};

TEST(StoreBudget, ClampedBetweenFiftyAndSixHundredMillion) {
    EXPECT_EQ(store_compute_budget(64ull << 20), 50000000);
    EXPECT_EQ(store_compute_budget(2ull << 30), 600000000);
    EXPECT_EQ(store_compute_budget(1000000000ull), 400000000);
    EXPECT_EQ(store_compute_budget(1500000000ull), 600000000);
}

TEST_F(Store, RowsPerSwapFile) {
    int id = 0;
    Table* s = store_create(&id, 0, 1000, 4000000, STORE_PLAIN);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->rows_per_file, 268);
    Table* small = store_create(&id, 0, 10, 100, STORE_PLAIN);
    EXPECT_EQ(small->rows_per_file, 10);
    store_create(&id, 0, 10, 0, STORE_PLAIN);
    EXPECT_EQ(g_status, ST_VALUE);
}

TEST_F(Store, SmallBudgetSpillsToSwapAndReadsBackUnchanged) {
    const int rows = 20000, size = 100;
    int id = 0;
    Table* s = store_create(&id, 0, rows, size, STORE_PLAIN);
    ASSERT_NE(s, nullptr);
    store_set_budget(200 * size);
    for (int r = 0; r < rows; r++) {
        uint8_t* row = store_row(s, r, false);
        ASSERT_NE(row, nullptr) << r;
        fill(row, size, r);
    }
    int in_memory = 0;
    for (int r = 0; r < rows; r++) in_memory += store_row_in_memory(s, r);
    EXPECT_LT(in_memory, rows / 2) << "rows should have been evicted";
    EXPECT_GT(count_swap_files(id), 0);
    // Rewrite some rows that went to disk, then read everything back twice (random order too).
    for (int r = 0; r < 3000; r += 3) fill(store_row(s, r, false), size, r);
    for (int pass = 0; pass < 2; pass++)
        for (int k = 0; k < rows; k++) {
            int r = pass ? (k * 7919) % rows : k;
            const uint8_t* row = store_row(s, r, true);
            ASSERT_NE(row, nullptr);
            ASSERT_TRUE(check(row, size, r)) << "row " << r << " pass " << pass;
        }
    EXPECT_EQ(g_status, 0);
    obj_delete(CLS_TABLE, id);
    EXPECT_EQ(count_swap_files(id), 0);
}

TEST_F(Store, OnDemandRowsAreDroppedWithoutSwap) {
    int id = 0;
    Table* s = store_create(&id, 0, 12000, 64, STORE_ON_DEMAND);
    ASSERT_NE(s, nullptr);
    for (int r = 0; r < 12000; r++) EXPECT_EQ(s->states[r], ROW_NOT_DECODED);
    store_set_budget(100 * 64);
    for (int r = 0; r < 12000; r++) ASSERT_NE(store_row(s, r, false), nullptr);
    int in_memory = 0;
    for (int r = 0; r < 12000; r++) in_memory += store_row_in_memory(s, r);
    EXPECT_LT(in_memory, 12000);
    EXPECT_EQ(count_swap_files(id), 0);
    for (int r = 0; r < 12000; r++) EXPECT_EQ(s->states[r], ROW_NOT_DECODED);
}

TEST_F(Store, EvictionThresholdRisesTowardsTheClock) {
    int before = store_eviction_threshold();
    int clock = store_use_clock();
    store_run_eviction_pass(); // nothing to free
    int expected = before + 2 >= clock - 1 ? clock - 1 : before + 2;
    EXPECT_EQ(store_eviction_threshold(), expected);
}

TEST_F(Store, DropRowKeepsMemoryOnlyRows) {
    int id = 0;
    Table* s = store_create(&id, 0, 4, 16, STORE_PLAIN);
    store_row(s, 0, false);
    store_drop_row(s, 0); // state 0: kept
    EXPECT_TRUE(store_row_in_memory(s, 0));
    Table* d = store_create(&id, 0, 4, 16, STORE_ON_DEMAND);
    long long budget = store_budget();
    store_row(d, 1, false);
    EXPECT_EQ(store_budget(), budget - 16);
    store_drop_row(d, 1);
    EXPECT_FALSE(store_row_in_memory(d, 1));
    EXPECT_EQ(store_budget(), budget);
}

TEST_F(Store, CopyCopiesEveryRow) {
    int id = 0, copy_id = 0;
    Table* s = store_create(&id, 9, 50, 32, STORE_PLAIN);
    for (int r = 0; r < 50; r++) fill(store_row(s, r, false), 32, r);
    Table* c = store_copy(s, &copy_id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->owner, 9);
    for (int r = 0; r < 50; r++) EXPECT_TRUE(check(store_row(c, r, true), 32, r));
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
}

TEST_F(Store, ScratchRootThatIsAFileFailsEveryPagingWithStatus11) {
    std::string file = test_write_file("not-a-dir", "x");
    scratch_set_root(file.c_str());
    LogCapture log;
    int id = 0;
    Table* s = store_create(&id, 0, 10000, 100, STORE_PLAIN);
    store_set_budget(100);
    int refused = 0;
    for (int r = 0; r < 10000 && refused < 2; r++) {
        if (!store_row(s, r, false)) {
            EXPECT_EQ(g_status, ST_SYSTEM);
            refused++;
            g_status = 0;
        }
    }
    EXPECT_EQ(refused, 2);
    std::string line = "Erreur  " + file + " est un fichier et non un repertoire\n";
    EXPECT_EQ(log.text, line + line);
    scratch_set_root(nullptr);
}

} // namespace
