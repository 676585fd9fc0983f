// Paged row store throughput: a 200 MB image under a 50 MB budget, written once, then read
// sequentially and in random order, beside a plain sequential read of a file of the same size.
#include "core/registry.h"
#include "core/status.h"
#include "core/store.h"
#include "image/image.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int k_row_size = 18000; // one 6000-pixel row of three planes
constexpr int k_rows = 200000000 / k_row_size;
constexpr long long k_budget = 50000000;

Table* s_store = nullptr;

Table* big_store() {
    if (s_store) return s_store;
    obj_reset();
    image_declare_classes();
    store_set_budget(k_budget);
    int id = 0;
    s_store = store_create(&id, 0, k_rows, k_row_size, STORE_PLAIN);
    for (int r = 0; r < k_rows; r++)
        std::memset(store_row(s_store, r, false), r & 0xff, k_row_size);
    return s_store;
}

void BM_StoreWrite(benchmark::State& state) {
    for (auto _ : state) {
        obj_reset();
        image_declare_classes();
        store_set_budget(k_budget);
        int id = 0;
        Table* s = store_create(&id, 0, k_rows, k_row_size, STORE_PLAIN);
        for (int r = 0; r < k_rows; r++) std::memset(store_row(s, r, false), r & 0xff, k_row_size);
        obj_delete(CLS_TABLE, id);
        s_store = nullptr;
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(k_rows) * k_row_size);
}

// Megabytes of rows held in memory now.
double resident_mb(Table* s) {
    long long n = 0;
    for (int r = 0; r < s->rows; r++) n += store_row_in_memory(s, r);
    return static_cast<double>(n) * s->row_size / 1e6;
}

void BM_StoreSequentialRead(benchmark::State& state) {
    Table* s = big_store();
    uint64_t sum = 0;
    for (auto _ : state)
        for (int r = 0; r < k_rows; r++) sum += store_row(s, r, true)[k_row_size - 1];
    benchmark::DoNotOptimize(sum);
    state.counters["resident_MB"] = resident_mb(s);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(k_rows) * k_row_size);
}

void BM_StoreRandomRead(benchmark::State& state) {
    Table* s = big_store();
    std::vector<int> order(k_rows);
    for (int r = 0; r < k_rows; r++) order[r] = r;
    std::shuffle(order.begin(), order.end(), std::mt19937(42));
    uint64_t sum = 0;
    for (auto _ : state)
        for (int r : order) sum += store_row(s, r, true)[7];
    benchmark::DoNotOptimize(sum);
    state.counters["resident_MB"] = resident_mb(s);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(k_rows) * k_row_size);
}

// The physical floor: reading a file of the same size with plain stdio.
void BM_PlainFileRead(benchmark::State& state) {
    std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                       "/dorvane-bench-plain.bin";
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        std::vector<char> row(k_row_size, 1);
        for (int r = 0; r < k_rows; r++) std::fwrite(row.data(), 1, row.size(), f);
        std::fclose(f);
    }
    std::vector<char> row(k_row_size);
    for (auto _ : state) {
        FILE* f = std::fopen(path.c_str(), "rb");
        while (std::fread(row.data(), 1, row.size(), f) == row.size()) benchmark::ClobberMemory();
        std::fclose(f);
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(k_rows) * k_row_size);
}

} // namespace

BENCHMARK(BM_StoreWrite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_StoreSequentialRead)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_StoreRandomRead)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PlainFileRead)->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    store_remove_all_swap();
    return 0;
}
